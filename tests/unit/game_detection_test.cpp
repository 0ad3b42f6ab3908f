// Which game the server runs: the lookup by game directory, the fatal stop for a game the
// plug-in does not support, the registration report and the build number.
#include "game/game_detection.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "base/build_number.h"
#include "entry/export_api.h"
#include "session.h"
#include "tests/plugin_fixture.h"

namespace {

namespace fs = std::filesystem;
using Lines = std::vector<std::string>;

class GameDetection : public ::testing::Test {
 protected:
  void Load(const std::string &gameDirAnswer) {
    root_.engine().SetGameDirAnswer(gameDirAnswer);
    GiveFnptrsToDll(root_.engine().Functions(), root_.engine().Globals());
  }

  // The kind in force, as the operator reads it in a registration report: every label belongs to
  // one kind ("1.6 (Steam)" and "1.5 (WON)" both to a Steam 1.6 kind, which the report may
  // refine), 0 for anything else.
  static int32_t KindShownByReport(emu::Engine &engine) {
    engine.TakeConsole();
    ReportGameRegistration();
    const std::string line = engine.TakeConsole();
    const std::string start = "[QRV Vem-Tark] Game Registered: CS ";
    if (line == start + "1.6 (Steam) (0x1024)\n" || line == start + "1.5 (WON) (0x1024)\n") {
      return GAME_KIND_STEAM_CS16;
    }
    if (line == start + "CZ (Steam) (0x1024)\n") return GAME_KIND_STEAM_CZERO;
    if (line == start + "1.x (WON) (0x1024)\n") return GAME_KIND_WON_CS;
    return 0;
  }

