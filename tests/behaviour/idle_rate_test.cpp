// The idle rate through the built binary: with nobody human on the server for 10 s the frames run
// at qrv_vemtark_idle_fps (paced on the stand-in ReHLDS engine while pacing is on, else through
// sys_ticrate); bots do not count; a human's connection brings the full rate back at once.
#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "tests/plugin_fixture.h"

namespace {

using Texts = std::vector<std::string>;

TEST(IdleRate, IdlesWhileNobodyPlaysAndWakesAtOnceForAHuman) {
  struct Row {
    const char *name;
    bool rehlds;
    Texts settings;
    const char *idleTicrate, *fullTicrate;
    const char *idlePacing;  // the pacing line's start while idle; null: not paced
  };
  const Row rows[] = {
      {"through sys_ticrate", false, {"qrv_vemtark_sysrate 1000"}, "10", "1000", nullptr},
      {"paced",
       true,
       {"qrv_vemtark_pace 1", "qrv_vemtark_sysrate 1000"},
       "20",
       "2000",
       "pacing          on at 10 FPS"},
  };
  for (const Row &row : rows) {
    SCOPED_TRACE(row.name);
    emu::SessionOptions options = qrvtest::TestBuild();
    options.rehldsEngine = row.rehlds;
    emu::Session server(options);
    server.StartServer();
    server.Command("qrv_vemtark_idle_fps 10");
    for (const std::string &setting : row.settings) server.Command(setting);
    server.StartMap("de_dust2");
    auto var = [&](const char *name) {
      return std::string(server.engine().FindCvar(name)->string);
    };
    auto status = [&](const char *start) {
      server.engine().TakeConsole();
      server.Command("qrv_vemtark_status");
      for (const std::string &line : qrvtest::Lines(server.engine().TakeConsole())) {
        if (line.rfind(start, 0) == 0) return line;
      }
      return std::string("<missing>");
    };
    auto logged = [&] {
      Texts lines;
      for (const std::string &line : qrvtest::LogMessages(server)) {
        if (line.find("full rate") != std::string::npos ||
            line.find("idles") != std::string::npos) {
          lines.push_back(line);
        }
      }
      return lines;
    };
    // A bot plays from the start: nobody human does. Two periods are within the grace.
    ASSERT_NE(0, server.ConnectBot("Bot"));
    server.RunFrames(801, 100.0);
    EXPECT_EQ(row.fullTicrate, var("sys_ticrate"));
    EXPECT_EQ("idle            no: at 10 FPS once nobody has played for 10 s", status("idle"));
    server.RunFrames(400, 100.0);
    EXPECT_EQ(row.idleTicrate, var("sys_ticrate"));
    EXPECT_EQ("idle            yes, at 10 FPS: nobody is playing (bots do not count)",
              status("idle"));
    if (row.idlePacing != nullptr) {
      EXPECT_EQ(row.idlePacing, status("pacing").substr(0, std::string(row.idlePacing).size()));
    }
    server.engine().TakeConsole();
    server.Command("qrv_vemtark_stats");
    EXPECT_EQ("1", qrvtest::Lines(server.engine().TakeConsole())[1].substr(120));
    // The human's connection, before any frame runs.
    const int alice = server.ConnectClient("Alice");
    EXPECT_EQ(row.fullTicrate, var("sys_ticrate"));
    EXPECT_EQ((Texts{"[QRV] LOG: The server idles at 10 FPS: nobody is playing.",
                     "[QRV] LOG: A player is connecting: the server runs at its full rate again."}),
              logged());
    // Gone again: the idle rate after the grace.
    server.RunFrames(400, 100.0);
    server.DisconnectClient(alice);
    server.RunFrames(800, 100.0);
    EXPECT_EQ(row.fullTicrate, var("sys_ticrate"));
    server.RunFrames(400, 100.0);
    EXPECT_EQ(row.idleTicrate, var("sys_ticrate"));
    // Switched off while idling: the full rate at the next period.
    server.Command("qrv_vemtark_idle_fps 0");
    server.RunFrames(400, 100.0);
    EXPECT_EQ(row.fullTicrate, var("sys_ticrate"));
    EXPECT_EQ("<missing>", status("idle"));
    const Texts lines = logged();
    ASSERT_EQ(4u, lines.size());
    EXPECT_EQ("[QRV] LOG: The idle rate is off: the server runs at its full rate again.",
              lines.back());
    EXPECT_EQ(Texts{}, server.Faults());
  }
}

}  // namespace
