// Where a frame's time went, through the built binary on the emulator's stand-in ReHLDS engine,
// whose frames run in the real engine's order (console buffer, then inside the server frame the
// packets and commands, StartFrame and physics, the clients' updates) over the fake clock: a
// stall placed in each part lands in that part, the slowest command is named, the parts add up
// to the frame, and the switch, the Windows rule and the unload leave nothing behind.
#include <gtest/gtest.h>

#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include "platform/platform.h"
#include "tests/plugin_fixture.h"

namespace {

using Texts = std::vector<std::string>;
using emu::FramePart;
using emu::RehldsChain;

// On Windows the engine's chains serve the anatomy only while frames are paced.
const bool kChainsWithoutPacing = !platform::kEngineChainsOnlyWhilePacing;

class Anatomy : public ::testing::Test {
 protected:
  void Start(const Texts &settings, bool rehlds = true) {
    server_.reset();
    emu::SessionOptions options = qrvtest::TestBuild();
    options.rehldsEngine = rehlds;
    server_ = std::make_unique<emu::Session>(options);
    server_->StartServer();
    for (const std::string &setting : settings) server_->Command(setting);
    server_->StartMap("de_dust2");
    periodEnd_ = 5.0;
  }
  void TearDown() override {
    if (server_) {
      EXPECT_EQ(Texts{}, server_->Faults());
    }
  }
  emu::Session &server() { return *server_; }
  // The map's first frame and its 2 s of start-up, whose frames are never hitches.
  void PassStartup() { server_->RunFrames(1 + 210, 100.0); }
  void FinishPeriod(double framesPerSecond = 100.0) {
    while (server_->engine().Time() < periodEnd_) server_->RunFrames(1, framesPerSecond);
    periodEnd_ += 4.0;
    server_->RunFrames(1, framesPerSecond);
  }
  Texts LogLines(const char *word) const {
    Texts lines;
    for (const std::string &line : qrvtest::LogMessages(*server_)) {
      if (line.find(word) != std::string::npos) lines.push_back(line);
    }
    return lines;
  }
  std::string StatusLine(const char *start) {
    server_->engine().TakeConsole();
    server_->Command("qrv_vemtark_status");
    for (const std::string &line : qrvtest::Lines(server_->engine().TakeConsole())) {
      if (line.rfind(start, 0) == 0) return line;
    }
    return "<missing>";
  }
  // The hitch warning's addition after "Longest: ", without its final full stop.
  static std::string PartsOf(const std::string &warning) {
    const size_t at = warning.find(" Longest: ");
    if (at == std::string::npos) return "<none>";
    return warning.substr(at + 10, warning.size() - at - 11);
  }

  // "input 300.0 ms (command ...: 299.8 ms), between 10.0 ms": 310.0, commands left out.
  static double SumOfParts(const std::string &parts) {
    double sum = 0.0;
    size_t at = 0;
    while (at < parts.size()) {
      const size_t blank = parts.find(' ', at);
      if (blank == std::string::npos) break;
      sum += std::stod(parts.substr(blank + 1));
      const size_t next = parts.find("), ", blank) != std::string::npos &&
                                  parts.find('(', blank) < parts.find(", ", blank)
                              ? parts.find("), ", blank) + 1
                              : parts.find(", ", blank);
      if (next == std::string::npos) break;
      at = next + 2;
    }
    return sum;
  }

