// The hitch figures that the status shows, checked alone: the last finished period's and the
// map's, with the map's loading frame left out of both.
#include "perf/frame_hitches.h"

#include <gtest/gtest.h>

#include "base/globals.h"

namespace {

TEST(FrameHitchFigures, PeriodAndMapFiguresLeaveOutTheLoadingFrame) {
  globalvars_t globals{};
  globalvars_t *previous = gpGlobals;
  gpGlobals = &globals;
  // No variables are bound here: the threshold stays at its default of 50 ms.
  StartHitchWatch();
  EXPECT_EQ(50.0f, HitchThresholdMs());
  const float frames[][4] = {
      {2.0f, 0.01f, 0.3f, 0.02f},     // loading frame, then one hitch
      {0.06f, 0.07f, 0.01f, 0.04f},   // two hitches, shorter than the map's longest
      {0.01f, 0.02f, 0.045f, 0.01f},  // none
  };
  const float longest[] = {300.0f, 70.0f, 45.0f};
  const uint32_t hitches[] = {1, 2, 0};
  const uint32_t mapHitches[] = {1, 3, 3};
  for (int period = 0; period < 3; ++period) {
    SCOPED_TRACE(period);
    for (float seconds : frames[period]) {
      if (seconds > g_flLongFrameFloor) NoteLongFrame(seconds);
    }
    EndHitchPeriod();
    EXPECT_FLOAT_EQ(longest[period], FrameHitches().lastPeriodLongestMs);
    EXPECT_EQ(hitches[period], FrameHitches().lastPeriodHitches);
    EXPECT_FLOAT_EQ(300.0f, FrameHitches().mapLongestMs);
    EXPECT_EQ(mapHitches[period], FrameHitches().mapHitches);
  }
  StartHitchWatch();
  EXPECT_EQ(0u, FrameHitches().mapHitches);
  EXPECT_EQ(0.0f, FrameHitches().mapLongestMs);
  gpGlobals = previous;
}

}  // namespace
