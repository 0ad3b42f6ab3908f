// qrv_vemtark_status through the built binary: the operator's one screen of the server's state,
// line by line, as the console shows it.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/platform.h"
#include "tests/plugin_fixture.h"

namespace {

using Texts = std::vector<std::string>;

constexpr size_t kStatusLines = 14;
enum Line {
  kFrameRate = 1,
  kRule,
  kTicrate,
  kLongest,
  kHitches,
  kStartup,
  kPacing,
  kFrameParts,
  kLastHitch,
  kLoad,
  kServerProcess,
  kPlayers,
  kMap
};

class Status : public ::testing::Test {
 protected:
  void SetUp() override {
    server_.StartServer();
    server_.StartMap("de_dust2");  // game time 1
  }
  void TearDown() override { EXPECT_EQ(Texts{}, server_.Faults()); }

  // The answer's lines; fails the test when it is not one whole status screen.
  Texts Screen(const std::string &line = "qrv_vemtark_status") {
    server_.engine().TakeConsole();
    server_.Command(line);
    Texts lines = qrvtest::Lines(server_.engine().TakeConsole());
    EXPECT_EQ(kStatusLines, lines.size());
    lines.resize(kStatusLines);
    EXPECT_EQ("[QRV Vem-Tark] Status of QRV Vem-Tark 1.60.05A", lines[0]);
    return lines;
  }
  std::string Var(const char *name) { return server_.engine().FindCvar(name)->string; }

