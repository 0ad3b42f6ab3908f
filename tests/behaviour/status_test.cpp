// qrv_vemtark_status through the built binary: the operator's one screen of the server's state,
// line by line, as the console shows it.
#include <gtest/gtest.h>

#include <cstdlib>
#include <regex>
#include <string>
#include <vector>

#include "tests/plugin_fixture.h"

namespace {

using Texts = std::vector<std::string>;

constexpr size_t kStatusLines = 9;

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

  emu::Session server_;
};

TEST_F(Status, ShowsTheMeasuredFiguresThePlayersAndTheMap) {
  const int alice = server_.ConnectClient("Alice");
  ASSERT_NE(0, server_.ConnectClient("Bob"));
  server_.RunFrames(401, 100.0);  // one period of 400 frames and the first frame of the next
  Texts lines = Screen("QRV_VEMTARK_STATUS with \"%s%n\" words");
  EXPECT_EQ("frame rate      100 FPS over the last 4 s", lines[1]);
  EXPECT_EQ("100", Var("qrv_fps"));
  EXPECT_EQ("sys_ticrate     " + Var("sys_ticrate"), lines[3]);
  EXPECT_TRUE(std::regex_match(lines[4], std::regex("longest frame   \\d+\\.\\d ms last period, "
                                                    "\\d+\\.\\d ms since the map started")))
      << lines[4];
  EXPECT_TRUE(std::regex_match(lines[5], std::regex("hitches         \\d+ last period, \\d+ since "
                                                    "the map started \\((warnings off|threshold "
                                                    "\\d+(\\.\\d+)? ms)\\)")))
      << lines[5];
  EXPECT_EQ("players         2 of 32", lines[7]);
  EXPECT_EQ("map             de_dust2, running 0:00:05", lines[8]);

  server_.DisconnectClient(alice);
  server_.engine().SetTime(3723.9);  // whole seconds, rounded down
  lines = Screen();
  EXPECT_EQ("players         1 of 32", lines[7]);
  EXPECT_EQ("map             de_dust2, running 1:02:03", lines[8]);

  // The map name is the engine's text, shown as it is and never read as a format.
  server_.StartMap("%s%n_%d");
  EXPECT_EQ("map             %s%n_%d, running 0:00:01", Screen()[8]);
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
    EXPECT_EQ(std::string("tick rate       ") + row.rule, lines[2]);
    EXPECT_EQ("sys_ticrate     " + Var("sys_ticrate"), lines[3]);
  }
  server_.Command("qrv_vemtark_sysrate 1000");
  server_.RunFrames(400, 100.0);
  EXPECT_EQ("sys_ticrate     1000", Screen()[3]);
}

// The load is the map's own: none right after a map starts; after periods a percentage where the
// counter has answered (the machine's real load, so only its form and range are known).
TEST_F(Status, ProcessorLoadBelongsToTheRunningMap) {
  const std::string none = "processor load  n/a";
  EXPECT_EQ(none, Screen()[6]);
  for (int period = 0; period < 3; ++period) server_.RunFrames(400, 100.0);
  const std::string load = Screen()[6];
  std::smatch figure;
  if (load != none) {
    ASSERT_TRUE(std::regex_match(load, figure,
                                 std::regex("processor load  (\\d+\\.\\d) % over the last period")))
        << load;
    const double percent = std::atof(figure[1].str().c_str());
    EXPECT_GE(percent, 0.0);
    EXPECT_LE(percent, 100.0);
  }
  server_.StartMap("de_inferno");
  EXPECT_EQ(none, Screen()[6]);
  server_.EndMap();
  EXPECT_EQ(none, Screen()[6]);
}

}  // namespace
