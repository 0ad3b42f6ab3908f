// qrv_vemtark_stats through the built binary: the engine's `stats` manner of two lines, column
// names over numbers, as scripts read them over rcon, splitting on blanks; the values follow the
// session from the map's start through periods, rules, pacing and the map's clock, and stay apart
// and under their names whatever they are.
//
// The test build on the stand-in ReHLDS engine, so that frames can be paced; frames last multiples
// of 1/256 s, so game time lands exactly on every 4-second period end.
#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <string>
#include <vector>

#include "platform/platform.h"
#include "tests/plugin_fixture.h"

namespace {

using Texts = std::vector<std::string>;

const bool kOnLinux = std::string(platform::kBuildSystemName) == "Linux";
const char kHeader[] =
    "        FPS     Target    Ticrate    Longest    Hitches        CPU    Players     Uptime"
    "       Late  ServerCPU       Idle";
constexpr size_t kColumnWidth = 10;

struct Word {
  std::string text;
  size_t end;  // one past its last character
};

std::vector<Word> Words(const std::string &line) {
  std::vector<Word> words;
  for (size_t start = line.find_first_not_of(' '); start != std::string::npos;) {
    const size_t end = std::min(line.find(' ', start), line.size());
    words.push_back({line.substr(start, end - start), end});
    start = line.find_first_not_of(' ', end);
  }
  return words;
}

// The header, then the values as the words of the second line, each ending where its column's
// name ends: a value longer than its column pushes itself and the rest of the line right by what
// it has too many, and nothing else moves a value.
void ExpectColumns(const Texts &values, const Texts &answer) {
  ASSERT_EQ(2u, answer.size());
  EXPECT_EQ(kHeader, answer[0]);
  const std::vector<Word> names = Words(kHeader);
  const std::vector<Word> figures = Words(answer[1]);
  ASSERT_EQ(values.size(), names.size());
  ASSERT_EQ(values.size(), figures.size()) << answer[1];
  size_t pushed = 0;
  for (size_t column = 0; column < values.size(); ++column) {
    SCOPED_TRACE(names[column].text + " in \"" + answer[1] + "\"");
    EXPECT_EQ(values[column], figures[column].text);
    if (values[column].size() > kColumnWidth) pushed += values[column].size() - kColumnWidth;
    EXPECT_EQ(names[column].end + pushed, figures[column].end);
  }
}

class Stats : public ::testing::Test {
 protected:
  static emu::SessionOptions OnReHLDS() {
    emu::SessionOptions options = qrvtest::TestBuild();
    options.rehldsEngine = true;
    return options;
  }
  void SetUp() override {
    ASSERT_TRUE(server_.Attach());
    const qrvtest::FakePlatform fake(server_.metamod().library());
    if (kOnLinux) {
      Statistics("cpu  100 0 100 700 100 0 0 0 0 0\n");
      fake.SetCounterSource((server_.Root() + "/stat").c_str());
    } else {
      fake.SetCounterSource("qrv_no_such_pdh.dll");
    }
    server_.StartServer();
    // The process's own time is the fake's: none until the map starts, then a quarter of every
    // period's time (see FinishPeriod).
    fake.SetProcessCpu(0);
    server_.StartMap("de_dust2");
    lastCpuRead_ = fake.ClockNanoseconds();
  }
  void TearDown() override {
    qrvtest::FakePlatform(server_.metamod().library()).SetCounterSource(nullptr);
    EXPECT_EQ(Texts{}, server_.Faults());
  }

  void Statistics(const char *line) { server_.WriteFile("stat", line); }
  // Frames until the running period ends, then the frame after it, which publishes its figures.
  void FinishPeriod(const char *statistics) {
    while (server_.engine().Time() < periodEnd_) server_.RunFrames(1, 128.0);
    periodEnd_ += 4.0;
    Statistics(statistics);
    // The process spent a quarter of a core from the last reading to the next frame's, which
    // starts 1/128 s on.
    const qrvtest::FakePlatform fake(server_.metamod().library());
    const int64_t readAt = fake.ClockNanoseconds() + 7812500;
    processCpu_ += (readAt - lastCpuRead_) / 4;
    lastCpuRead_ = readAt;
    fake.SetProcessCpu(processCpu_);
    server_.RunFrames(1, 128.0);
  }
  Texts Answer() {
    server_.engine().TakeConsole();
    server_.Command("qrv_vemtark_stats");
    return qrvtest::Lines(server_.engine().TakeConsole());
  }

  // Steps of the session, each followed by the figures the stats line must show.
  struct Step {
    const char *name;
    std::function<void()> step;
    Texts values;
  };
  void Follow(const std::vector<Step> &steps) {
    for (const Step &step : steps) {
      SCOPED_TRACE(step.name);
      step.step();
      ExpectColumns(step.values, Answer());
    }
  }

