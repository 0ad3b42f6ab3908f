// Test double of the timer, message box and clock services, compiled into the test build of the
// plug-in only. Its state is inspected through the controls declared in fake_controls.h.
#include <cstdio>
#include <cstring>
#include <ctime>
#include <string>

#include "platform/arguments.h"
#include "platform/fake_controls.h"
#include "platform/platform.h"

#if defined(_WIN32)
#define QRV_FAKE_EXPORT __declspec(dllexport)
#else
#define QRV_FAKE_EXPORT __attribute__((visibility("default")))
#endif

namespace {
uint32_t g_deviceMinimum = 1;
// Plain storage: the last period may end while the library unloads, after its C++ objects are
// gone.
// Room for a day of measuring periods; a record that fills up says so in its last line, so a
// check of it cannot pass on a part.
char g_timerEvents[1 << 20];
size_t g_timerEventsLength = 0;
const char kTimerEventsFull[] = "record full\n";
QrvFakeTimerEventSinkFn g_timerEventSink = nullptr;
std::string g_messageBoxes;
std::string g_commandLine = "hlds -game cstrike";
int g_fixedHour = -1;
int g_fixedMinute = 0;
int g_fixedSecond = 0;
// Starts well away from zero, as a real monotonic clock does, so that no code may take zero for
// "never stamped".
int64_t g_clockNanoseconds = 1000000000;
// The server process's processor time; below zero, the system does not say.
int64_t g_processCpuNanoseconds = -1;
char g_waitDeadlines[1 << 20];
size_t g_waitDeadlinesLength = 0;

void AppendTimerEvent(const char *what, uint32_t milliseconds) {
  char line[48];
  int length =
      std::snprintf(line, sizeof(line), "%s %u\n", what, static_cast<unsigned>(milliseconds));
  const size_t room = sizeof(g_timerEvents) - sizeof(kTimerEventsFull);
  if (length > 0 && g_timerEventsLength + length < room) {
    std::memcpy(g_timerEvents + g_timerEventsLength, line, static_cast<size_t>(length) + 1);
    g_timerEventsLength += static_cast<size_t>(length);
  } else if (g_timerEventsLength < room) {
    std::memcpy(g_timerEvents + g_timerEventsLength, kTimerEventsFull, sizeof(kTimerEventsFull));
    g_timerEventsLength = room;
  }
  if (g_timerEventSink != nullptr) g_timerEventSink(line);
}
}  // namespace

namespace platform {

void GetTimerCaps(TimerCaps *caps) {
  caps->wPeriodMin = g_deviceMinimum;
  caps->wPeriodMax = 1000000;
}

void BeginTimerPeriod(uint32_t milliseconds) { AppendTimerEvent("begin", milliseconds); }

void EndTimerPeriod(uint32_t milliseconds, bool) { AppendTimerEvent("end", milliseconds); }

void ShowMessageBox(const char *text, const char *caption, unsigned style) {
  g_messageBoxes += caption;
  g_messageBoxes += '|';
  g_messageBoxes += text;
  g_messageBoxes += '|';
  g_messageBoxes += std::to_string(style);
  g_messageBoxes += '\n';
  std::fprintf(stderr, "[%s] %s\n", caption, text);
  std::fflush(stderr);
}

const char *ProcessArguments() {
  static char list[kArgumentsSize];
  size_t used = 0;
  SplitCommandLine(g_commandLine.c_str(), list, &used);
  return list;
}

int64_t MonotonicNanoseconds() { return g_clockNanoseconds; }

bool ProcessCpuNanoseconds(int64_t *nanoseconds) {
  if (g_processCpuNanoseconds < 0) return false;
  *nanoseconds = g_processCpuNanoseconds;
  return true;
}

void WaitUntilNanoseconds(int64_t deadline) {
  char line[40];
  const int length =
      std::snprintf(line, sizeof(line), "until %lld\n", static_cast<long long>(deadline));
  const size_t room = sizeof(g_waitDeadlines) - sizeof(kTimerEventsFull);
  if (length > 0 && g_waitDeadlinesLength + length < room) {
    std::memcpy(g_waitDeadlines + g_waitDeadlinesLength, line, static_cast<size_t>(length) + 1);
    g_waitDeadlinesLength += static_cast<size_t>(length);
  } else if (g_waitDeadlinesLength < room) {
    std::memcpy(g_waitDeadlines + g_waitDeadlinesLength, kTimerEventsFull,
                sizeof(kTimerEventsFull));
    g_waitDeadlinesLength = room;
  }
  if (deadline > g_clockNanoseconds) g_clockNanoseconds = deadline;
}

void EndWaits() {}

TimeOfDay LocalTimeOfDay() {
  if (g_fixedHour >= 0) return TimeOfDay{g_fixedHour, g_fixedMinute, g_fixedSecond};
  std::time_t now = std::time(nullptr);
  const std::tm *local = std::localtime(&now);
  return TimeOfDay{local->tm_hour, local->tm_min, local->tm_sec};
}

}  // namespace platform

extern "C" {

QRV_FAKE_EXPORT void QrvFake_SetTimerMinimum(uint32_t milliseconds) {
  g_deviceMinimum = milliseconds;
}

QRV_FAKE_EXPORT const char *QrvFake_TimerEvents(void) { return g_timerEvents; }

QRV_FAKE_EXPORT void QrvFake_SetTimerEventSink(QrvFakeTimerEventSinkFn sink) {
  g_timerEventSink = sink;
}

QRV_FAKE_EXPORT void QrvFake_SetLocalTime(int hour, int minute, int second) {
  g_fixedHour = hour;
  g_fixedMinute = minute;
  g_fixedSecond = second;
}

QRV_FAKE_EXPORT const char *QrvFake_MessageBoxes(void) { return g_messageBoxes.c_str(); }

QRV_FAKE_EXPORT void QrvFake_SetCommandLine(const char *line) {
  g_commandLine = line != nullptr ? line : "";
}

QRV_FAKE_EXPORT void QrvFake_AdvanceClock(int64_t nanoseconds) {
  if (nanoseconds > 0) g_clockNanoseconds += nanoseconds;
}

QRV_FAKE_EXPORT int64_t QrvFake_ClockNanoseconds(void) { return g_clockNanoseconds; }

QRV_FAKE_EXPORT void QrvFake_SetProcessCpu(int64_t nanoseconds) {
  g_processCpuNanoseconds = nanoseconds;
}

QRV_FAKE_EXPORT const char *QrvFake_WaitDeadlines(void) { return g_waitDeadlines; }

QRV_FAKE_EXPORT void QrvFake_SetCounterSource(const char *source) {
  platform::OverrideCounterSource(source);
}
}