  // The test build: frames last exactly what the session says on the fake clock.
  emu::Session server_{qrvtest::TestBuild()};
};

TEST_F(Status, ShowsTheMeasuredFiguresThePlayersAndTheMap) {
  const int alice = server_.ConnectClient("Alice");
  ASSERT_NE(0, server_.ConnectClient("Bob"));
  server_.RunFrames(1, 100.0);  // the map's first frame: its loading
  server_.RunFrames(150, 100.0);
  server_.RunLongFrame(0.5);  // the map's start-up
  server_.RunFrames(150, 100.0);
  server_.RunLongFrame(0.08);
  server_.RunFrames(45, 100.0);  // the period ends, then its figures are published
  Texts lines = Screen("QRV_VEMTARK_STATUS with \"%s%n\" words");
  EXPECT_EQ("frame rate      " + Var("qrv_fps") + " FPS over the last 4 s", lines[kFrameRate]);
  EXPECT_EQ("sys_ticrate     " + Var("sys_ticrate"), lines[kTicrate]);
  EXPECT_EQ("80.0", Var("qrv_frametime_max"));
  EXPECT_EQ("1", Var("qrv_hitches"));
  EXPECT_EQ("longest frame   " + Var("qrv_frametime_max") +
                " ms last period, 80.0 ms since the map started",
            lines[kLongest]);
  EXPECT_EQ("hitches         " + Var("qrv_hitches") +
                " last period, 1 since the map started (threshold 50 ms)",
            lines[kHitches]);
  EXPECT_EQ("map start-up    longest frame 500.0 ms (never a hitch)", lines[kStartup]);
  EXPECT_EQ("pacing          off", lines[kPacing]);
  EXPECT_EQ("players         2 of 32", lines[kPlayers]);
  EXPECT_EQ("map             de_dust2, running 0:00:05", lines[kMap]);

  server_.DisconnectClient(alice);
  server_.engine().SetTime(3723.9);  // whole seconds, rounded down
  lines = Screen();
  EXPECT_EQ("players         1 of 32", lines[kPlayers]);
  EXPECT_EQ("map             de_dust2, running 1:02:03", lines[kMap]);

  // No figure of the last map on the next: its frame rate waits for the new map's first period,
  // although qrv_fps and the join messages keep the last one meanwhile.
  server_.StartMap("%s%n_%d");  // the engine's text, shown as it is and never read as a format
  lines = Screen();
  EXPECT_EQ("frame rate      not measured yet on this map (the first 4 s still run)",
            lines[kFrameRate]);
  EXPECT_EQ("longest frame   0.0 ms last period, 0.0 ms since the map started", lines[kLongest]);
  EXPECT_EQ("map             %s%n_%d, running 0:00:01", lines[kMap]);
}

TEST_F(Status, NamesTheRuleTheTickRateFollows) {
  struct Row {
    const char *sysrate;
    const char *autofps;
    const char *rule;
  };
  const Row rows[] = {
      {"1000", "0", "follows qrv_vemtark_sysrate (pinned at 1000)"},
      {"300", "250", "follows qrv_vemtark_sysrate (pinned at 300)"},  // the fixed rate wins
      {"49.99", "50", "follows qrv_vemtark_autofps (target 50 FPS)"},
      {"0", "49", "follows neither (left as it is)"},
  };
  for (const Row &row : rows) {
    SCOPED_TRACE(std::string(row.sysrate) + " " + row.autofps);
    server_.Command(std::string("qrv_vemtark_sysrate ") + row.sysrate);
    server_.Command(std::string("qrv_vemtark_autofps ") + row.autofps);
    server_.RunFrames(400, 100.0);
    const Texts lines = Screen();
    EXPECT_EQ(std::string("tick rate       ") + row.rule, lines[kRule]);
    EXPECT_EQ("sys_ticrate     " + Var("sys_ticrate"), lines[kTicrate]);
  }
  server_.Command("qrv_vemtark_sysrate 1000");
  server_.RunFrames(400, 100.0);
  EXPECT_EQ("sys_ticrate     1000", Screen()[kTicrate]);
}

// The load is the map's own: none right after a map starts; after periods the figure between the
// last two collections the frame hook made of the map's counter.
TEST_F(Status, ProcessorLoadBelongsToTheRunningMapAndTheHooksSampleIt) {
  if (std::string(platform::kBuildSystemName) != "Linux") {
    GTEST_SKIP() << "the Windows counter is pdh.dll, whose stand-ins the unit tests load";
  }
  // The counter reads this file instead of /proc/stat from the next map on.
  const qrvtest::FakePlatform fake(server_.metamod().library());
  server_.WriteFile("stat", "cpu  100 0 100 700 100 0 0 0 0 0\n");
  fake.SetCounterSource((server_.Root() + "/stat").c_str());
  // The process's own time: what the fake says it has used.
  fake.SetProcessCpu(0);
  server_.StartMap("de_dust2");
  const std::string none = "processor load  n/a";
  EXPECT_EQ(none, Screen()[kLoad]);
  EXPECT_EQ("server process  n/a", Screen()[kServerProcess]);
  struct Period {
    const char *stats;
    const char *shown;
    int64_t processCpu;  // by the period's follow-up
    const char *server;
  };
  // The first follow-up comes 4.01 s after the map's start, the next 4 s after it.
  const Period periods[] = {
      {"cpu  250 0 250 1300 200 0 0 0 0 0\n", "processor load  30.0 % over the last period",
       1000000000, "server process  24.9 % of a core over the last period"},
      {"cpu  250 10 340 1600 200 0 0 0 0 0\n", "processor load  25.0 % over the last period",
       3000000000, "server process  50.0 % of a core over the last period"},
  };
  server_.RunFrames(1, 100.0);
  for (const Period &period : periods) {
    // Collected on the frame after each period's end.
    server_.WriteFile("stat", period.stats);
    fake.SetProcessCpu(period.processCpu);
    server_.RunFrames(400, 100.0);
    EXPECT_EQ(period.shown, Screen()[kLoad]);
    EXPECT_EQ(period.server, Screen()[kServerProcess]);
  }
  server_.StartMap("de_inferno");
  EXPECT_EQ(none, Screen()[kLoad]);
  EXPECT_EQ("server process  n/a", Screen()[kServerProcess]);
  server_.EndMap();
  EXPECT_EQ(none, Screen()[kLoad]);
  fake.SetCounterSource(nullptr);
}

}  // namespace
