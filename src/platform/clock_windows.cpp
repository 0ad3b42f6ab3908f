#include <windows.h>

#include "platform/platform.h"
#include "platform/wait_timer.h"

namespace platform {

int64_t MonotonicNanoseconds() { return PerformanceCounterNanoseconds(); }

bool ProcessCpuNanoseconds(int64_t *nanoseconds) {
  FILETIME created, exited, kernel, user;
  if (!GetProcessTimes(GetCurrentProcess(), &created, &exited, &kernel, &user)) return false;
  // Both in units of 100 ns.
  const auto units = [](const FILETIME &time) {
    return (static_cast<int64_t>(time.dwHighDateTime) << 32) | time.dwLowDateTime;
  };
  *nanoseconds = (units(kernel) + units(user)) * 100;
  return true;
}

void WaitUntilNanoseconds(int64_t deadline) { WaitOnTimerUntil(deadline); }

void EndWaits() { CloseWaitTimer(); }

}  // namespace platform
