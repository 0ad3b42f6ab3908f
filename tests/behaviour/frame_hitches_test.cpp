// Frame hitches through the built binary: the longest frame and the hitches of every period in
// qrv_frametime_max and qrv_hitches, the map's loading frame left out, the warning lines in the
// plug-in's log (at most one a minute, the rest at map end), and the frame-rate figures untouched.
//
// Frames last multiples of 1/128 s, so game time lands exactly on every 4-second period end.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "tests/plugin_fixture.h"

namespace {

using Texts = std::vector<std::string>;

constexpr double kFramesPerSecond = 128.0;

class FrameHitches : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(server_.Attach());
    server_.StartServer();
    // The warning as it reads without the frame's parts (their own tests add them).
    server_.Command("qrv_vemtark_anatomy 0");
    StartMap("de_dust2");
  }
  void TearDown() override { EXPECT_EQ(Texts{}, server_.Faults()); }

  // The map's first period ends 4 seconds after activation, at game time 5.
  void StartMap(const char *name) {
    server_.StartMap(name);
    periodEnd_ = server_.engine().Time() + 4.0;
  }

  std::string Var(const char *name) {
    const cvar_t *variable = server_.engine().FindCvar(name);
    return variable != nullptr ? variable->string : "<missing>";
  }

  // Frames until the running period ends, then the frame after it, which publishes its figures.
  void FinishPeriod() {
    while (server_.engine().Time() < periodEnd_) server_.RunFrames(1, kFramesPerSecond);
    periodEnd_ = server_.engine().Time() + 4.0;
    server_.RunFrames(1, kFramesPerSecond);
  }

  // The map's first frame, whose time since the last one is the map's loading, then the 2 seconds
  // of its start-up, kept apart from the hitches.
  void PassStartup() { server_.RunFrames(1 + 256, kFramesPerSecond); }

  std::string StatusLine(const char *start) {
    server_.engine().TakeConsole();
    server_.Command("qrv_vemtark_status");
    for (const std::string &line : qrvtest::Lines(server_.engine().Console())) {
      if (line.rfind(start, 0) == 0) return line;
    }
    return "<missing>";
  }

  Texts HitchLines() const {
    Texts lines;
    for (const std::string &line : qrvtest::LogMessages(server_)) {
      if (line.find("Frame hitch") != std::string::npos) lines.push_back(line);
    }
    return lines;
  }

  emu::Session server_{qrvtest::TestBuild()};
  double periodEnd_ = 0.0;
};

TEST_F(FrameHitches, EveryPeriodPublishesItsLongestFrameAndItsHitches) {
  server_.RunFrames(1, kFramesPerSecond);  // the map's loading frame
  struct Row {
    std::vector<double> longFrames;
    const char *longest;
    const char *hitches;
  };
  const Row rows[] = {
      {{}, "7.8", "0"},          {{0.3125}, "312.5", "1"}, {{0.0625, 0.125}, "125.0", "2"},
      {{0.046875}, "46.9", "0"},  // under the 50 ms threshold
      {{}, "7.8", "0"},
  };
  for (const Row &row : rows) {
    SCOPED_TRACE(row.longest);
    for (double seconds : row.longFrames) {
      server_.RunFrames(3, kFramesPerSecond);
      server_.RunLongFrame(seconds);
    }
    FinishPeriod();
    EXPECT_EQ(row.longest, Var("qrv_frametime_max"));
    EXPECT_EQ(row.hitches, Var("qrv_hitches"));
  }
}

TEST_F(FrameHitches, TheMapsLoadingAndStartUpAreNoHitchesAndStallsAreNotClamped) {
  for (const char *map : {"de_dust2", "de_inferno"}) {
    SCOPED_TRACE(map);
    if (std::string(map) != "de_dust2") StartMap(map);
    server_.RunLongFrame(0.5);  // the loading
    server_.RunFrames(16, kFramesPerSecond);
    server_.RunLongFrame(0.546875);  // the engine's own start-up frame, as ReHLDS has one
    FinishPeriod();
    EXPECT_EQ("7.8", Var("qrv_frametime_max"));
    EXPECT_EQ("0", Var("qrv_hitches"));
    EXPECT_EQ("map start-up    longest frame 546.9 ms (never a hitch)", StatusLine("map start-up"));
  }
  // Past the start-up a stall counts, at its full length although the engine hands the game a
  // frame time cut to 250 ms.
  server_.RunLongFrame(2.0);
  EXPECT_FLOAT_EQ(0.25f, server_.engine().Globals()->frametime);
  FinishPeriod();
  EXPECT_EQ("2000.0", Var("qrv_frametime_max"));
  EXPECT_EQ("1", Var("qrv_hitches"));
  server_.EndMap();
  EXPECT_EQ(1u, HitchLines().size());
}

