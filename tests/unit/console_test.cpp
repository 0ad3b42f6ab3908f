// The output family: exact texts on the server console and in the command buffer; format
// characters inside values; over-long texts.
#include "base/console.h"

#include <gtest/gtest.h>

#include <string>

#include "engine.h"
#include "entry/export_api.h"

namespace {

class ConsoleOutput : public ::testing::Test {
 protected:
  void SetUp() override {
    GiveFnptrsToDll(engine_.Functions(), engine_.Globals());
    engine_.TakeConsole();
  }

  emu::Engine engine_;
};

TEST_F(ConsoleOutput, ConsolePrintAndPrefixedPrint) {
  ConsolePrint("abc");
  EXPECT_EQ("abc\n", engine_.TakeConsole());
  PrefixedConsolePrint("abc");
  EXPECT_EQ("[QRV Vem-Tark] abc\n", engine_.TakeConsole());
  PrefixedConsolePrint("Unknown command: %s", "x%sy");
  EXPECT_EQ("[QRV Vem-Tark] Unknown command: x%sy\n", engine_.TakeConsole());
}

TEST_F(ConsoleOutput, AValueIsShownOnceAsFormatted) {
  ConsolePrint("%s", "100% sure %d %n");
  EXPECT_EQ("100% sure %d %n\n", engine_.TakeConsole());
}

TEST_F(ConsoleOutput, ServerCommandGetsItsNewlineAndRunsOnlyWhenTheBufferRuns) {
  IssueServerCommand("amx_debug %d", 2);
  ASSERT_EQ(1u, engine_.ServerCommands().size());
  EXPECT_EQ("amx_debug 2\n", engine_.ServerCommands()[0]);
  EXPECT_EQ("amx_debug 2\n", engine_.PendingBuffer());
  IssueServerCommand("%s", "echo 50%s");
  engine_.ExecuteBuffer();
  EXPECT_NE(std::string::npos, engine_.Console().find("50%s"));
}

TEST_F(ConsoleOutput, OverlongTextsAreCutToTheirBuffersAndEveryLineStillEnds) {
  std::string huge(10000, 'w');
  ConsolePrint("%s", huge.c_str());
  ConsolePrint("next");
  EXPECT_EQ(std::string(3070, 'w') + "\nnext\n", engine_.TakeConsole());

  PrefixedConsolePrint("%s", huge.c_str());
  EXPECT_EQ("[QRV Vem-Tark] " + std::string(3070 - 15, 'w') + "\n", engine_.TakeConsole());

  IssueServerCommand("%s", huge.c_str());
  EXPECT_EQ(std::string(1023, 'w') + "\n", engine_.ServerCommands().back());
}

}  // namespace
