#include <windows.h>

#include "platform/wait_timer.h"

#ifndef CREATE_WAITABLE_TIMER_HIGH_RESOLUTION
#define CREATE_WAITABLE_TIMER_HIGH_RESOLUTION 0x00000002
#endif

namespace platform {

namespace {

constexpr int64_t kNanosecondsPerSecond = 1000000000;
// A timer may fire a little before the deadline by the counter's reckoning; after this many
// sleeps the rest is left to the next frame rather than risk a loop.
constexpr int kLongestSleepSeries = 4;

HANDLE g_timer = nullptr;
WaitTimerKind g_kind = WaitTimerKind::kNone;
bool g_refuseHighResolution = false;

int64_t CounterFrequency() {
  static int64_t frequency = 0;
  if (frequency == 0) {
    LARGE_INTEGER value;
    frequency = QueryPerformanceFrequency(&value) && value.QuadPart > 0 ? value.QuadPart : 1;
  }
  return frequency;
}

// Windows 10 1803 and later wake a high-resolution timer within tens of microseconds whatever
// the timer resolution; an older system refuses the flag, and its ordinary timer wakes on the
// resolution the plug-in raised.
HANDLE MakeTimer() {
  if (!g_refuseHighResolution) {
    HANDLE timer = CreateWaitableTimerExW(nullptr, nullptr, CREATE_WAITABLE_TIMER_HIGH_RESOLUTION,
                                          TIMER_ALL_ACCESS);
    if (timer != nullptr) {
      g_kind = WaitTimerKind::kHighResolution;
      return timer;
    }
  }
  HANDLE timer = CreateWaitableTimerW(nullptr, FALSE, nullptr);
  g_kind = timer != nullptr ? WaitTimerKind::kOrdinary : WaitTimerKind::kNone;
  return timer;
}

bool SleepOnTimer(int64_t nanoseconds) {
  if (g_timer == nullptr) g_timer = MakeTimer();
  if (g_timer == nullptr) return false;
  // A relative due time (negative, in 100 ns units), taken from the counter's deadline just
  // before the wait: the schedule keeps to the performance counter, and a change of the wall
  // clock moves no wake-up as an absolute due time would.
  LARGE_INTEGER due;
  due.QuadPart = -((nanoseconds + 99) / 100);
  if (!SetWaitableTimer(g_timer, &due, 0, nullptr, nullptr, FALSE)) return false;
  // Bounded, so that a timer that never fires cannot hold the server.
  WaitForSingleObject(g_timer, static_cast<DWORD>(nanoseconds / 1000000 + 50));
  return true;
}

}  // namespace

int64_t PerformanceCounterNanoseconds() {
  const int64_t frequency = CounterFrequency();
  LARGE_INTEGER count;
  QueryPerformanceCounter(&count);
  // Split, so that the product stays within 64 bits however long the machine has run.
  return count.QuadPart / frequency * kNanosecondsPerSecond +
         count.QuadPart % frequency * kNanosecondsPerSecond / frequency;
}

void WaitOnTimerUntil(int64_t deadline) {
  for (int sleep = 0; sleep < kLongestSleepSeries; ++sleep) {
    const int64_t left = deadline - PerformanceCounterNanoseconds();
    if (left <= 0) return;
    if (!SleepOnTimer(left)) {
      // Rounded up: the wait must not end before the deadline.
      Sleep(static_cast<DWORD>((left + 999999) / 1000000));
      return;
    }
  }
  // Still short after every sleep: the last few microseconds, without burning a core for long.
  while (PerformanceCounterNanoseconds() < deadline) Sleep(0);
}

WaitTimerKind WaitTimerInUse() { return g_kind; }

void CloseWaitTimer() {
  if (g_timer != nullptr) CloseHandle(g_timer);
  g_timer = nullptr;
  g_kind = WaitTimerKind::kNone;
}

void RefuseHighResolutionWaitTimer(bool refuse) { g_refuseHighResolution = refuse; }

}  // namespace platform
