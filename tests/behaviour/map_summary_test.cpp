// The map's summary through the built binary: one LOG line at every map end (deactivation, or an
// activation that none preceded) with how long the map ran, its frame rate, longest frame,
// hitches, processor load and most players; and the copies of the summary and the hitch warnings
// in the engine's own log, which qrv_vemtark_serverlog 0 turns off.
//
// The test build's clock moves by exactly each frame's length; frames last multiples of 1/128 s,
// so game time lands exactly on every 4-second period end.
#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "platform/platform.h"
#include "tests/plugin_fixture.h"

namespace {

using Texts = std::vector<std::string>;

constexpr double kFramesPerSecond = 128.0;
const bool kOnLinux = std::string(platform::kBuildSystemName) == "Linux";

// The processor counter's statistics before each period's follow-up collects them: 30 %, 25 %
// and 20 % busy after the collection of the map start (Linux; Windows runs without a counter).
const char *const kStatistics[] = {
    "cpu  100 0 100 700 100 0 0 0 0 0\n",
    "cpu  250 0 250 1300 200 0 0 0 0 0\n",
    "cpu  250 10 340 1600 200 0 0 0 0 0\n",
    "cpu  270 10 340 1680 200 0 0 0 0 0\n",
};

class MapSummary : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(server_.Attach());
    const qrvtest::FakePlatform fake(server_.metamod().library());
    ASSERT_TRUE(fake.Resolved());
    if (kOnLinux) {
      server_.WriteFile("stat", kStatistics[0]);
      fake.SetCounterSource((server_.Root() + "/stat").c_str());
    } else {
      fake.SetCounterSource("qrv_no_such_pdh.dll");
    }
    server_.StartServer();
    // The lines as they read without the frame's parts (their own tests add them).
    server_.Command("qrv_vemtark_anatomy 0");
  }
  void TearDown() override {
    qrvtest::FakePlatform(server_.metamod().library()).SetCounterSource(nullptr);
    EXPECT_EQ(Texts{}, server_.Faults());
  }

  // The map's counter starts from the first statistics.
  void StartMap(const char *name) {
    server_.WriteFile("stat", kStatistics[0]);
    statistics_ = 0;
    server_.StartMap(name);
    periodEnd_ = server_.engine().Time() + 4.0;
  }
  // An activation that no deactivation preceded; game time goes on.
  void ActivateWithoutEnd(const char *name) {
    emu::Engine &engine = server_.engine();
    engine.SetMapName(name);
    server_.Call<&DLL_FUNCTIONS::pfnServerActivate>(engine.EdictList(), engine.EdictCount(),
                                                    engine.MaxClients());
    periodEnd_ = engine.Time() + 4.0;
  }
  // The map's first frame (its loading) and the 2 seconds of its start-up.
  void PassStartup() { server_.RunFrames(1 + 256, kFramesPerSecond); }
  // Frames until the running period ends, then the frame after it, which collects the counter's
  // next statistics.
  void FinishPeriod() {
    while (server_.engine().Time() < periodEnd_) server_.RunFrames(1, kFramesPerSecond);
    periodEnd_ += 4.0;
    if (statistics_ + 1 < sizeof(kStatistics) / sizeof(kStatistics[0])) {
      server_.WriteFile("stat", kStatistics[++statistics_]);
    }
    server_.RunFrames(1, kFramesPerSecond);
  }

  // The plug-in log's lines that contain any of the words, in order.
  Texts Logged(const Texts &words) const {
    Texts lines;
    for (const std::string &line : qrvtest::LogMessages(server_)) {
      for (const std::string &word : words) {
        if (line.find(word) == std::string::npos) continue;
        lines.push_back(line);
        break;
      }
    }
    return lines;
  }
  // Plug-in log lines as the engine's log receives their copies.
  static Texts AsServerLog(const Texts &logged) {
    Texts copies;
    for (const std::string &line : logged) {
      copies.push_back("[QRV] " + line.substr(line.find(": ") + 2) + "\n");
    }
    return copies;
  }
  // What reached the engine's alert since the first `from`, the level written in when not logged.
  Texts ServerLog(size_t from = 0) const {
    Texts texts;
    const std::vector<emu::AlertRecord> &alerts = server_.engine().Alerts();
    for (size_t index = from; index < alerts.size(); ++index) {
      const emu::AlertRecord &alert = alerts[index];
      texts.push_back(alert.level == at_logged
                          ? alert.text
                          : "level " + std::to_string(alert.level) + ": " + alert.text);
    }
    return texts;
  }

  emu::Session server_{qrvtest::TestBuild()};
  double periodEnd_ = 0.0;
  size_t statistics_ = 0;
};

