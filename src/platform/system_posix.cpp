#include <cstdio>
#include <cstring>
#include <ctime>

#include "platform/arguments.h"
#include "platform/platform.h"

namespace platform {

// No timer-resolution call exists here: the scheduler tick is what it is. Report a 1 ms device
// minimum so the plug-in's own bookkeeping runs unchanged.
void GetTimerCaps(TimerCaps *caps) {
  caps->wPeriodMin = 1;
  caps->wPeriodMax = 1000000;
}

void BeginTimerPeriod(uint32_t) {}

void EndTimerPeriod(uint32_t) {}

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
