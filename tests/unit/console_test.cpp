// The output family: exact texts on the server console, on a client's console and in the
// command buffer; format characters inside values; over-long texts.
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
    client_ = engine_.Edict(1);
  }

  emu::Engine engine_;
  edict_t *client_ = nullptr;
};

TEST_F(ConsoleOutput, ConsolePrintAndPrefixedPrint) {
  ConsolePrint("abc");
  EXPECT_EQ("abc\n", engine_.TakeConsole());
  PrefixedConsolePrint("abc");
  EXPECT_EQ("[QRV Vem-Tark] abc\n", engine_.TakeConsole());
  PrefixedConsolePrint("Unknown command: %s", "x%sy");
  EXPECT_EQ("[QRV Vem-Tark] Unknown command: x%sy\n", engine_.TakeConsole());
}

TEST_F(ConsoleOutput, PrintToNoClientShowsTheTextOnceAsFormatted) {
  PrintToTarget(nullptr, 0, "%s", "100% sure %d %n");
  EXPECT_EQ("100% sure %d %n\n", engine_.TakeConsole());
  // The world is no client either.
  PrintToTarget(engine_.Edict(0), 0, "world %d", 7);
  EXPECT_EQ("world 7\n", engine_.TakeConsole());
  PrintToTarget(nullptr, 1, "with prefix");
  EXPECT_EQ("[QRV Vem-Tark] with prefix\n", engine_.TakeConsole());
  EXPECT_TRUE(engine_.ClientPrints(1).empty());
}

TEST_F(ConsoleOutput, PrintToClientAppendsNewlineAndSplitsPrefixFromPrintType) {
  PrintToTarget(client_, 0, "plain %s", "text");
  PrintToTarget(client_, 1, "prefixed");
  PrintToTarget(client_, 1024 | 2, "chat with prefix");
  PrintToTarget(client_, print_center, "center");
  const std::vector<emu::ClientPrint> &prints = engine_.ClientPrints(1);
  ASSERT_EQ(4u, prints.size());
  EXPECT_EQ("plain text\n", prints[0].text);
  EXPECT_EQ(print_console, prints[0].type);
  EXPECT_EQ("[QRV Vem-Tark] prefixed\n", prints[1].text);
  EXPECT_EQ(print_console, prints[1].type);
  EXPECT_EQ("[QRV Vem-Tark] chat with prefix\n", prints[2].text);
  EXPECT_EQ(static_cast<PRINT_TYPE>(1024), prints[2].type);
  // Flag 1 is a prefix flag: a bare print type 1 cannot be asked for through this path.
  EXPECT_EQ("[QRV Vem-Tark] center\n", prints[3].text);
  EXPECT_EQ("", engine_.Console());
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

  PrintToTarget(nullptr, 0, "%s", huge.c_str());
  EXPECT_EQ(std::string(2047, 'w') + "\n", engine_.TakeConsole());

  PrintToTarget(client_, 0, "%s", huge.c_str());
  ASSERT_EQ(1u, engine_.ClientPrints(1).size());
  EXPECT_EQ(std::string(2046, 'w') + "\n", engine_.ClientPrints(1)[0].text);

  IssueServerCommand("%s", huge.c_str());
  EXPECT_EQ(std::string(1023, 'w') + "\n", engine_.ServerCommands().back());

  EXPECT_EQ(std::string(3071, 'w'), FormatToScratch("%s", huge.c_str()));
}

}  // namespace
