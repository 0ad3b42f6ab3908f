// Configuration files found in the plug-in's configuration folder, and command files whose
// every entry becomes a server command of its own.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "base/reader.h"
#include "entry/export_api.h"
#include "session.h"
#include "tests/plugin_fixture.h"

namespace {

using Texts = std::vector<std::string>;

class ConfigFiles : public ::testing::Test {
 protected:
  void SetUp() override {
    GiveFnptrsToDll(root_.engine().Functions(), root_.engine().Globals());
    root_.engine().ClearServerCommands();
  }

  void WriteConfig(const std::string &name, const std::string &contents) {
    ASSERT_TRUE(root_.WriteFile("cstrike/addons/qrv_vemtark/configs/" + name, contents));
  }

  Texts LogTail() const { return qrvtest::LogMessages(root_); }

  emu::Session root_;
};

TEST_F(ConfigFiles, OpensFromTheConfigurationFolderOfTheGameDirectory) {
  WriteConfig("vemtark.ini", "RUN 1\n");
  FileHandle file;
  ASSERT_TRUE(OpenConfigFile("vemtark.ini", "Ini file not found. Loading defaults", file));
  char word[kWordBufferSize];
  ASSERT_TRUE(file.ReadWord(word, kWordCapacity));
  EXPECT_STREQ("RUN", word);
  // Opening again closes what the handle held first.
  EXPECT_TRUE(OpenConfigFile("vemtark.ini", "missing", file));
  ASSERT_TRUE(file.ReadWord(word, kWordCapacity));
  EXPECT_STREQ("RUN", word);
}

TEST_F(ConfigFiles, AMissingFileLogsTheCallersMessageAtErrorAndStaysClosed) {
  root_.engine().TakeConsole();
  FileHandle file;
  EXPECT_FALSE(OpenConfigFile("vemtark.ini", "Ini file not found. Loading defaults", file));
  EXPECT_FALSE(file.IsOpen());
  EXPECT_FALSE(OpenConfigFile("vemtark.ini", "100% %s gone", file));
  EXPECT_EQ(
      (Texts{"[QRV] LOG: Plugin loaded successfully.",
             "[QRV] ERROR: Ini file not found. Loading defaults", "[QRV] ERROR: 100% %s gone"}),
      LogTail());
  EXPECT_NE(std::string::npos, root_.engine().Console().find("] [QRV] ERROR: 100% %s gone\n"));
}

TEST_F(ConfigFiles, CommandFileQueuesEveryEntryOnItsOwnInFileOrder) {
  WriteConfig("strengthening_on.xdsg",
              "// raise the rates\r\nsv_maxrate 25000\n/skipped\n\tsys_ticrate\t1000\n"
              "say 100%s%n\n");
  RunCommandFile("strengthening_on.xdsg", "strengthening_on.xdsg file not found.");
  EXPECT_EQ((Texts{"raise\n", "the\n", "rates\n", "sv_maxrate\n", "25000\n", "sys_ticrate\n",
                   "1000\n", "say\n", "100%s%n\n"}),
            root_.engine().ServerCommands());
}

TEST_F(ConfigFiles, MissingCommandFileQueuesNothing) {
  RunCommandFile("strengthening_off.xdsg", "strengthening_off.xdsg file not found.");
  EXPECT_EQ(Texts{}, root_.engine().ServerCommands());
  EXPECT_EQ("[QRV] ERROR: strengthening_off.xdsg file not found.", LogTail().back());
}

TEST_F(ConfigFiles, OverlongEntriesAreQueuedInPiecesWithoutOverrun) {
  WriteConfig("debug.cfgs", std::string(600, 'c') + "\n");
  RunCommandFile("debug.cfgs", "Debug.cfgs file not found.");
  EXPECT_EQ((Texts{std::string(255, 'c') + "\n", std::string(255, 'c') + "\n",
                   std::string(90, 'c') + "\n"}),
            root_.engine().ServerCommands());
}

}  // namespace
