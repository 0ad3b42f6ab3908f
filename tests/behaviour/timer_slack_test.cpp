// The Linux counterpart of the timer resolution, through the release binary: the engine thread's
// timer slack while the plug-in is attached. The emulator calls the plug-in on the test's own
// thread, so the slack the plug-in sets is this thread's.
#include <gtest/gtest.h>

#include <string>

#if defined(__linux__)
#include <sys/prctl.h>
#endif

#include "tests/plugin_fixture.h"

namespace {

#if defined(__linux__)

// Distinct from the kernel's 50 us default, so that a restored value cannot be a coincidence.
constexpr int kSlackBefore = 61000;

int ThreadSlack() { return prctl(PR_GET_TIMERSLACK, 0UL, 0UL, 0UL, 0UL); }

TEST(TimerSlack, IsOneMicrosecondWhileAttachedAndRestoredAtDetachOrUnload) {
  const int original = ThreadSlack();
  prctl(PR_SET_TIMERSLACK, static_cast<unsigned long>(kSlackBefore), 0UL, 0UL, 0UL);
  if (ThreadSlack() != kSlackBefore) {
    prctl(PR_SET_TIMERSLACK, static_cast<unsigned long>(original > 0 ? original : 0), 0UL, 0UL,
          0UL);
    GTEST_SKIP() << "this system does not keep a thread's timer slack (prctl answered "
                 << ThreadSlack() << " after setting " << kSlackBefore
                 << "), as under a qemu-user that does not pass the call through";
  }
  enum class Ending { kForcedDetach, kUnloadWithoutDetach };
  for (Ending ending : {Ending::kForcedDetach, Ending::kUnloadWithoutDetach}) {
    SCOPED_TRACE(ending == Ending::kForcedDetach ? "forced Meta_Detach" : "unload");
    emu::Session server;
    ASSERT_TRUE(server.Attach());
    EXPECT_EQ(1000, ThreadSlack());
    server.StartServer();
    server.StartMap("de_dust2");
    server.RunFrames(500, 100.0);  // past game time 5: a period ends, its refresh ends and begins
    EXPECT_NE("1.0", std::string(server.engine().FindCvar("qrv_fps")->string));
    EXPECT_EQ(1000, ThreadSlack());
    if (ending == Ending::kForcedDetach) {
      EXPECT_EQ(1, server.metamod().CallMetaDetach(PT_ANYTIME, PNL_CMD_FORCED));
      EXPECT_EQ(kSlackBefore, ThreadSlack());
    }
    server.metamod().Unload();
    EXPECT_EQ(kSlackBefore, ThreadSlack());
  }
  prctl(PR_SET_TIMERSLACK, static_cast<unsigned long>(original), 0UL, 0UL, 0UL);
}

#else

TEST(TimerSlack, IsOneMicrosecondWhileAttachedAndRestoredAtDetachOrUnload) {
  GTEST_SKIP() << "timer slack is a Linux thread setting; Windows raises the timer resolution";
}

#endif

}  // namespace
