#include <sys/prctl.h>

#include <cstdio>
#include <cstring>
#include <ctime>

#include "platform/arguments.h"
#include "platform/platform.h"

namespace platform {

namespace {
// The engine sleeps between frames, and the kernel may wake a sleeping thread late by that
// thread's timer slack (50 us by default): at a high tick rate every frame pays it.
constexpr unsigned long kRaisedSlackNanoseconds = 1000;
// The slack the thread had before it was raised; negative while it is not raised by us.
long g_previousSlack = -1;
}  // namespace

// No timer-resolution call exists here: the scheduler tick is what it is. Report a 1 ms device
// minimum so the plug-in's own bookkeeping runs unchanged.
void GetTimerCaps(TimerCaps *caps) {
  caps->wPeriodMin = 1;
  caps->wPeriodMax = 1000000;
}

// The counterpart of a raised timer resolution is a small timer slack on the calling thread,
// which is the engine's main thread: attach, the hooks and the period refresh all run on it. A
// kernel that refuses either call leaves the slack as it was and nothing to restore.
void BeginTimerPeriod(uint32_t) {
  if (g_previousSlack >= 0) return;
  const int previous = prctl(PR_GET_TIMERSLACK, 0UL, 0UL, 0UL, 0UL);
  if (previous <= 0) return;
  if (prctl(PR_SET_TIMERSLACK, kRaisedSlackNanoseconds, 0UL, 0UL, 0UL) != 0) return;
  g_previousSlack = previous;
}

void EndTimerPeriod(uint32_t, bool renewed) {
  if (renewed || g_previousSlack < 0) return;
  prctl(PR_SET_TIMERSLACK, static_cast<unsigned long>(g_previousSlack), 0UL, 0UL, 0UL);
  g_previousSlack = -1;
}

// A headless server must never block on a dialog: the box becomes one line on stderr.
void ShowMessageBox(const char *text, const char *caption, unsigned) {
  std::fprintf(stderr, "[%s] %s\n", caption, text);
  std::fflush(stderr);
}

const char *ProcessArguments() {
  static char list[kArgumentsSize];
  size_t used = 0;
  ReadArgumentFile("/proc/self/cmdline", list, &used);
  return list;
}

TimeOfDay LocalTimeOfDay() {
  std::time_t now = std::time(nullptr);
  std::tm local{};
  localtime_r(&now, &local);
  return TimeOfDay{local.tm_hour, local.tm_min, local.tm_sec};
}

}  // namespace platform
