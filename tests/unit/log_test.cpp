// The plug-in log: line format, levels, echo, where the file goes, what happens without it,
// and the fatal level that ends the server.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "base/plugin_log.h"
#include "base/reader.h"
#include "config/registry.h"
#include "entry/export_api.h"
#include "platform/fake_controls.h"
#include "session.h"
#include "tests/plugin_fixture.h"

extern "C" void QrvFake_SetLocalTime(int hour, int minute, int second);
extern "C" const char *QrvFake_MessageBoxes(void);

namespace {

namespace fs = std::filesystem;
using Lines = std::vector<std::string>;

Lines ReadLines(const fs::path &path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream contents;
  contents << in.rdbuf();
  return qrvtest::Lines(contents.str());
}

class PluginLog : public ::testing::Test {
 protected:
  explicit PluginLog(emu::SessionOptions options = emu::SessionOptions()) : root_(options) {}

  void SetUp() override {
    GiveFnptrsToDll(root_.engine().Functions(), root_.engine().Globals());
    root_.engine().TakeConsole();
    std::error_code ignored;
    fs::remove(LogFile(root_.options().gameDir), ignored);
  }
  void TearDown() override { QrvFake_SetLocalTime(-1, 0, 0); }

  fs::path LogFile(const std::string &gameDir = "cstrike") const {
    return fs::path(root_.Root()) / gameDir / "addons" / "qrv_vemtark" / "logs" / "qrv_vemtark.log";
  }

  emu::Session root_;  // game root and engine only: the logic under test is linked in
};

TEST_F(PluginLog, LinesCarryAZeroPaddedStampAndTheLevelPrefix) {
  QrvFake_SetLocalTime(7, 5, 9);
  WriteLog(false, LOG_LEVEL_LOG, "status %d", 1);
  WriteLog(false, LOG_LEVEL_WARNING, "careful");
  WriteLog(false, LOG_LEVEL_ERROR, "broken");
  QrvFake_SetLocalTime(0, 0, 0);
  WriteLog(false, LOG_LEVEL_LOG, "midnight");
  QrvFake_SetLocalTime(14, 5, 9);
  WriteLog(false, LOG_LEVEL_LOG, "same second");
  WriteLog(false, LOG_LEVEL_LOG, "same second again");
  EXPECT_EQ((Lines{"[07:05:09] [QRV] LOG: status 1", "[07:05:09] [QRV] WARNING: careful",
                   "[07:05:09] [QRV] ERROR: broken", "[00:00:00] [QRV] LOG: midnight",
                   "[14:05:09] [QRV] LOG: same second", "[14:05:09] [QRV] LOG: same second again"}),
            ReadLines(LogFile()));
  EXPECT_EQ("", root_.engine().Console());
}

TEST_F(PluginLog, EchoShowsTheSameLineOnTheConsole) {
  QrvFake_SetLocalTime(23, 59, 58);
  WriteLog(true, LOG_LEVEL_LOG, "Server reads configs files...");
  EXPECT_EQ("[23:59:58] [QRV] LOG: Server reads configs files...\n", root_.engine().TakeConsole());
  WriteLog(false, LOG_LEVEL_WARNING, "quiet");
  EXPECT_EQ("", root_.engine().Console());
  EXPECT_EQ(2u, ReadLines(LogFile()).size());
}

TEST_F(PluginLog, ValuesWithFormatCharactersAndOverlongMessagesAreSafe) {
  QrvFake_SetLocalTime(1, 2, 3);
  WriteLog(true, LOG_LEVEL_LOG, "%s", "100%s %n %d");
  std::string huge(5000, 'm');
  WriteLog(false, LOG_LEVEL_LOG, "%s", huge.c_str());
  Lines lines = ReadLines(LogFile());
  ASSERT_EQ(2u, lines.size());
  EXPECT_EQ("[01:02:03] [QRV] LOG: 100%s %n %d", lines[0]);
  EXPECT_EQ("[01:02:03] [QRV] LOG: " + std::string(511, 'm'), lines[1]);
}

TEST_F(PluginLog, ALevelOutsideTheFourIsWrittenWithoutALevelName) {
  QrvFake_SetLocalTime(1, 2, 3);
  WriteLog(false, 9, "odd");
  WriteLog(false, 0, "odd too");
  EXPECT_EQ((Lines{"[01:02:03] [QRV] odd", "[01:02:03] [QRV] odd too"}), ReadLines(LogFile()));
}

TEST_F(PluginLog, TheLogFollowsTheGameDirectoryWhateverFormTheEngineAnswers) {
  for (const char *answer : {"cstrike", "/srv/hlds/cstrike/", "/srv/hlds/cstrike//",
                             "C:\\hlds\\cstrike\\", "cstrike\\"}) {
    SCOPED_TRACE(answer);
    root_.engine().SetGameDirAnswer(answer);
    WriteLog(false, LOG_LEVEL_LOG, "%s", answer);
    Lines lines = ReadLines(LogFile());
    ASSERT_FALSE(lines.empty());
    EXPECT_NE(std::string::npos, lines.back().find(answer));
  }
}

class PluginLogWithoutFolder : public PluginLog {
 protected:
  static emu::SessionOptions WithoutLogs() {
    emu::SessionOptions options;
    options.createLogsFolder = false;
    return options;
  }
  PluginLogWithoutFolder() : PluginLog(WithoutLogs()) {}
};

TEST_F(PluginLogWithoutFolder, NothingIsWrittenNorShownAndFatalReturns) {
  WriteLog(true, LOG_LEVEL_LOG, "lost");
  WriteLog(true, LOG_LEVEL_FATAL, "not fatal without a log");
  EXPECT_FALSE(fs::exists(LogFile()));
  EXPECT_FALSE(fs::exists(LogFile().parent_path()));
  EXPECT_EQ("", root_.engine().Console());
  EXPECT_EQ("", std::string(QrvFake_MessageBoxes()));
}

class CzeroLog : public PluginLog {
 protected:
  static emu::SessionOptions Czero() {
    emu::SessionOptions options;
    options.gameDir = "czero";
    return options;
  }
  CzeroLog() : PluginLog(Czero()) {}
};

TEST_F(CzeroLog, AConditionZeroServerLogsUnderItsOwnFolder) {
  root_.engine().SetGameDirAnswer("czero");
  WriteLog(false, LOG_LEVEL_LOG, "czero line");
  EXPECT_EQ(1u, ReadLines(LogFile("czero")).size());
  EXPECT_FALSE(fs::exists(fs::path(root_.Root()) / "cstrike"));
}

// Death tests: the child process may start over from the beginning of the test (on Windows it
// does), so the game root must be the same folder in both processes.
class FatalError : public ::testing::Test {
 protected:
  void SetUp() override {
    previous_ = fs::current_path();
    root_ = fs::temp_directory_path() /
            ("qrv_fatal_" +
             std::string(::testing::UnitTest::GetInstance()->current_test_info()->name()));
    fs::create_directories(root_ / "cstrike" / "addons" / "qrv_vemtark" / "logs");
    fs::current_path(root_);
    std::error_code ignored;
    fs::remove(LogFile(), ignored);
    GiveFnptrsToDll(engine_.Functions(), engine_.Globals());
    fs::remove(LogFile(), ignored);
  }
  void TearDown() override {
    fs::current_path(previous_);
    std::error_code ignored;
    fs::remove_all(root_, ignored);
  }
  fs::path LogFile() const {
    return root_ / "cstrike" / "addons" / "qrv_vemtark" / "logs" / "qrv_vemtark.log";
  }

