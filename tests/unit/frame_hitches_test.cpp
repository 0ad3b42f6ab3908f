// The hitch figures that the status shows, checked alone through the frame hook's own body over
// the fake clock: the last finished period's and the map's, the map's loading frame left out,
// its start-up kept apart, and frame lengths that no engine clamp shortens.
#include "perf/frame_hitches.h"

#include <gtest/gtest.h>

#include <vector>

#include "base/globals.h"
#include "perf/fps_monitor.h"

extern "C" void QrvFake_AdvanceClock(int64_t nanoseconds);

namespace {

// Runs frames of these lengths through the per-frame hook, the clock and game time advancing
// together; no period ends on the way.
void RunFrames(globalvars_t *globals, const std::vector<double> &seconds) {
  for (double length : seconds) {
    QrvFake_AdvanceClock(static_cast<int64_t>(length * 1e9 + 0.5));
    globals->time += static_cast<float>(length);
    MonitorFrame();
  }
}

TEST(FrameHitchFigures, PeriodMapAndStartupFiguresComeFromTheClock) {
  globalvars_t globals{};
  globals.deathmatch = 1.0f;
  globals.time = 1.0f;
  globalvars_t *previous = gpGlobals;
  gpGlobals = &globals;
  g_flNextSampleTime = 1.0e9f;
  // No variables are bound here: the threshold stays at its default of 50 ms.
  StartHitchWatch();
  EXPECT_EQ(50.0f, HitchThresholdMs());
  struct Period {
    std::vector<double> frames;
    float longestMs;
    uint32_t hitches;
    float mapLongestMs;
    uint32_t mapHitches;
  };
  const Period periods[] = {
      // The loading, then start-up frames (beginning in the first 2 s) kept apart; the 0.3 s
      // frame begins at 2.05 s and is the first hitch.
      {{5.0, 0.55, 1.0, 0.5, 0.3, 0.02}, 300.0f, 1, 300.0f, 1},
      // Exactly 50 ms is no hitch.
      {{0.06, 0.07, 0.01, 0.05, 0.04}, 70.0f, 2, 300.0f, 3},
      // A stall far beyond the 250 ms engines clamp their frame time to.
      {{0.01, 2.0, 0.01}, 2000.0f, 1, 2000.0f, 4},
      {{0.01, 0.045, 0.01}, 45.0f, 0, 2000.0f, 4},
  };
  for (const Period &period : periods) {
    SCOPED_TRACE(period.longestMs);
    RunFrames(&globals, period.frames);
    EndHitchPeriod();
    EXPECT_FLOAT_EQ(period.longestMs, FrameHitches().lastPeriodLongestMs);
    EXPECT_EQ(period.hitches, FrameHitches().lastPeriodHitches);
    EXPECT_FLOAT_EQ(period.mapLongestMs, FrameHitches().mapLongestMs);
    EXPECT_EQ(period.mapHitches, FrameHitches().mapHitches);
    EXPECT_FLOAT_EQ(1000.0f, FrameHitches().startupLongestMs);
  }
  StartHitchWatch();
  EXPECT_EQ(0u, FrameHitches().mapHitches);
  EXPECT_EQ(0.0f, FrameHitches().mapLongestMs);
  EXPECT_EQ(0.0f, FrameHitches().startupLongestMs);
  gpGlobals = previous;
}

}  // namespace