std::string Processor(const char *percent) {
  return kOnLinux ? std::string("processor ") + percent + " % on average" : "processor n/a";
}

TEST_F(MapSummary, EveryMapEndWritesOneLineOfTheMapsFigures) {
  struct Row {
    const char *name;
    std::function<void()> play;
    std::string summary;
  };
  const Row rows[] = {
      // Periods of 354 frames (88 FPS: loading and start-up are slow but no hitches), 473 (118:
      // a stall of 40 frames' time) and 512 (128); the processor's three figures all read, the
      // last one at map end.
      {"three periods",
       [this] {
         for (const char *name : {"Alice", "Bob", "Carol"}) server_.ConnectClient(name);
         server_.RunLongFrame(0.75);  // the loading
         server_.RunLongFrame(0.5);   // the start-up
         FinishPeriod();
         server_.DisconnectClient(server_.ClientsInGame().front());
         server_.RunLongFrame(0.3125);
         FinishPeriod();
         FinishPeriod();
         server_.EndMap();
       },
       "[QRV] LOG: Map de_dust2 ran 0:12: 111.6 FPS on average (lowest 4 s: 88.5), longest frame "
       "312.5 ms, 1 hitch, " +
           Processor("25.0") + ", up to 3 players."},
      {"shorter than one period",
       [this] {
         server_.RunFrames(511, kFramesPerSecond);
         server_.EndMap();
       },
       "[QRV] LOG: Map de_dust2 ran 0:03, shorter than one 4 s period: no figures."},
      // The period the map end cuts short counts for the longest frame and the hitches only.
      {"a period cut short",
       [this] {
         server_.ConnectClient("Alice");
         FinishPeriod();
         server_.RunLongFrame(0.0625);
         server_.RunLongFrame(2.0);
         server_.EndMap();
       },
       "[QRV] LOG: Map de_dust2 ran 0:06: 128.0 FPS on average (lowest 4 s: 128.0), longest frame "
       "2000.0 ms, 2 hitches, " +
           Processor("30.0") + ", up to 1 player."},
  };
  for (const Row &row : rows) {
    SCOPED_TRACE(row.name);
    StartMap("de_dust2");
    server_.WriteFile(qrvtest::LogPath(), "");
    row.play();
    EXPECT_EQ(Texts{row.summary}, Logged({"LOG: Map "}));
    server_.EndMap();
    for (int index : server_.ClientsInGame()) server_.DisconnectClient(index);
  }
}

// At map end the hitches that wait come first, then the summary, then the counter's own warnings;
// at an activation without deactivation the old map's lines come before the new map's.
TEST_F(MapSummary, FollowsTheWaitingHitchesAndPrecedesTheNextMap) {
  const Texts words = {"Frame hitch", "LOG: Map ", "reads configs", "Monitor"};
  StartMap("de_dust2");
  PassStartup();
  server_.RunLongFrame(0.3125);
  FinishPeriod();  // its warning written at once
  server_.RunLongFrame(0.125);
  FinishPeriod();  // its warning waits for a minute or the map's end
  server_.WriteFile(qrvtest::LogPath(), "");
  ActivateWithoutEnd("de_inferno");
  Texts expected = {
      "[QRV] WARNING: Frame hitch: longest frame 125.0 ms, 1 hitch over 50 ms in the last 4 s on "
      "de_dust2 with 0 players.",
      "[QRV] LOG: Map de_dust2 ran 0:08: 121.3 FPS on average (lowest 4 s: 118.3), longest frame "
      "312.5 ms, 2 hitches, " +
          Processor("27.5") + ", up to 0 players.",
      "[QRV] LOG: Server reads configs files..."};
  if (!kOnLinux) expected.push_back("[QRV] WARNING: Win Monitor problem (ID:1)");
  EXPECT_EQ(expected, Logged(words));

  FinishPeriod();
  server_.WriteFile(qrvtest::LogPath(), "");
  server_.EndMap();
  expected = {
      "[QRV] LOG: Map de_inferno ran 0:04: 128.0 FPS on average (lowest 4 s: 128.0), "
      "longest frame 7.8 ms, 0 hitches, " +
      Processor("20.0") + ", up to 0 players."};
  if (!kOnLinux) expected.push_back("[QRV] WARNING: Win Monitor problem (ID:2)");
  EXPECT_EQ(expected, Logged(words));
}

