// The Windows clock and the waitable timer the waits sleep on, apart so that the unit tests reach
// them (the plug-in reaches them through MonotonicNanoseconds and WaitUntilNanoseconds).
#pragma once

#include <cstdint>

namespace platform {

enum class WaitTimerKind { kNone, kHighResolution, kOrdinary };

// QueryPerformanceCounter in nanoseconds.
int64_t PerformanceCounterNanoseconds();
// Sleeps on the process's wait timer until the performance counter reaches the deadline, never
// returning before it; whole milliseconds of Sleep when no timer can be made.
void WaitOnTimerUntil(int64_t deadline);
// Which timer the waits use; kNone until the first wait made one.
WaitTimerKind WaitTimerInUse();
// Closes the timer; the next wait makes a new one.
void CloseWaitTimer();
// Tests only: behave as a system that refuses high-resolution timers (from the next timer made).
void RefuseHighResolutionWaitTimer(bool refuse);

}  // namespace platform