  emu::Session server_{OnReHLDS()};
  double periodEnd_ = 5.0;  // maps start at game time 1
  int64_t processCpu_ = 0;
  int64_t lastCpuRead_ = 0;
};

TEST_F(Stats, TwoLinesOfColumnsThatFollowTheServer) {
  const char *const none = "-1";
  Follow({
      {"right after the map started",
       [] {},
       {none, "100", "100.0", "0.0", "0", none, "0", "0", "0", none, "0"}},
      // 473 frames: 40 frames' time went into the stall.
      {"a period with a stall, two players, the tick rate pinned",
       [this] {
         server_.ConnectClient("Alice");
         server_.ConnectClient("Bob");
         server_.Command("qrv_vemtark_sysrate 1000");
         server_.RunFrames(1 + 256, 128.0);  // the map's loading and start-up
         server_.RunLongFrame(0.3125);
         FinishPeriod("cpu  250 0 250 1300 200 0 0 0 0 0\n");
       },
       {"118", "1000", "1000.0", "312.5", "1", kOnLinux ? "30.0" : none, "2", "0", "0", "25.0",
        "0"}},
      {"neither rule: no target, the tick rate left as it is",
       [this] {
         server_.Command("qrv_vemtark_sysrate 0");
         server_.Command("qrv_vemtark_autofps 0");
         FinishPeriod("cpu  250 10 340 1600 200 0 0 0 0 0\n");
       },
       {"128", "0", "1000.0", "7.8", "0", kOnLinux ? "25.0" : none, "2", "0", "0", "25.0", "0"}},
      // Paced at 128 FPS, frames that arrive early wait for their deadline 1/128 s apart; three
      // come 1/256 s after it.
      {"paced, three frames late",
       [this] {
         server_.Command("qrv_vemtark_pace 1");
         server_.Command("qrv_vemtark_sysrate 128");
         FinishPeriod("cpu  250 10 340 1600 200 0 0 0 0 0\n");  // no change: no figure
         server_.RunFrames(100, 256.0);
         for (int late = 0; late < 3; ++late) {
           server_.RunLongFrame(3.0 / 256.0);
           server_.RunFrames(1, 256.0);
         }
         FinishPeriod("cpu  270 10 340 1680 200 0 0 0 0 0\n");
       },
       {"128", "128", "256.0", "11.7", "0", kOnLinux ? "20.0" : none, "2", "0", "3", "25.0", "0"}},
      {"an hour on the map, one player left",
       [this] {
         server_.DisconnectClient(server_.ClientsInGame().front());
         server_.engine().SetTime(3723.9);
       },
       {"128", "128", "256.0", "11.7", "0", kOnLinux ? "20.0" : none, "1", "62", "3", "25.0", "0"}},
  });
}

// Figures that fill or outgrow the old 8 characters: a 100 s stall, a tick rate near a million,
// negative targets down to the most negative the rule reads; one beyond any engine has no figure.
TEST_F(Stats, ColumnsStayApartAndUnderTheirNamesWhateverTheValues) {
  const char *const none = "-1";
  Follow({
      // 259 frames: the start-up's 257, the stall and the frame that ends the period.
      {"a 100 s stall, neither rule",
       [this] {
         server_.Command("qrv_vemtark_autofps 0");
         server_.RunFrames(1 + 256, 128.0);
         server_.RunLongFrame(100.0);
         Statistics("cpu  350 0 350 1100 200 0 0 0 0 0\n");
         server_.RunFrames(2, 128.0);
       },
       {"64", "0", "100.0", "100000.0", "1", kOnLinux ? "50.0" : none, "0", "1", "0", "0.0", "0"}},
      {"a tick rate of nearly a million",
       [this] { server_.Command("sys_ticrate 999999.9"); },
       {"64", "0", "999999.9", "100000.0", "1", kOnLinux ? "50.0" : none, "0", "1", "0", "0.0",
        "0"}},
      {"a negative target, read as a huge one",
       [this] { server_.Command("qrv_vemtark_autofps -5"); },
       {"64", "-5", "999999.9", "100000.0", "1", kOnLinux ? "50.0" : none, "0", "1", "0", "0.0",
        "0"}},
      {"the most negative target, longer than its column",
       [this] { server_.Command("qrv_vemtark_autofps -3000000000"); },
       {"64", "-2147483648", "999999.9", "100000.0", "1", kOnLinux ? "50.0" : none, "0", "1", "0",
        "0.0", "0"}},
      {"a tick rate beyond any engine",
       [this] { server_.Command("sys_ticrate 1e9"); },
       {"64", "-2147483648", none, "100000.0", "1", kOnLinux ? "50.0" : none, "0", "1", "0", "0.0",
        "0"}},
  });
}

}  // namespace
