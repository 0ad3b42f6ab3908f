#include <sys/syscall.h>
#include <unistd.h>

#include <cerrno>
#include <ctime>

#include "platform/platform.h"

namespace platform {

namespace {

// Looked up in the C library at run time rather than linked: both moved into libc only with
// glibc 2.17, and the i386 library must load on older servers. The C library's clock_gettime
// reads the vDSO without entering the kernel; a library without them gets the system calls.
using ClockGetTimeFn = int (*)(clockid_t, timespec *);
using ClockNanosleepFn = int (*)(clockid_t, int, const timespec *, timespec *);

int ClockGetTimeBySystemCall(clockid_t clock, timespec *now) {
  return static_cast<int>(syscall(SYS_clock_gettime, clock, now));
}

// Answers the error number, as the C library's function does.
int ClockNanosleepBySystemCall(clockid_t clock, int flags, const timespec *until, timespec *left) {
  return syscall(SYS_clock_nanosleep, clock, flags, until, left) == 0 ? 0 : errno;
}

ClockGetTimeFn g_clockGetTime = nullptr;
ClockNanosleepFn g_clockNanosleep = nullptr;

void ResolveClockFunctions() {
  LibraryHandle libc = OpenLibrary("libc.so.6");
  void *getTime = LibrarySymbol(libc, "clock_gettime");
  void *nanosleep = LibrarySymbol(libc, "clock_nanosleep");
  // The C library stays loaded for the life of the process whatever this reference does.
  CloseLibrary(libc);
  g_clockNanosleep = nanosleep != nullptr ? reinterpret_cast<ClockNanosleepFn>(nanosleep)
                                          : ClockNanosleepBySystemCall;
  g_clockGetTime =
      getTime != nullptr ? reinterpret_cast<ClockGetTimeFn>(getTime) : ClockGetTimeBySystemCall;
}

constexpr int64_t kNanosecondsPerSecond = 1000000000;

}  // namespace

int64_t MonotonicNanoseconds() {
  if (g_clockGetTime == nullptr) ResolveClockFunctions();
  timespec now{};
  g_clockGetTime(CLOCK_MONOTONIC, &now);
  return static_cast<int64_t>(now.tv_sec) * kNanosecondsPerSecond + now.tv_nsec;
}

bool ProcessCpuNanoseconds(int64_t *nanoseconds) {
  if (g_clockGetTime == nullptr) ResolveClockFunctions();
  timespec used{};
  if (g_clockGetTime(CLOCK_PROCESS_CPUTIME_ID, &used) != 0) return false;
  *nanoseconds = static_cast<int64_t>(used.tv_sec) * kNanosecondsPerSecond + used.tv_nsec;
  return true;
}

void WaitUntilNanoseconds(int64_t deadline) {
  if (g_clockNanosleep == nullptr) ResolveClockFunctions();
  if (deadline <= 0) return;
  timespec until{};
  until.tv_sec = static_cast<time_t>(deadline / kNanosecondsPerSecond);
  until.tv_nsec = static_cast<long>(deadline % kNanosecondsPerSecond);
  // An absolute deadline survives a signal: sleeping again aims at the same instant.
  while (g_clockNanosleep(CLOCK_MONOTONIC, TIMER_ABSTIME, &until, nullptr) == EINTR) {
  }
}

void EndWaits() {}

}  // namespace platform
