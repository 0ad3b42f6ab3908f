// The few operating-system services the plug-in needs. One implementation per OS (and a fake
// for tests); nothing above this layer includes an OS header.
#pragma once

#include <cstdint>

namespace platform {

// Mirrors the multimedia timer's capability record (TIMECAPS).
struct TimerCaps {
  uint32_t wPeriodMin;
  uint32_t wPeriodMax;
};

// How promptly a sleeping server wakes. On Windows these are timeGetDevCaps, timeBeginPeriod and
// timeEndPeriod: the system timer's resolution, raised to the period in ms while it is begun.
// Linux has no timer resolution to raise, and the periods only mirror the Windows calls:
// GetTimerCaps reports a device minimum of 1 ms, BeginTimerPeriod sets the calling thread's timer
// slack (how late the kernel may wake it) to 1 us whatever the period, and EndTimerPeriod puts
// back the slack the thread had before; neither does anything when the kernel refuses. An end
// that is renewed is followed at once by the next begin: the slack then simply stays small,
// sparing the frame that refreshes the period three system calls.
void GetTimerCaps(TimerCaps *caps);
void BeginTimerPeriod(uint32_t milliseconds);
void EndTimerPeriod(uint32_t milliseconds, bool renewed);

// The monotonic clock, in nanoseconds (CLOCK_MONOTONIC through the vDSO, QueryPerformanceCounter):
// tens of nanoseconds a read, so the frame hook may stamp every frame with it.
int64_t MonotonicNanoseconds();

// The processor time the whole server process has used so far, user and system, in
// nanoseconds (CLOCK_PROCESS_CPUTIME_ID, GetProcessTimes); false when the system does not say.
bool ProcessCpuNanoseconds(int64_t *nanoseconds);

// Sleeps until the monotonic clock has reached the deadline; returns at once when it has passed.
// Never spins: Linux sleeps to the absolute deadline (clock_nanosleep, TIMER_ABSTIME) under the
// thread's timer slack; Windows waits on a high-resolution waitable timer where the system has
// one, else on an ordinary one under the raised timer resolution.
void WaitUntilNanoseconds(int64_t deadline);
// Gives back what the waits keep (the Windows timer); at unload.
void EndWaits();

// The interface factory (CreateInterface) the running engine's library exports, when that
// library is loaded in this process: engine_i486.so (found among the loaded libraries by file
// name) or swds.dll. Null for any other engine. Calls nothing in the engine.
void *FindEngineInterfaceFactory();

// A modal message box without owner window; headless platforms print one line on stderr.
constexpr unsigned kMessageBoxOk = 0x0;
constexpr unsigned kMessageBoxIconHand = 0x10;
void ShowMessageBox(const char *text, const char *caption, unsigned style);

struct TimeOfDay {
  int hour;
  int minute;
  int second;
};
TimeOfDay LocalTimeOfDay();

// The arguments the server process was started with, program name first, each ended by a zero
// byte and the list by an empty one: /proc/self/cmdline on Linux, GetCommandLineA split at blanks
// outside double quotes on Windows. Kept in a static buffer; a longer command line is cut at a
// whole argument.
const char *ProcessArguments();

// Separator of the paths the plug-in builds itself (the operator's own conventions per OS).
#if defined(_WIN32)
constexpr char kPathSeparator = '\\';
#else
constexpr char kPathSeparator = '/';
#endif

// The game library in the game directory's dlls folder: which column of the supported-game table
// names it on this system, and the name that current servers of this build ship instead of the
// table's Linux name ("cs_i386.so"), tried first; empty where the table's name is the only one.
#if defined(_WIN32)
constexpr bool kGameLibraryFromWindowsColumn = true;
constexpr char kCurrentGameLibrary[] = "";
#elif defined(__x86_64__)
constexpr bool kGameLibraryFromWindowsColumn = false;
constexpr char kCurrentGameLibrary[] = "cs_amd64.so";
#else
constexpr bool kGameLibraryFromWindowsColumn = false;
constexpr char kCurrentGameLibrary[] = "cs.so";
#endif

// Whether the dedicated server's launcher on this system sleeps 1 ms every pass of its loop
// unless started with -pingboost 3 (Linux); the Windows launcher always sleeps 1 ms.
#if defined(_WIN32)
constexpr bool kLauncherSleepsEveryPass = false;
#else
constexpr bool kLauncherSleepsEveryPass = true;
#endif

// Whether the ReHLDS hook chains are used only while frames are paced: on Windows, where their
// tables are checked against the engine's headers but never ran in a real engine, no server
// that did not ask for pacing calls them.
#if defined(_WIN32)
constexpr bool kEngineChainsOnlyWhilePacing = true;
#else
constexpr bool kEngineChainsOnlyWhilePacing = false;
#endif

// The system this binary was built for, as the information texts name it: "Win32", "Win64" or
// "Linux", all of the same width.
#if defined(_WIN64)
constexpr char kBuildSystemName[] = "Win64";
#elif defined(_WIN32)
constexpr char kBuildSystemName[] = "Win32";
#else
constexpr char kBuildSystemName[] = "Linux";
#endif
constexpr int kBuildBits = static_cast<int>(sizeof(void *) * 8);

// Appends the text to the file, creating the file (never its folder) when it is missing; a line
// break is written as the system's own ("\r\n" on Windows, as a text-mode stream writes it).
// False when the file cannot be opened. Allocates nothing, so it may run inside a server frame.
bool AppendToFile(const char *path, const char *text);

using LibraryHandle = void *;
LibraryHandle OpenLibrary(const char *path);
void *LibrarySymbol(LibraryHandle library, const char *name);
void CloseLibrary(LibraryHandle library);

// Keeps this library mapped until the process ends, whoever closes it: for a detach that comes
// while one of the plug-in's hooks is still running (an unload typed over rcon runs inside the
// engine's frame), so that the hook returns into code that is still there.
void KeepLibraryLoaded();

// The plug-in's clean-up for when the process lets go of this library: DllMain's process detach
// on Windows, under the loader lock; the library's destructor elsewhere, inside exit() too. It
// may load or free no library there. Nothing runs until one is set.
void SetProcessDetachHandler(void (*handler)());

// The processor-load counter library: on Windows the performance data helper (pdh.dll), loaded
// at run time and never freed; elsewhere a built-in library with the same functions over the
// kernel's processor statistics (/proc/stat). Its functions are resolved by their PDH names.
LibraryHandle OpenCounterLibrary();
void *CounterLibrarySymbol(LibraryHandle library, const char *name);

// The machine's total processor time: the one counter path the plug-in asks for, and so the only
// one the built-in library knows (pdh.dll accepts many more).
constexpr char kProcessorTotalCounterPath[] = "\\Processor(_Total)\\% Processor Time";

// Tests only: load this library instead of pdh.dll (Windows), or read the processor statistics
// from this file instead of /proc/stat (elsewhere); nullptr restores the default. The library
// is only opened once per process, so a test that needs another one runs in a process of its own.
void OverrideCounterSource(const char *source);

// PDH_STATUS and the query and counter handles (PDH_HQUERY, PDH_HCOUNTER).
using CounterStatus = uint32_t;
using CounterHandle = void *;
constexpr CounterStatus kCounterSuccess = 0;

// Calls of the resolved functions PdhOpenQueryA (no data source, user data 0), PdhCloseQuery,
// PdhAddCounterA (user data 0) and PdhRemoveCounter. Each is guarded against processor
// exceptions raised inside the library: false means the call faulted and was abandoned;
// otherwise *status holds the library's answer.
bool CallOpenQuery(void *function, CounterHandle *query, CounterStatus *status);
bool CallCloseQuery(void *function, CounterHandle query, CounterStatus *status);
bool CallAddCounter(void *function, CounterHandle query, const char *path, CounterHandle *counter,
                    CounterStatus *status);
bool CallRemoveCounter(void *function, CounterHandle counter, CounterStatus *status);

// PdhCollectQueryData and PdhGetFormattedCounterValue (as a double, PDH_FMT_DOUBLE), guarded
// the same way. A value the library hands back with a status of its own that is not valid data
// (a rate counter after only one collection) answers that status, so success always means a
// usable *value.
bool CallCollectQueryData(void *function, CounterHandle query, CounterStatus *status);
bool CallGetFormattedCounterValue(void *function, CounterHandle counter, double *value,
                                  CounterStatus *status);

}  // namespace platform