  emu::Session root_;  // game root and engine; the logic under test is linked in
};

TEST_F(GameDetection, SupportedDirectoriesSelectTheirRowWhateverFormTheEngineAnswers) {
  struct Case {
    const char *answer;
    const char *row;
    int32_t kind;
  };
  const Case cases[] = {
      {"cstrike", "cstrike", GAME_KIND_STEAM_CS16},
      {"/srv/hlds/cstrike", "cstrike", GAME_KIND_STEAM_CS16},
      {"/srv/hlds/cstrike/", "cstrike", GAME_KIND_STEAM_CS16},
      {"C:\\hlds\\czero\\", "czero", GAME_KIND_STEAM_CZERO},
      {"czero", "czero", GAME_KIND_STEAM_CZERO},
      {"csv15", "csv15", GAME_KIND_WON_CS},
      {"/home/hlds/cs13", "cs13", GAME_KIND_WON_CS},
      {"cstrike", "cstrike", GAME_KIND_STEAM_CS16},
  };
  for (const Case &c : cases) {
    SCOPED_TRACE(c.answer);
    Load(c.answer);
    const SupportedGame *game = DetectedGame();
    ASSERT_NE(nullptr, game);
    EXPECT_STREQ(c.row, game->szGameDir);
    EXPECT_STREQ("cs_i386.so", game->szLinuxLibrary);
    EXPECT_STREQ("mp.dll", game->szWindowsLibrary);
    EXPECT_EQ(c.kind, game->iKind);
    EXPECT_EQ(c.kind, KindShownByReport(root_.engine()));
  }
  EXPECT_EQ(std::string::npos, root_.ReadFile(qrvtest::LogPath()).find("FATAL"));
}

TEST_F(GameDetection, LookupIsExactAndCaseSensitive) {
  for (const char *name : {"CStrike", "valve", "cstrike ", "", "cstrik", "czero/", "tfc"}) {
    SCOPED_TRACE(name);
    EXPECT_EQ(nullptr, LookupGame(name));
  }
  EXPECT_EQ(nullptr, LookupGame(nullptr));
}

TEST_F(GameDetection, WithoutALogTheServerGoesOnAndTheKindStaysAsItWas) {
  emu::SessionOptions options;
  options.createLogsFolder = false;
  emu::Session withoutLogs(options);
  withoutLogs.engine().SetGameDirAnswer("czero");
  GiveFnptrsToDll(withoutLogs.engine().Functions(), withoutLogs.engine().Globals());
  ASSERT_EQ(GAME_KIND_STEAM_CZERO, KindShownByReport(withoutLogs.engine()));

  withoutLogs.engine().SetGameDirAnswer("valve");
  GiveFnptrsToDll(withoutLogs.engine().Functions(), withoutLogs.engine().Globals());
  EXPECT_EQ(nullptr, DetectedGame());
  EXPECT_EQ(GAME_KIND_STEAM_CZERO, KindShownByReport(withoutLogs.engine()));
}

// One report per row: the game the server runs, whether it ships the Steam-only file, and the
// lines of a first and a second report in the same process.
TEST_F(GameDetection, RegistrationReportsTheGameAndRefinesTheKindOnce) {
  struct Case {
    const char *answer;
    bool steamFile;
    const char *first;
    const char *second;
    int32_t kindAfter;
  };
  const Case cases[] = {
      {"cstrike", true, "1.6 (Steam)", "1.6 (Steam)", GAME_KIND_STEAM_CS16},
      {"cstrike", false, "1.5 (WON)", "1.x (WON)", GAME_KIND_WON_CS},
      {"czero", false, "CZ (Steam)", "CZ (Steam)", GAME_KIND_STEAM_CZERO},
      {"csv15", true, "1.x (WON)", "1.x (WON)", GAME_KIND_WON_CS},
  };
  for (const Case &c : cases) {
    SCOPED_TRACE(std::string(c.answer) + (c.steamFile ? " with" : " without") + " galil.sc");
    fs::remove(fs::path(root_.Root()) / "cstrike" / "events" / "galil.sc");
    if (c.steamFile) {
      ASSERT_TRUE(root_.WriteFile("cstrike/events/galil.sc", "sound"));
    }
    Load(c.answer);
    root_.engine().TakeConsole();
    ReportGameRegistration();
    ReportGameRegistration();
    EXPECT_EQ("[QRV Vem-Tark] Game Registered: CS " + std::string(c.first) +
                  " (0x1024)\n[QRV Vem-Tark] Game Registered: CS " + c.second + " (0x1024)\n",
              root_.engine().TakeConsole());
    EXPECT_EQ(c.kindAfter, KindShownByReport(root_.engine()));
  }
  EXPECT_TRUE(root_.Faults().empty());
}

TEST(BuildNumberTest, CountsDaysFromTheBaseDateWithTheLeapDayFromMarchOn) {
  struct Case {
    const char *date;
    uint16_t build;
  };
  const Case cases[] = {
      {"Oct 22 2008", 1737}, {"Jan 20 2004", 0},    {"Mar 01 2008", 1502},
      {"Feb 29 2008", 1501}, {"Dec 31 2008", 1807}, {"Mar  1 2008", 1502},
  };
  for (const Case &c : cases) {
    SCOPED_TRACE(c.date);
    EXPECT_EQ(c.build, BuildNumberOf(c.date));
  }
  EXPECT_EQ(1737, BuildNumber());
  EXPECT_EQ(0, BuildNumberOf("Oct 22"));
  EXPECT_EQ(0, BuildNumberOf(nullptr));
}

// Death tests: the child process may start over from the beginning of the test (on Windows it
// does), so the game root is a fixed folder that both processes find.
class UnsupportedGame : public ::testing::Test {
 protected:
  void Enter(const std::string &gameDir) {
    previous_ = fs::current_path();
    root_ = fs::temp_directory_path() /
            ("qrv_game_" +
             std::string(::testing::UnitTest::GetInstance()->current_test_info()->name()));
    fs::create_directories(root_ / gameDir / "addons" / "qrv_vemtark" / "logs");
    fs::current_path(root_);
    std::error_code ignored;
    fs::remove(LogFile(gameDir), ignored);
    engine_.SetGameDir(gameDir);
  }
  void TearDown() override {
    fs::current_path(previous_);
    std::error_code ignored;
    fs::remove_all(root_, ignored);
  }
  fs::path LogFile(const std::string &gameDir) const {
    return root_ / gameDir / "addons" / "qrv_vemtark" / "logs" / "qrv_vemtark.log";
  }
  Lines LogMessages(const std::string &gameDir) const {
    std::ifstream in(LogFile(gameDir), std::ios::binary);
    std::ostringstream contents;
    contents << in.rdbuf();
    Lines messages;
    for (const std::string &line : qrvtest::Lines(contents.str())) {
      messages.push_back(line.size() > 11 ? line.substr(11) : line);
    }
    return messages;
  }
  void ExpectFatalStop(const std::string &gameDir) {
    Enter(gameDir);
    EXPECT_EXIT(
        GiveFnptrsToDll(engine_.Functions(), engine_.Globals()), ::testing::ExitedWithCode(1),
        "QRV Vemtark Critical Error.*not supported by this QRV vemtark \\(gamedir: " + gameDir +
            "\\)");
    const std::string message =
        "Mod that you has started, not supported by this QRV vemtark (gamedir: " + gameDir + ")";
    EXPECT_EQ((Lines{"[QRV] LOG: Plugin loaded successfully.", "[QRV] FATAL ERROR: " + message,
                     "[QRV] ERROR: " + message}),
              LogMessages(gameDir));
  }

  emu::Engine engine_;
  fs::path previous_;
  fs::path root_;
};

TEST_F(UnsupportedGame, ValveStopsTheServerWithTheFatalLine) { ExpectFatalStop("valve"); }

TEST_F(UnsupportedGame, CapitalisedCstrikeIsNotCounterStrike) { ExpectFatalStop("CStrike"); }

}  // namespace
