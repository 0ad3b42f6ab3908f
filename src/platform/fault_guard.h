// Windows only: runs code that may raise a processor exception (an access violation, a division
// by zero, ...) and survives it. Used around calls into libraries loaded at run time.
#pragma once

namespace platform {

// Runs body(context). False when a processor exception raised inside it ended the call early:
// execution then resumes here, and whatever the body left half done stays so. Not for nesting,
// and only from one thread at a time (the server's game thread).
bool RunGuarded(void (*body)(void *), void *context);

}  // namespace platform
