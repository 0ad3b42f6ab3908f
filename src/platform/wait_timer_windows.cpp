#include <windows.h>

#include "platform/wait_timer.h"

#ifndef CREATE_WAITABLE_TIMER_HIGH_RESOLUTION
#define CREATE_WAITABLE_TIMER_HIGH_RESOLUTION 0x00000002
#endif

namespace platform {

namespace {

HANDLE g_timer = nullptr;
WaitTimerKind g_kind = WaitTimerKind::kNone;
bool g_refuseHighResolution = false;

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

}  // namespace

bool SleepOnWaitTimer(int64_t nanoseconds) {
  if (nanoseconds <= 0) return true;
  if (g_timer == nullptr) g_timer = MakeTimer();
  if (g_timer == nullptr) return false;
  // Relative due times, in 100 ns units and negative: computed from the monotonic deadline just
  // before the wait, so the schedule keeps to the performance counter and a change of the
  // system's wall clock moves no wake-up.
  LARGE_INTEGER due;
  due.QuadPart = -((nanoseconds + 99) / 100);
  if (!SetWaitableTimer(g_timer, &due, 0, nullptr, nullptr, FALSE)) return false;
  // Bounded, so that a timer that never fires cannot hold the server.
  const DWORD bound = static_cast<DWORD>(nanoseconds / 1000000 + 50);
  WaitForSingleObject(g_timer, bound);
  return true;
}

WaitTimerKind WaitTimerInUse() { return g_kind; }

void CloseWaitTimer() {
  if (g_timer != nullptr) CloseHandle(g_timer);
  g_timer = nullptr;
  g_kind = WaitTimerKind::kNone;
}

void RefuseHighResolutionWaitTimer(bool refuse) { g_refuseHighResolution = refuse; }

}  // namespace platform
