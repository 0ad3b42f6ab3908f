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

// timeGetDevCaps / timeBeginPeriod / timeEndPeriod. Where the OS has no such call the device
// minimum is 1 ms and begin/end do nothing.
void GetTimerCaps(TimerCaps *caps);
void BeginTimerPeriod(uint32_t milliseconds);
void EndTimerPeriod(uint32_t milliseconds);

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

// lstrcmpA: 0 when both texts are equal.
int CompareStrings(const char *a, const char *b);

// Separator of the paths the plug-in builds itself (the operator's own conventions per OS).
#if defined(_WIN32)
constexpr char kPathSeparator = '\\';
#else
constexpr char kPathSeparator = '/';
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

using LibraryHandle = void *;
LibraryHandle OpenLibrary(const char *path);
void *LibrarySymbol(LibraryHandle library, const char *name);
void CloseLibrary(LibraryHandle library);

}  // namespace platform

// Implemented by the plug-in; the platform calls it when the process unloads the library.
void OnProcessDetach();
