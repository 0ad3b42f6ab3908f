// The Windows wait for a deadline, on the high-resolution waitable timer and on the ordinary one
// a system without it falls back to: whichever it is, the wait never ends before the deadline.
// (How soon after it ends is a matter for the benchmarks.)
#include <gtest/gtest.h>

#include <cstdint>

#if defined(_WIN32)
#include "platform/wait_timer.h"
#endif

namespace {

TEST(WaitTimer, NeverWakesBeforeTheDeadlineOnEitherTimer) {
#if !defined(_WIN32)
  GTEST_SKIP() << "the waitable timer is Windows'; Linux sleeps with clock_nanosleep";
#else
  struct Row {
    bool refuseHighResolution;
    bool mayBeEither;  // a system (or wine) without the flag falls back by itself
    platform::WaitTimerKind expected;
  };
  const Row rows[] = {
      {false, true, platform::WaitTimerKind::kHighResolution},
      {true, false, platform::WaitTimerKind::kOrdinary},
  };
  for (const Row &row : rows) {
    SCOPED_TRACE(row.refuseHighResolution);
    platform::CloseWaitTimer();
    platform::RefuseHighResolutionWaitTimer(row.refuseHighResolution);
    EXPECT_EQ(platform::WaitTimerKind::kNone, platform::WaitTimerInUse());
    for (int64_t ahead : {int64_t{-1000}, int64_t{1}, int64_t{300000}, int64_t{2500000}}) {
      const int64_t deadline = platform::PerformanceCounterNanoseconds() + ahead;
      platform::WaitOnTimerUntil(deadline);
      EXPECT_GE(platform::PerformanceCounterNanoseconds(), deadline) << ahead;
    }
    if (row.mayBeEither) {
      EXPECT_NE(platform::WaitTimerKind::kNone, platform::WaitTimerInUse());
    } else {
      EXPECT_EQ(row.expected, platform::WaitTimerInUse());
    }
  }
  platform::RefuseHighResolutionWaitTimer(false);
  platform::CloseWaitTimer();
  EXPECT_EQ(platform::WaitTimerKind::kNone, platform::WaitTimerInUse());
#endif
}

}  // namespace
