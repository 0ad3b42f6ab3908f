// The waitable timer the Windows wait sleeps on, apart so that the unit tests reach it.
#pragma once

#include <cstdint>

namespace platform {

enum class WaitTimerKind { kNone, kHighResolution, kOrdinary };

// Sleeps about that many nanoseconds on the process's wait timer, never less; false when no
// timer could be made (the caller then sleeps in whole milliseconds).
bool SleepOnWaitTimer(int64_t nanoseconds);
// Which timer the waits use; kNone until the first wait made one.
WaitTimerKind WaitTimerInUse();
// Closes the timer; the next wait makes a new one.
void CloseWaitTimer();
// Tests only: behave as a system that refuses high-resolution timers (from the next timer made).
void RefuseHighResolutionWaitTimer(bool refuse);

}  // namespace platform
