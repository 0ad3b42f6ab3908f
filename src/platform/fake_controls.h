// Controls of the fake platform that the test build of the plug-in exports beside the nine
// real entry points. Tests resolve them by name from the loaded binary.
#pragma once

#include <cstdint>

extern "C" {
// Device minimum that the fake timer reports (1 ms until set).
typedef void (*QrvFakeSetTimerMinimumFn)(uint32_t milliseconds);
// Every timeBeginPeriod/timeEndPeriod so far, one "begin N" or "end N" per line; a record that
// ran out of room ends with the line "record full".
typedef const char *(*QrvFakeTimerEventsFn)(void);
// Also hands every such line to a function of the test program's, which still hears the periods
// that end while the library unloads; null stops it.
typedef void (*QrvFakeTimerEventSinkFn)(const char *event);
typedef void (*QrvFakeSetTimerEventSinkFn)(QrvFakeTimerEventSinkFn sink);
// Fixed local time of day for log stamps; a negative hour returns to the real clock.
typedef void (*QrvFakeSetLocalTimeFn)(int hour, int minute, int second);
// Every message box so far, one "caption|text|style" per line.
typedef const char *(*QrvFakeMessageBoxesFn)(void);
// The process's command line as the platform reports it ("hlds -game cstrike" until set).
typedef void (*QrvFakeSetCommandLineFn)(const char *line);
// The processor counter's source from the next map on: the library loaded instead of pdh.dll
// (Windows), or the statistics file read instead of /proc/stat (elsewhere); null for the
// default. The library is looked for only once, so on Windows this counts before the first map.
typedef void (*QrvFakeSetCounterSourceFn)(const char *source);
// The monotonic clock of the fake platform, in nanoseconds: it stands still until advanced, and
// a wait for a deadline moves it there at once. The emulator's session advances it with every
// frame by the frame's length.
typedef void (*QrvFakeAdvanceClockFn)(int64_t nanoseconds);
typedef int64_t (*QrvFakeClockNanosecondsFn)(void);
// The processor time the fake reports the process has used, in nanoseconds; below zero (as
// until set) it reports none.
typedef void (*QrvFakeSetProcessCpuFn)(int64_t nanoseconds);
// Every deadline waited for so far, one "until N" per line (N in the fake clock's nanoseconds).
typedef const char *(*QrvFakeWaitDeadlinesFn)(void);
}

#define QRV_FAKE_SET_TIMER_MINIMUM "QrvFake_SetTimerMinimum"
#define QRV_FAKE_TIMER_EVENTS "QrvFake_TimerEvents"
#define QRV_FAKE_SET_TIMER_EVENT_SINK "QrvFake_SetTimerEventSink"
#define QRV_FAKE_SET_LOCAL_TIME "QrvFake_SetLocalTime"
#define QRV_FAKE_MESSAGE_BOXES "QrvFake_MessageBoxes"
#define QRV_FAKE_SET_COMMAND_LINE "QrvFake_SetCommandLine"
#define QRV_FAKE_SET_COUNTER_SOURCE "QrvFake_SetCounterSource"
#define QRV_FAKE_ADVANCE_CLOCK "QrvFake_AdvanceClock"
#define QRV_FAKE_CLOCK_NANOSECONDS "QrvFake_ClockNanoseconds"
#define QRV_FAKE_WAIT_DEADLINES "QrvFake_WaitDeadlines"
#define QRV_FAKE_SET_PROCESS_CPU "QrvFake_SetProcessCpu"
