#include "platform/platform.h"
#include "platform/wait_timer.h"

namespace platform {

int64_t MonotonicNanoseconds() { return PerformanceCounterNanoseconds(); }

void WaitUntilNanoseconds(int64_t deadline) { WaitOnTimerUntil(deadline); }

void EndWaits() { CloseWaitTimer(); }

}  // namespace platform
