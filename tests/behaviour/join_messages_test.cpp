// What a connecting client finds in its console, and the banner the operator sees at attach.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "tests/plugin_fixture.h"

namespace {

using Log = std::vector<std::string>;

const char kShortFps[] = "### Server is running at %d FPS with QRV Vem-Tark v1.60.05A ###\n";
const char kLongFps[] =
    "------------------------------------------------------------------\n"
    "#  Welcome! BceM IIPuBET!\n"
    "#  Server is currently running at %d FPS with %d clients present.\n"
    "#  Current map: %s \n"
    "#  Server is running with QRV Vem-Tark v1.60.05a.\n"
    "------------------------------------------------------------------\n";
const char kShortInfo[] = "### Welcome to %s ! Server WeB Site: http://%s . ###\n";
const char kLongInfo[] =
    "###########################################\n"
    "# Welcome to %s! BceM IIPuBET!\n"
    "# Server WeB Site: http://%s. IIoCETuTe CauT CePBePa!\n"
    "###########################################\n";

// The message with its %d and %s fields filled in order; values are inserted as they are.
std::string Fill(std::string text, const std::vector<std::string> &values) {
  size_t cursor = 0;
  for (const std::string &value : values) {
    size_t field = text.find('%', cursor);
    if (field == std::string::npos) break;
    text.replace(field, 2, value);
    cursor = field + value.size();
  }
  return text;
}

class JoinMessages : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(server_.Attach());
    server_.StartServer();
    server_.StartMap("de_dust2");
    server_.Command("qrv_vemtark_hostname \"Dust Fans\"");
    server_.Command("qrv_vemtark_website games.example.net");
    server_.RunFrames(512, 128.0);  // the 512th frame ends the first period: 128 measured
  }
  void TearDown() override { EXPECT_EQ(Log{}, server_.Faults()); }

  // The prints of a client that connects now, and the Metamod result of its connect.
  std::vector<emu::ClientPrint> Connect(const std::string &name, META_RES *result = nullptr) {
    int index = server_.ConnectClient(name);
    EXPECT_NE(0, index);
    if (result != nullptr) {
      // The connect's own result: ConnectClient goes on to ClientPutInServer.
      char reason[128] = "";
      server_.engine().ClearClientConsoles();
      server_.Call<&DLL_FUNCTIONS::pfnClientConnect>(server_.engine().Edict(index), name.c_str(),
                                                     "127.0.0.1", reason);
      *result = server_.metamod().LastPreResult();
    }
    return server_.engine().ClientPrints(index);
  }

  int InfoDisabledLines() {
    int count = 0;
    for (const std::string &line : qrvtest::LogMessages(server_)) {
      if (line == "[QRV] LOG: Info Disabled") ++count;
    }
    return count;
  }

  emu::Session server_;
};

TEST_F(JoinMessages, DefaultsGreetWithTheShortLinesAsConsoleText) {
  META_RES result = MRES_UNSET;
  std::vector<emu::ClientPrint> prints = Connect("Alice", &result);
  ASSERT_EQ(2u, prints.size());
  EXPECT_EQ(Fill(kShortFps, {"128"}), prints[0].text);
  EXPECT_EQ(print_console, prints[0].type);
  EXPECT_EQ(Fill(kShortInfo, {"Dust Fans", "games.example.net"}), prints[1].text);
  EXPECT_EQ(print_console, prints[1].type);
  EXPECT_EQ(MRES_HANDLED, result);
}

TEST_F(JoinMessages, LongFormsCountPlayersPresentAndNameTheMap) {
  server_.Command("qrv_vemtark_join_msg 2");
  server_.Command("qrv_vemtark_info 7");
  server_.ConnectClient("Alice");
  server_.ConnectClient("Bob");
  server_.ConnectClient("Carol");
  std::vector<emu::ClientPrint> prints = Connect("Dave");
  ASSERT_EQ(2u, prints.size());
  EXPECT_EQ(Fill(kLongFps, {"128", "3", "de_dust2"}), prints[0].text);
  EXPECT_EQ(Fill(kLongInfo, {"Dust Fans", "games.example.net"}), prints[1].text);
}

TEST_F(JoinMessages, FrameRateMessageOffSendsNothingAndLogsNothing) {
  server_.Command("qrv_vemtark_join_msg 0");
  server_.Command("qrv_vemtark_info 2");
  META_RES result = MRES_UNSET;
  EXPECT_TRUE(Connect("Alice", &result).empty());
  EXPECT_EQ(MRES_IGNORED, result);
  server_.Command("qrv_vemtark_join_msg 0.5");
  EXPECT_TRUE(Connect("Bob").empty());
  server_.Command("qrv_vemtark_join_msg -3");
  EXPECT_TRUE(Connect("Carol").empty());
  EXPECT_EQ(0, InfoDisabledLines());
}