  emu::Engine engine_;
  fs::path previous_;
  fs::path root_;
};

TEST_F(FatalError, FatalLineIsFollowedByTheErrorLineTheBoxAndExitCodeOne) {
  EXPECT_EXIT(WriteLog(true, LOG_LEVEL_FATAL, "Mod %s not supported", "valve%s"),
              ::testing::ExitedWithCode(1),
              "QRV Vemtark Critical Error.*Mod valve%s not supported");
  Lines lines = ReadLines(LogFile());
  ASSERT_EQ(2u, lines.size());
  EXPECT_EQ("] [QRV] FATAL ERROR: Mod valve%s not supported", lines[0].substr(9));
  EXPECT_EQ("] [QRV] ERROR: Mod valve%s not supported", lines[1].substr(9));
}

TEST_F(FatalError, CriticalErrorLogsAndEnds) {
  EXPECT_EXIT(CriticalError("Can't register variable, number of variables exceed 60."),
              ::testing::ExitedWithCode(1), "QRV Vemtark Critical Error");
  Lines lines = ReadLines(LogFile());
  ASSERT_EQ(1u, lines.size());
  EXPECT_EQ("] [QRV] ERROR: Can't register variable, number of variables exceed 60.",
            lines[0].substr(9));
}

TEST_F(FatalError, TheSixtyFirstRegistryRecordStopsTheServer) {
  EXPECT_EXIT(
      {
        while (RegistryRecordsUsed() < kRegistryRecords) {
          if (RegisterVariable(RegistryRecordsUsed() % kRegistrySlots, "v", kRegistryFlags) ==
              nullptr) {
            std::exit(3);
          }
        }
        std::ofstream(root_ / "sixty records in use");
        RegisterVariable(REGISTRY_HOSTNAME, "v", kRegistryFlags);
        std::exit(2);
      },
      ::testing::ExitedWithCode(1), "number of variables exceed 60");
  EXPECT_TRUE(fs::exists(root_ / "sixty records in use"));
  Lines lines = ReadLines(LogFile());
  ASSERT_FALSE(lines.empty());
  EXPECT_EQ("] [QRV] ERROR: Can't register variable, number of variables exceed 60.",
            lines.back().substr(9));
}

TEST(RegistrySlots, ASlotOutsideTheTableRegistersNothing) {
  emu::Engine engine;
  GiveFnptrsToDll(engine.Functions(), engine.Globals());
  int used = RegistryRecordsUsed();
  size_t variables = engine.CvarNames().size();
  EXPECT_EQ(nullptr, RegisterVariable(kRegistrySlots, "x", kRegistryFlags));
  EXPECT_EQ(nullptr, RegisterVariable(-1, "x", kRegistryFlags));
  EXPECT_EQ(nullptr, RegisterVariable(1 << 30, "x", kRegistryFlags));
  EXPECT_EQ(used, RegistryRecordsUsed());
  EXPECT_EQ(variables, engine.CvarNames().size());
}

}  // namespace
