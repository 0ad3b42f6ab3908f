#include <windows.h>

#include "platform/platform.h"
#include "platform/wait_timer.h"

namespace platform {

namespace {

constexpr int64_t kNanosecondsPerSecond = 1000000000;

int64_t CounterFrequency() {
  static int64_t frequency = 0;
  if (frequency == 0) {
    LARGE_INTEGER value;
    frequency = QueryPerformanceFrequency(&value) && value.QuadPart > 0 ? value.QuadPart : 1;
  }
  return frequency;
}

}  // namespace

int64_t MonotonicNanoseconds() {
  const int64_t frequency = CounterFrequency();
  LARGE_INTEGER count;
  QueryPerformanceCounter(&count);
  // Split, so that the product stays within 64 bits however long the machine has run.
  return count.QuadPart / frequency * kNanosecondsPerSecond +
         count.QuadPart % frequency * kNanosecondsPerSecond / frequency;
}

void WaitUntilNanoseconds(int64_t deadline) {
  // A timer may wake a little early by the counter's reckoning: wait again for what is left.
  for (int attempt = 0; attempt < 4; ++attempt) {
    const int64_t left = deadline - MonotonicNanoseconds();
    if (left <= 0) return;
    if (!SleepOnWaitTimer(left)) {
      Sleep(static_cast<DWORD>(left / 1000000));
      return;
    }
  }
}

void EndWaits() { CloseWaitTimer(); }

}  // namespace platform
