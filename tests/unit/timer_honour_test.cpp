// Windows 11 may ignore a hidden process's timer resolution; the timer service asks it not to.
// Whatever the system answers, nothing else changes.
#include <gtest/gtest.h>

#if defined(_WIN32)
#include <windows.h>

#include "platform/timer_honour.h"

namespace {

struct SeenCall {
  int calls = 0;
  HANDLE process = nullptr;
  int informationClass = -1;
  ULONG state[3] = {0, 0, 0};
  DWORD size = 0;
};
SeenCall g_seen;
BOOL g_answer = TRUE;

BOOL WINAPI RecordingSetProcessInformation(HANDLE process, int informationClass, LPVOID information,
                                           DWORD size) {
  ++g_seen.calls;
  g_seen.process = process;
  g_seen.informationClass = informationClass;
  g_seen.size = size;
  if (size == sizeof(g_seen.state)) memcpy(g_seen.state, information, size);
  return g_answer;
}

TEST(TimerHonour, AsksForTheTimerResolutionToStayHonouredAndTakesANoCalmly) {
  void *recording = reinterpret_cast<void *>(&RecordingSetProcessInformation);
  g_answer = TRUE;
  EXPECT_TRUE(platform::AskToHonourTimerResolution(recording));
  EXPECT_EQ(1, g_seen.calls);
  EXPECT_EQ(GetCurrentProcess(), g_seen.process);
  EXPECT_EQ(4, g_seen.informationClass);  // ProcessPowerThrottling
  EXPECT_EQ(12u, g_seen.size);
  EXPECT_EQ(1u, g_seen.state[0]);  // version
  EXPECT_EQ(4u, g_seen.state[1]);  // control: ignore-timer-resolution throttling
  EXPECT_EQ(0u, g_seen.state[2]);  // state: off, so the resolution is honoured

  g_answer = FALSE;  // an older or stricter system refuses
  EXPECT_FALSE(platform::AskToHonourTimerResolution(recording));
  EXPECT_EQ(2, g_seen.calls);

  EXPECT_FALSE(platform::AskToHonourTimerResolution(nullptr));  // a system without the call

  // The system's own call, whatever it answers, returns normally.
  platform::AskToHonourTimerResolution(platform::LookUpSetProcessInformation());
}

}  // namespace
#else
TEST(TimerHonour, AsksForTheTimerResolutionToStayHonouredAndTakesANoCalmly) {
  GTEST_SKIP() << "Linux has no timer resolution to keep honoured";
}
#endif
