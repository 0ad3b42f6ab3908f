#include <windows.h>

// mmsystem.h needs the types windows.h declares first.
#include <mmsystem.h>

#include <ctime>

#include "platform/arguments.h"
#include "platform/platform.h"
#include "platform/timer_honour.h"

namespace platform {

void GetTimerCaps(TimerCaps *caps) {
  TIMECAPS win{};
  timeGetDevCaps(&win, sizeof(win));
  caps->wPeriodMin = win.wPeriodMin;
  caps->wPeriodMax = win.wPeriodMax;
}

void BeginTimerPeriod(uint32_t milliseconds) {
  // Asked once per process, before the first period: the answer does not change.
  static bool asked = false;
  if (!asked) {
    asked = true;
    AskToHonourTimerResolution(LookUpSetProcessInformation());
  }
  timeBeginPeriod(milliseconds);
}

void EndTimerPeriod(uint32_t milliseconds, bool) { timeEndPeriod(milliseconds); }

void ShowMessageBox(const char *text, const char *caption, unsigned style) {
  MessageBoxA(nullptr, text, caption, style);
}

const char *ProcessArguments() {
  static char list[kArgumentsSize];
  size_t used = 0;
  const char *line = GetCommandLineA();
  if (line != nullptr) SplitCommandLine(line, list, &used);
  return list;
}

TimeOfDay LocalTimeOfDay() {
  std::time_t now = std::time(nullptr);
  std::tm local{};
  localtime_s(&local, &now);
  return TimeOfDay{local.tm_hour, local.tm_min, local.tm_sec};
}

}  // namespace platform