TEST_F(JoinMessages, InformationOffLogsInfoDisabledAtEveryConnect) {
  server_.Command("qrv_vemtark_join_msg 1.9");
  server_.Command("qrv_vemtark_info 0");
  META_RES result = MRES_UNSET;
  std::vector<emu::ClientPrint> prints = Connect("Alice", &result);
  ASSERT_EQ(1u, prints.size());
  EXPECT_EQ(Fill(kShortFps, {"128"}), prints[0].text);
  EXPECT_EQ(MRES_HANDLED, result);
  Connect("Bob");
  EXPECT_EQ(3, InfoDisabledLines());  // Alice twice (see Connect), Bob once
}

TEST_F(JoinMessages, SwitchingInformationOffBetweenConnects) {
  server_.Command("qrv_vemtark_info 2");
  EXPECT_EQ(2u, Connect("Alice").size());
  server_.Command("qrv_vemtark_info 0");
  EXPECT_EQ(1u, Connect("Bob").size());
}

TEST_F(JoinMessages, FormatCharactersInNamesAreShownLiterally) {
  server_.Command("qrv_vemtark_hostname \"100% %s %n %d\"");
  server_.Command("qrv_vemtark_website %s.example.org/%n");
  server_.engine().SetMapName("de_%s%n");
  server_.Command("qrv_vemtark_join_msg 2");
  std::vector<emu::ClientPrint> prints = Connect("Alice");
  ASSERT_EQ(2u, prints.size());
  EXPECT_EQ(Fill(kLongFps, {"128", "0", "de_%s%n"}), prints[0].text);
  EXPECT_EQ(Fill(kShortInfo, {"100% %s %n %d", "%s.example.org/%n"}), prints[1].text);
}

TEST_F(JoinMessages, OverlongNamesAreCutAt511Characters) {
  std::string name(700, 'N');
  server_.Command("qrv_vemtark_hostname " + name);
  std::vector<emu::ClientPrint> prints = Connect("Alice");
  ASSERT_EQ(2u, prints.size());
  EXPECT_EQ(511u, prints[1].text.size());
  EXPECT_EQ("### Welcome to NNN", prints[1].text.substr(0, 18));
}

TEST_F(JoinMessages, NoGreetingWithoutDeathmatch) {
  server_.engine().Globals()->deathmatch = 0.0f;
  META_RES result = MRES_UNSET;
  EXPECT_TRUE(Connect("Alice", &result).empty());
  EXPECT_EQ(MRES_IGNORED, result);
  server_.Command("qrv_vemtark_info 0");
  Connect("Bob");
  EXPECT_EQ(0, InfoDisabledLines());
}

TEST(StartupBanner, AttachAnnouncesThePlugin) {
  emu::Session server;
  ASSERT_TRUE(server.Attach());
  std::vector<std::string> console = qrvtest::Lines(server.engine().Console());
  std::vector<std::string> logged;
  std::vector<std::string> prefixed;
  for (const std::string &line : console) {
    if (line.size() > 11 && line[0] == '[' && line[9] == ']') logged.push_back(line.substr(11));
    if (line.rfind("[QRV Vem-Tark]", 0) == 0) prefixed.push_back(line);
  }
  ASSERT_GE(logged.size(), 5u);
  EXPECT_EQ("[QRV] LOG: Plugin loaded successfully.", logged[0]);
  EXPECT_EQ(
      "[QRV] LOG: QRV Vem-Tark v1.60.05A - The Counter-Strike Dedicated Server Anti-ping "
      "plugin., Oct 22 2008, Oct 22 2008",
      logged[1]);
  EXPECT_EQ("[QRV] LOG:    QRV Dev Team", logged[2]);
  EXPECT_EQ("[QRV] LOG:    " + std::string(server.metamod().PluginInfo()->url), logged[3]);
  EXPECT_EQ("[QRV] LOG: Compiled: Oct 22 2008, 13:39:09 +300 (GMT)", logged[4]);
  ASSERT_EQ(3u, prefixed.size());
  EXPECT_EQ("[QRV Vem-Tark] =============-----------------------------=============", prefixed[0]);
  const std::string product =
      "[QRV Vem-Tark]  QRV Vem-Tark v1.60.05A - The Counter-Strike Dedicated Server Anti-ping "
      "plugin. ";
  EXPECT_EQ(product, prefixed[1].substr(0, product.size()));
  EXPECT_EQ(prefixed[0], prefixed[2]);
  EXPECT_EQ(logged, qrvtest::LogMessages(server));
}

}  // namespace