TEST_F(FrameHitches, ThresholdZeroCountsNoHitchAndWarnsOfNone) {
  server_.Command("qrv_vemtark_hitch_ms 0");
  FinishPeriod();  // the threshold is read again at every period end
  server_.RunLongFrame(0.3125);
  FinishPeriod();
  EXPECT_EQ("312.5", Var("qrv_frametime_max"));
  EXPECT_EQ("0", Var("qrv_hitches"));
  server_.RunLongFrame(0.5);
  server_.EndMap();
  EXPECT_EQ(Texts{}, HitchLines());

  // A threshold of 250 ms counts a 312.5 ms frame and leaves a 125 ms one alone.
  server_.Command("qrv_vemtark_hitch_ms 250");
  StartMap("de_dust2");
  PassStartup();
  server_.RunLongFrame(0.125);
  server_.RunLongFrame(0.3125);
  FinishPeriod();
  EXPECT_EQ("1", Var("qrv_hitches"));
  EXPECT_EQ((Texts{"[QRV] WARNING: Frame hitch: longest frame 312.5 ms, 1 hitch over 250 ms in the "
                   "last 4 s on de_dust2 with 0 players."}),
            HitchLines());
}

TEST_F(FrameHitches, OneLineAMinuteNamingLongestFrameCountMapAndPlayers) {
  for (const char *name : {"Alice", "Bob", "Carol"}) ASSERT_NE(0, server_.ConnectClient(name));
  PassStartup();
  server_.RunLongFrame(0.3125);
  FinishPeriod();  // period 1: written at once
  EXPECT_EQ((Texts{"[QRV] WARNING: Frame hitch: longest frame 312.5 ms, 1 hitch over 50 ms in the "
                   "last 4 s on de_dust2 with 3 players."}),
            HitchLines());
  // Echoed to the server console as well.
  EXPECT_NE(std::string::npos, server_.engine().Console().find("Frame hitch: longest frame 312.5"));
  for (int period = 2; period <= 15; ++period) {
    if (period == 2) server_.RunLongFrame(0.0625);
    if (period == 5) server_.RunLongFrame(0.125);
    if (period == 5) server_.RunLongFrame(0.0625);
    FinishPeriod();
  }
  EXPECT_EQ(1u, HitchLines().size()) << "fifteen periods after the first line";
  FinishPeriod();  // period 16: a minute after the first line
  const Texts lines = HitchLines();
  ASSERT_EQ(2u, lines.size());
  EXPECT_EQ(
      "[QRV] WARNING: Frame hitch: longest frame 125.0 ms, 3 hitches over 50 ms in the last 60 s "
      "on de_dust2 with 3 players.",
      lines[1]);
  for (int period = 17; period <= 32; ++period) FinishPeriod();
  EXPECT_EQ(2u, HitchLines().size()) << "nothing waits, nothing written";
}

TEST_F(FrameHitches, HitchesStillWaitingAreWrittenAtMapEnd) {
  PassStartup();
  server_.RunLongFrame(0.3125);
  FinishPeriod();
  server_.RunLongFrame(0.125);
  FinishPeriod();
  server_.RunLongFrame(0.0625);  // in the period the map end cuts short
  StartMap("de_inferno");        // ends de_dust2 first
  const Texts lines = HitchLines();
  ASSERT_EQ(2u, lines.size());
  EXPECT_EQ(
      "[QRV] WARNING: Frame hitch: longest frame 125.0 ms, 2 hitches over 50 ms in the last 4 s "
      "on de_dust2 with 0 players.",
      lines[1]);
  server_.RunFrames(1, kFramesPerSecond);
  FinishPeriod();
  server_.EndMap();
  EXPECT_EQ(2u, HitchLines().size());
  EXPECT_EQ("0", Var("qrv_hitches"));
}

TEST_F(FrameHitches, TheFrameAfterAPeriodLeavesTheFrameRateFiguresAlone) {
  server_.Command("qrv_vemtark_autofps 200");
  const char *const expected[][2] = {{"128", "138"}, {"128", "176"}, {"128", "214"}};
  for (const auto &row : expected) {
    FinishPeriod();
    EXPECT_EQ(row[0], Var("qrv_fps"));  // 512 frames, the frame after the previous end among them
    EXPECT_EQ(row[1], Var("sys_ticrate"));
  }
  // A stall longer than a period on the frame right after a period end: that frame follows up
  // the period before and ends its own, in which it is the only frame.
  while (server_.engine().Time() < periodEnd_) server_.RunFrames(1, kFramesPerSecond);
  EXPECT_EQ("128", Var("qrv_fps"));
  EXPECT_EQ("252", Var("sys_ticrate"));
  server_.RunLongFrame(4.5);
  EXPECT_EQ("0", Var("qrv_fps"));
  EXPECT_EQ("327", Var("sys_ticrate"));  // measured 0 against 200: the biggest step
  server_.RunFrames(1, kFramesPerSecond);
  EXPECT_EQ("4500.0", Var("qrv_frametime_max"));
  EXPECT_EQ("1", Var("qrv_hitches"));
}

}  // namespace
