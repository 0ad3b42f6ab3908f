// What the behaviour tests share about this plug-in: where it logs, and the controls of its
// test build's fake platform (timer device minimum, timer calls, message boxes, clock).
#pragma once

#include <gtest/gtest.h>

#include <sstream>
#include <string>
#include <vector>

#include "platform/fake_controls.h"
#include "session.h"

namespace qrvtest {

inline std::string LogPath(const std::string &gameDir = "cstrike") {
  return gameDir + "/addons/qrv_vemtark/logs/qrv_vemtark.log";
}

inline std::vector<std::string> Lines(const std::string &text) {
  std::vector<std::string> lines;
  std::istringstream in(text);
  for (std::string line; std::getline(in, line);) {
    if (!line.empty() && line.back() == '\r') line.pop_back();
    lines.push_back(line);
  }
  return lines;
}

// The plug-in's log lines without their "[hh:mm:ss] " stamps.
inline std::vector<std::string> LogMessages(const emu::Session &server,
                                            const std::string &gameDir = "cstrike") {
  std::vector<std::string> messages;
  for (const std::string &line : Lines(server.ReadFile(LogPath(gameDir)))) {
    messages.push_back(line.size() > 11 ? line.substr(11) : line);
  }
  return messages;
}

// The server commands the plug-in queued since they were last cleared, without their line breaks.
inline std::vector<std::string> QueuedCommands(const emu::Session &server) {
  std::vector<std::string> commands;
  for (std::string command : server.engine().ServerCommands()) {
    if (!command.empty() && command.back() == '\n') command.pop_back();
    commands.push_back(command);
  }
  return commands;
}

// The fake platform of the test build, resolved from the loaded binary.
class FakePlatform {
 public:
  explicit FakePlatform(const emu::Library &library)
      : setTimerMinimum_(library.Export<QrvFakeSetTimerMinimumFn>(QRV_FAKE_SET_TIMER_MINIMUM)),
        timerEvents_(library.Export<QrvFakeTimerEventsFn>(QRV_FAKE_TIMER_EVENTS)),
        setLocalTime_(library.Export<QrvFakeSetLocalTimeFn>(QRV_FAKE_SET_LOCAL_TIME)),
        messageBoxes_(library.Export<QrvFakeMessageBoxesFn>(QRV_FAKE_MESSAGE_BOXES)),
        setTimerEventSink_(
            library.Export<QrvFakeSetTimerEventSinkFn>(QRV_FAKE_SET_TIMER_EVENT_SINK)),
        setCounterSource_(library.Export<QrvFakeSetCounterSourceFn>(QRV_FAKE_SET_COUNTER_SOURCE)),
        setCommandLine_(library.Export<QrvFakeSetCommandLineFn>(QRV_FAKE_SET_COMMAND_LINE)),
        advanceClock_(library.Export<QrvFakeAdvanceClockFn>(QRV_FAKE_ADVANCE_CLOCK)),
        clockNanoseconds_(library.Export<QrvFakeClockNanosecondsFn>(QRV_FAKE_CLOCK_NANOSECONDS)),
        waitDeadlines_(library.Export<QrvFakeWaitDeadlinesFn>(QRV_FAKE_WAIT_DEADLINES)),
        setProcessCpu_(library.Export<QrvFakeSetProcessCpuFn>(QRV_FAKE_SET_PROCESS_CPU)) {}

  bool Resolved() const {
    return setTimerMinimum_ && timerEvents_ && setLocalTime_ && messageBoxes_ &&
           setTimerEventSink_ && setCounterSource_ && setCommandLine_ && advanceClock_ &&
           clockNanoseconds_ && waitDeadlines_ && setProcessCpu_;
  }
  void SetTimerMinimum(uint32_t milliseconds) const { setTimerMinimum_(milliseconds); }
  std::vector<std::string> TimerEvents() const { return Lines(timerEvents_()); }
  void SetLocalTime(int hour, int minute, int second) const { setLocalTime_(hour, minute, second); }
  std::vector<std::string> MessageBoxes() const { return Lines(messageBoxes_()); }
  // The sink also hears the periods that end while the library unloads.
  void SetTimerEventSink(QrvFakeTimerEventSinkFn sink) const { setTimerEventSink_(sink); }
  // pdh.dll (Windows) or /proc/stat (elsewhere) replaced by this library or file; null restores.
  void SetCounterSource(const char *source) const { setCounterSource_(source); }
  void SetCommandLine(const char *line) const { setCommandLine_(line); }
  // The fake monotonic clock, and every deadline a wait was asked for ("until N" lines).
  int64_t ClockNanoseconds() const { return clockNanoseconds_(); }
  void AdvanceClock(int64_t nanoseconds) const { advanceClock_(nanoseconds); }
  std::vector<std::string> WaitDeadlines() const { return Lines(waitDeadlines_()); }
  // The processor time the process has used, as the plug-in reads it; below zero, none.
  void SetProcessCpu(int64_t nanoseconds) const { setProcessCpu_(nanoseconds); }

  // Every begun period ended exactly once, in order, and nothing ended that was not begun.
  ::testing::AssertionResult TimerBalanced() const { return Balanced(TimerEvents()); }
  static ::testing::AssertionResult Balanced(const std::vector<std::string> &events) {
    std::string open;
    for (const std::string &event : events) {
      if (event == "record full") {
        return ::testing::AssertionFailure() << "the fake's timer record ran out of room";
      }
      if (event.rfind("begin ", 0) == 0) {
        if (!open.empty()) return ::testing::AssertionFailure() << "begun twice: " << event;
        open = event.substr(6);
      } else if (event.rfind("end ", 0) == 0) {
        if (open != event.substr(4)) {
          return ::testing::AssertionFailure() << "ended what was not begun: " << event;
        }
        open.clear();
      }
    }
    if (!open.empty()) return ::testing::AssertionFailure() << "still begun: " << open;
    return ::testing::AssertionSuccess();
  }

 private:
  QrvFakeSetTimerMinimumFn setTimerMinimum_;
  QrvFakeTimerEventsFn timerEvents_;
  QrvFakeSetLocalTimeFn setLocalTime_;
  QrvFakeMessageBoxesFn messageBoxes_;
  QrvFakeSetTimerEventSinkFn setTimerEventSink_;
  QrvFakeSetCounterSourceFn setCounterSource_;
  QrvFakeSetCommandLineFn setCommandLine_;
  QrvFakeAdvanceClockFn advanceClock_;
  QrvFakeClockNanosecondsFn clockNanoseconds_;
  QrvFakeWaitDeadlinesFn waitDeadlines_;
  QrvFakeSetProcessCpuFn setProcessCpu_;
};

inline emu::SessionOptions TestBuild() {
  emu::SessionOptions options;
  options.build = emu::PluginBuild::kTest;
  return options;
}

}  // namespace qrvtest
