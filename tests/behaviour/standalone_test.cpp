// Loaded by the engine in place of the game library, without Metamod: no game library sits
// underneath yet, so every hook must run safely over an empty forwarding table.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "tests/plugin_fixture.h"

namespace {

using Texts = std::vector<std::string>;

emu::SessionOptions Standalone() {
  emu::SessionOptions options;
  options.host = emu::HostMode::kStandalone;
  return options;
}

TEST(Standalone, HooksRunOverAnEmptyGameTableAndMetaTellsTheOperator) {
  emu::Session server(Standalone());
  ASSERT_TRUE(server.Attach());
  server.StartServer();
  Texts names = server.engine().CommandNames();
  EXPECT_EQ(1, std::count(names.begin(), names.end(), "meta"));
  EXPECT_EQ(1, std::count(names.begin(), names.end(), "check_code"));

  server.engine().TakeConsole();
  server.Command("meta");
  const std::string notice =
      "You're launched standalone version of test. Metamod is not installed or not enabled!";
  std::string console = server.engine().TakeConsole();
  EXPECT_NE(std::string::npos, console.find("[QRV Vem-Tark] [QRV]" + notice + "\n"));
  EXPECT_NE(std::string::npos, console.find("] [QRV] ERROR: " + notice + "\n"));
  EXPECT_EQ("[QRV] ERROR: " + notice, qrvtest::LogMessages(server).back());

  server.StartMap("de_dust2");
  int alice = server.ConnectClient("Alice");
  EXPECT_NE(0, alice);  // no game library to refuse it
  server.RunFrames(1000, 100.0);
  edict_t *strip = server.Spawn("player_weaponstrip");
  EXPECT_STREQ("fake", server.engine().String(strip->v.targetname));
  edict_t *brush = server.engine().CreateEntity("func_wall");
  brush->v.rendermode = kRenderTransTexture;
  brush->v.flags = 0;  // the game's spawn adds FL_WORLDBRUSH
  server.Call<&DLL_FUNCTIONS::pfnSpawn>(brush);
  EXPECT_EQ(0, brush->v.flags);
  server.DisconnectClient(alice);
  server.EndMap();
  EXPECT_EQ(Texts{}, server.Faults());
}

}  // namespace
