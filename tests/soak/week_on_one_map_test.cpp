// A week of game time on one map: the frame and period counters, game time in single precision
// (a quarter of a second apart at a month, a sixteenth at a week) and the minute between hitch
// warnings must hold for as long as a map may run.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "tests/plugin_fixture.h"

namespace {

TEST(WeekOnOneMap, PeriodsFiguresAndHitchWarningsHoldForAWeek) {
  constexpr double kFramesPerSecond = 2.0;  // half-second frames: exact in game time all week
  constexpr int kHours = 7 * 24;
  // Two stalls an hour (1.5 s and 2.5 s) and 2 * 3596 frames of half a second: 3600 s.
  constexpr int kFramesBetweenStalls = 3596;
  emu::Session server(qrvtest::TestBuild());
  server.StartServer();
  server.Command("qrv_vemtark_hitch_ms 1000");
  server.Command("qrv_vemtark_autofps 0");
  server.StartMap("de_dust2");
  server.RunFrames(10, kFramesPerSecond);  // the loading and the start-up
  for (int hour = 0; hour < kHours; ++hour) {
    server.RunLongFrame(1.5);
    server.RunFrames(kFramesBetweenStalls, kFramesPerSecond);
    server.RunLongFrame(2.5);
    server.RunFrames(kFramesBetweenStalls, kFramesPerSecond);
  }
  server.RunFrames(20, kFramesPerSecond);
  EXPECT_EQ(std::string("2"), server.engine().FindCvar("qrv_fps")->string);
  EXPECT_EQ(std::string("500.0"), server.engine().FindCvar("qrv_frametime_max")->string);

  std::vector<std::string> warnings;
  for (const std::string &line : qrvtest::LogMessages(server)) {
    if (line.find("Frame hitch") != std::string::npos) warnings.push_back(line);
  }
  // Every stall lies more than a minute from the last line, so each has a line of its own.
  ASSERT_EQ(static_cast<size_t>(2 * kHours), warnings.size());
  const std::string start =
      "[QRV] WARNING: Frame hitch: longest frame 2500.0 ms, 1 hitch over 1000 ms in the last ";
  // The whole stall outside the game's StartFrame, which is all an engine without hooks of its
  // own lets the plug-in tell apart.
  const std::string end = " s on de_dust2 with 0 players. Longest: rest 2500.0 ms.";
  EXPECT_EQ(0u, warnings.back().rfind(start, 0)) << warnings.back();
  EXPECT_EQ(warnings.back().size() - end.size(), warnings.back().find(end)) << warnings.back();

  server.engine().TakeConsole();
  server.Command("qrv_vemtark_status");
  const std::string status = server.engine().Console();
  EXPECT_NE(std::string::npos, status.find("frame rate      2 FPS over the last 4 s")) << status;
  EXPECT_NE(std::string::npos,
            status.find("hitches         0 last period, 336 since the map started"))
      << status;
  EXPECT_NE(std::string::npos, status.find("last hitch      2500.0 ms: rest 2500.0 ms")) << status;
  EXPECT_NE(std::string::npos, status.find("map             de_dust2, running 168:00:1")) << status;
  EXPECT_EQ(std::vector<std::string>{}, server.Faults());
}

}  // namespace