// The hitch warnings and the summaries reach the engine's log too, at its logged level and in the
// plug-in log's order; nothing else of the plug-in's does, and 0 turns the copies off.
TEST_F(MapSummary, TheEnginesLogGetsTheHitchWarningsAndTheSummaries) {
  for (const char *setting : {"1", "0"}) {
    SCOPED_TRACE(setting);
    const bool on = setting[0] == '1';
    server_.Command(std::string("qrv_vemtark_serverlog ") + setting);
    server_.WriteFile(qrvtest::LogPath(), "");
    const size_t before = server_.engine().Alerts().size();
    StartMap("de_dust2");
    PassStartup();
    server_.RunLongFrame(0.3125);
    FinishPeriod();
    server_.RunLongFrame(0.125);
    server_.EndMap();
    const Texts lines = Logged({"Frame hitch", "LOG: Map "});
    // Off, the second map's two hitches wait for its end and go into one line.
    ASSERT_EQ(on ? 3u : 2u, lines.size());
    EXPECT_EQ(on ? AsServerLog(lines) : Texts{}, ServerLog(before));
  }
  const Texts all = ServerLog();
  ASSERT_EQ(3u, all.size()) << "the session's start-up, map starts and map ends copy nothing else";
  EXPECT_EQ(
      "[QRV] Frame hitch: longest frame 312.5 ms, 1 hitch over 50 ms in the last 4 s on de_dust2 "
      "with 0 players.\n",
      all.front());
}

// A forced unload, or the library let go without a detach while a map runs, still writes the
// waiting hitch line and the map's summary, marked as ended by the unload, once, to both logs.
TEST(MapSummaryAtUnload, AnUnloadWritesTheWaitingHitchesAndTheSummaryOnce) {
  for (const bool forced : {true, false}) {
    SCOPED_TRACE(forced ? "forced detach, then unload" : "unload without a detach");
    emu::Session server(qrvtest::TestBuild());
    ASSERT_TRUE(server.Attach());
    const qrvtest::FakePlatform fake(server.metamod().library());
    fake.SetCounterSource(kOnLinux ? (server.Root() + "/no_stat").c_str() : "qrv_no_such_pdh.dll");
    server.StartServer();
    server.Command("qrv_vemtark_anatomy 0");
    server.StartMap("de_dust2");
    server.RunFrames(1 + 256, kFramesPerSecond);
    server.RunLongFrame(0.3125);
    server.RunFrames(512, kFramesPerSecond);  // that hitch's line is written at once
    server.RunLongFrame(0.125);
    server.RunFrames(512, kFramesPerSecond);  // this one waits for a minute or the map's end
    server.WriteFile(qrvtest::LogPath(), "");
    fake.SetCounterSource(nullptr);
    const size_t alertsBefore = server.engine().Alerts().size();
    if (forced) {
      ASSERT_EQ(1, server.metamod().CallMetaDetach(PT_ANYTIME, PNL_CMD_FORCED));
    }
    server.metamod().Unload();
    const Texts expected = {
        "[QRV] WARNING: Frame hitch: longest frame 125.0 ms, 1 hitch over 50 ms in the last 6 s "
        "on de_dust2 with 0 players.",
        "[QRV] LOG: Map de_dust2 ran 0:10 until the plug-in was unloaded: 121.3 FPS on average "
        "(lowest 4 s: 118.3), longest frame 312.5 ms, 2 hitches, processor n/a, up to 0 players."};
    Texts logged;
    for (const std::string &line : qrvtest::LogMessages(server)) {
      if (line.find("Frame hitch") != std::string::npos || line.find("Map ") != std::string::npos) {
        logged.push_back(line);
      }
    }
    EXPECT_EQ(expected, logged);
    EXPECT_EQ(alertsBefore + 2, server.engine().Alerts().size());
    EXPECT_EQ(Texts{}, server.Faults());
  }
}

}  // namespace