  std::unique_ptr<emu::Session> server_;
  double periodEnd_ = 5.0;
};

// A stall in each part of one frame is that part's, whether a client is updated, only bots play
// or frames are paced; the parts, largest first, add up to the longest frame, and the status
// shows the same for the last hitch.
TEST_F(Anatomy, AStallLandsInThePartItHappenedIn) {
  struct Row {
    const char *name;
    Texts settings;
    bool bot;
    FramePart part;
    const char *parts;  // what the warning adds
  };
  const Row rows[] = {
      {"between", {}, false, FramePart::kBetween, "between 310.0 ms"},
      {"input", {}, false, FramePart::kInput, "input 300.0 ms, between 10.0 ms"},
      {"game", {}, false, FramePart::kGame, "game 300.0 ms, between 10.0 ms"},
      {"output", {}, false, FramePart::kOutput, "output 300.0 ms, between 10.0 ms"},
      {"game, bots only", {}, true, FramePart::kGame, "game 300.0 ms, between 10.0 ms"},
      // Paced at 100 on a loop that comes back after 1 ms: the rest of the interval is the wait.
      {"paced input",
       {"qrv_vemtark_pace 1", "qrv_vemtark_sysrate 100"},
       false,
       FramePart::kInput,
       "input 300.0 ms, wait 9.0 ms, between 1.0 ms"},
  };
  for (const Row &row : rows) {
    SCOPED_TRACE(row.name);
    const bool paced = row.settings.size() == 2;
    if (!paced && !kChainsWithoutPacing) continue;  // the Metamod parts are tested below
    Start(row.settings);
    if (row.bot) {
      server().ConnectBot("Bot");
    } else {
      server().ConnectClient("Alice");
    }
    const double fps = paced ? 1000.0 : 100.0;
    // Paced at 100, each of these frames still takes 10 ms.
    server().RunFrames(1 + 210, fps);
    server().StallNextFrame(row.part, 0.3);
    server().RunFrames(2, fps);
    FinishPeriod(fps);
    const Texts warnings = LogLines("Frame hitch");
    ASSERT_EQ(1u, warnings.size());
    EXPECT_EQ(row.parts, PartsOf(warnings[0])) << warnings[0];
    // The parts add up to the longest frame the same sentence names.
    float longest = 0.0f;
    ASSERT_EQ(1, std::sscanf(warnings[0].c_str(), "[QRV] WARNING: Frame hitch: longest frame %f",
                             &longest));
    EXPECT_NEAR(longest, SumOfParts(row.parts), 0.15);
    char length[32];
    std::snprintf(length, sizeof(length), "%.1f", static_cast<double>(longest));
    EXPECT_EQ(std::string("last hitch      ") + length + " ms: " + row.parts,
              StatusLine("last hitch"));
  }
}

// The slowest command of the frame is named beside its part, with where it came from: the
// console's buffer or rcon, or a player by entity index and name; commands under 1 ms are not.
TEST_F(Anatomy, NamesTheSlowestCommandAndWhereItCameFrom) {
  if (!kChainsWithoutPacing) GTEST_SKIP() << "the engine's chains serve the anatomy only paced";
  struct Row {
    const char *how;
    double cost;
    const char *parts;
  };
  const Row rows[] = {
      {"console", 0.3, "between 310.0 ms (command \"qrv_slow\" from the server console: 300.0 ms)"},
      {"rcon", 0.3,
       "input 300.0 ms (command \"qrv_slow\" from the server console: 300.0 ms), "
       "between 10.0 ms"},
      {"player", 0.3,
       "input 300.0 ms (command \"qrv_slow\" from player 1 \"Alice\": 300.0 ms), between 10.0 ms"},
      // Under a millisecond a command names no cause, however long the frame.
      {"player", 0.0009, "<none>"},
  };
  for (const Row &row : rows) {
    SCOPED_TRACE(row.how);
    Start({"qrv_vemtark_hitch_ms 0.5"});
    const int alice = server().ConnectClient("Alice");
    PassStartup();
    server().SetCommandCost("qrv_slow", row.cost);
    const std::string how = row.how;
    if (how == "console") server().QueueConsoleCommand("qrv_slow now");
    if (how == "rcon") server().QueueRconCommand("qrv_slow now");
    if (how == "player") server().QueueClientCommand(alice, "qrv_slow \"now, really\"");
    server().RunFrames(2, 100.0);
    FinishPeriod();
    const Texts warnings = LogLines("Frame hitch");
    ASSERT_EQ(1u, warnings.size());
    if (row.cost < 0.001) {
      EXPECT_EQ(std::string::npos, warnings[0].find("command")) << warnings[0];
      continue;
    }
    EXPECT_EQ(row.parts, PartsOf(warnings[0])) << warnings[0];
  }
}

// Where the average frame of the last period went: every part with its share; paced, the wait
// is the headroom. The map's summary names the part that held most of the map's hitch time.
TEST_F(Anatomy, ShowsTheAverageFrameAndTheMapsHitchTime) {
  Start({"qrv_vemtark_pace 1", "qrv_vemtark_sysrate 100"});
  server().ConnectClient("Alice");
  FinishPeriod(1000.0);
  EXPECT_EQ(
      "frame parts     wait 9.000 ms (90 %), between 1.000 ms (10 %), input 0.000 ms (0 %), game "
      "0.000 ms (0 %), output 0.000 ms (0 %) in the average frame of the last period",
      StatusLine("frame parts"));
  server().StallNextFrame(FramePart::kOutput, 0.2);
  server().RunFrames(2, 1000.0);
  server().StallNextFrame(FramePart::kInput, 0.1);
  server().RunFrames(2, 1000.0);
  server().EndMap();
  const Texts summary = LogLines("LOG: Map de_dust2");
  ASSERT_EQ(1u, summary.size());
  EXPECT_NE(std::string::npos, summary[0].find(", 2 hitches (most of their time in output), "))
      << summary[0];
}

// Without the engine's hooks the parts are what our own hooks bracket: the game's StartFrame
// (every plug-in's and the game's after ours) and the rest; the status says so.
TEST_F(Anatomy, WithoutTheEnginesHooksSplitsAtTheGamesStartFrame) {
  struct Row {
    bool rehlds;
    FramePart part;
    const char *parts;
  };
  std::vector<Row> rows = {{false, FramePart::kGame, "startframe 300.0 ms, rest 10.0 ms"},
                           {false, FramePart::kInput, "rest 310.0 ms"}};
  // Windows' ReHLDS without pacing: the same two parts.
  if (!kChainsWithoutPacing)
    rows.push_back({true, FramePart::kGame, "startframe 300.0 ms, rest 10.0 ms"});
  for (const Row &row : rows) {
    SCOPED_TRACE(row.parts);
    Start({}, row.rehlds);
    PassStartup();
    server().StallNextFrame(row.part, 0.3);
    server().RunFrames(2, 100.0);
    FinishPeriod();
    const Texts warnings = LogLines("Frame hitch");
    ASSERT_EQ(1u, warnings.size());
    EXPECT_EQ(row.parts, PartsOf(warnings[0])) << warnings[0];
    const std::string parts = StatusLine("frame parts");
    EXPECT_NE(std::string::npos,
              parts.find("(this engine gives only the game's StartFrame and the rest)"))
        << parts;
    EXPECT_EQ(0, server().RehldsEngine().HookCount(RehldsChain::kExecuteServerStringCmd));
  }
}

// qrv_vemtark_anatomy 0 leaves every text as without it and takes its hooks out of the engine's
// chains; on again, they come back. Detach and unload leave nothing registered, and an unload
// typed over rcon inside a paced frame lets the server go on.
TEST_F(Anatomy, TheSwitchAndTheUnloadLeaveNothingBehind) {
  Start({"qrv_vemtark_anatomy 0"});
  server().ConnectClient("Alice");
  PassStartup();
  server().StallNextFrame(FramePart::kInput, 0.3);
  server().RunFrames(2, 100.0);
  FinishPeriod();
  EXPECT_EQ(Texts{"[QRV] WARNING: Frame hitch: longest frame 310.0 ms, 1 hitch over 50 ms in the "
                  "last 4 s on de_dust2 with 1 player."},
            LogLines("Frame hitch"));
  EXPECT_EQ("<missing>", StatusLine("frame parts"));
  EXPECT_EQ("<missing>", StatusLine("last hitch"));
  for (const RehldsChain chain : {RehldsChain::kServerFrame, RehldsChain::kExecuteServerStringCmd,
                                  RehldsChain::kCreatePacketEntities}) {
    EXPECT_EQ(0, server().RehldsEngine().HookCount(chain));
  }
  server().Command("qrv_vemtark_anatomy 1");
  FinishPeriod();
  const int registered = kChainsWithoutPacing ? 1 : 0;
  for (const RehldsChain chain : {RehldsChain::kServerFrame, RehldsChain::kExecuteServerStringCmd,
                                  RehldsChain::kCreatePacketEntities}) {
    EXPECT_EQ(registered, server().RehldsEngine().HookCount(chain));
  }
  EXPECT_EQ(std::vector<int>(registered, 255),
            server().RehldsEngine().Priorities(RehldsChain::kExecuteServerStringCmd));
  ASSERT_EQ(1, server().metamod().CallMetaDetach(PT_ANYTIME, PNL_CMD_FORCED));
  for (const RehldsChain chain : {RehldsChain::kServerFrame, RehldsChain::kExecuteServerStringCmd,
                                  RehldsChain::kCreatePacketEntities}) {
    EXPECT_EQ(0, server().RehldsEngine().HookCount(chain));
  }

  // Paced, the anatomy's chains in place, and unloaded by a command that runs inside the frame:
  // the frame hook returns into code that is still there, and the engine runs on.
  Start({"qrv_vemtark_pace 1", "qrv_vemtark_sysrate 500", "sys_ticrate 333"});
  server().ConnectClient("Alice");
  server().RunFrames(10, 1000.0);
  ASSERT_EQ(1, server().RehldsEngine().HookCount(RehldsChain::kServerFrame));
  server().QueueRconCommand("meta force_unload qrv");
  server().RunFrames(3, 1000.0);
  EXPECT_FALSE(server().metamod().IsAttached());
  for (const RehldsChain chain : {RehldsChain::kServerFrame, RehldsChain::kExecuteServerStringCmd,
                                  RehldsChain::kCreatePacketEntities}) {
    EXPECT_EQ(0, server().RehldsEngine().HookCount(chain));
  }
  // What the pinned rule gives, no longer the paced 1000.
  EXPECT_EQ("500", std::string(server().engine().FindCvar("sys_ticrate")->string));
  server().RunFrames(100, 1000.0);
  // The same typed at the console, inside the anatomy's command hook.
  Start({});
  server().RunFrames(10, 100.0);
  server().QueueConsoleCommand("meta force_unload qrv");
  server().RunFrames(3, 100.0);
  EXPECT_FALSE(server().metamod().IsAttached());
  EXPECT_EQ(0, server().RehldsEngine().HookCount(RehldsChain::kExecuteServerStringCmd));
}

}  // namespace
