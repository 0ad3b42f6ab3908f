// The game registration line through the built binary: after the game has initialised, under
// Metamod (the GameInit post hook) and standalone (the end of GameInit).
#include <gtest/gtest.h>

#include <string>

#include "tests/plugin_fixture.h"

namespace {

emu::SessionOptions Host(emu::HostMode host) {
  emu::SessionOptions options;
  options.host = host;
  return options;
}

size_t Count(const std::string &text, const std::string &part) {
  size_t count = 0;
  for (size_t at = text.find(part); at != std::string::npos; at = text.find(part, at + 1)) {
    ++count;
  }
  return count;
}

TEST(GameRegistration, TheLineFollowsGameInitOnceInBothModes) {
  for (emu::HostMode host : {emu::HostMode::kMetamod, emu::HostMode::kStandalone}) {
    SCOPED_TRACE(host == emu::HostMode::kMetamod ? "Metamod" : "standalone");
    emu::Session server(Host(host));
    ASSERT_TRUE(server.WriteFile("cstrike/events/galil.sc", "sound"));
    server.engine().SetGameDirAnswer(server.GameDirPath() + "/");
    ASSERT_TRUE(server.Attach());
    EXPECT_EQ(std::string::npos, server.engine().Console().find("Game Registered"));
    server.StartServer();
    EXPECT_EQ(1u, Count(server.engine().TakeConsole(),
                        "[QRV Vem-Tark] Game Registered: CS 1.6 (Steam) (0x1024)\n"));
    EXPECT_TRUE(server.Faults().empty());
  }
}

TEST(GameRegistration, WithoutTheSteamFileTheServerIsTakenForAWonOne) {
  emu::Session server;
  server.StartServer();
  EXPECT_NE(std::string::npos, server.engine().Console().find(
                                   "[QRV Vem-Tark] Game Registered: CS 1.5 (WON) (0x1024)\n"));
}

TEST(GameRegistration, ConditionZeroNeedsNoFileTest) {
  emu::SessionOptions options;
  options.gameDir = "czero";
  emu::Session server(options);
  server.StartServer();
  EXPECT_NE(std::string::npos, server.engine().Console().find(
                                   "[QRV Vem-Tark] Game Registered: CS CZ (Steam) (0x1024)\n"));
}

}  // namespace
