// The plug-in's own settings given on the server's command line ("+name value"), applied by the
// plug-in once its variables are registered, whatever the engine did with them before.
#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

#include "tests/plugin_fixture.h"

namespace {

using Log = std::vector<std::string>;
using Values = std::vector<std::pair<const char *, std::string>>;

const std::string kLongValue(200, 'x');

TEST(CommandLineSettings, OwnVariablesAreAppliedOnceRegisteredAndNothingElse) {
  struct Case {
    std::string commandLine;
    Log lines;      // the plug-in's "Command line:" log lines, in order
    Values values;  // variables afterwards
  };
  const Case cases[] = {
      // A console variable (attach) and a registry variable (game initialisation).
      {"hlds -game cstrike +qrv_vemtark_sysrate 1000 +maxplayers 10 +qrv_vemtark_hostname Arena",
       {"[QRV] LOG: Command line: qrv_vemtark_sysrate set to 1000.",
        "[QRV] LOG: Command line: qrv_vemtark_hostname set to Arena."},
       {{"qrv_vemtark_sysrate", "1000"}, {"qrv_vemtark_hostname", "Arena"}}},
      // Already held: left alone, without a line.
      {"hlds +qrv_vemtark_autofps 100 +DLL_ACCES none +qrv_vemtark_info 2",
       {"[QRV] LOG: Command line: qrv_vemtark_info set to 2."},
       {{"qrv_vemtark_autofps", "100"}, {"DLL_ACCES", "none"}, {"qrv_vemtark_info", "2"}}},
      // The engine's own commands and variables are the engine's business.
      {"hlds +map de_dust2 +sys_ticrate 500 +maxplayers 10 +exec qrv_vemtark_sysrate",
       {},
       {{"sys_ticrate", "100.0"}, {"qrv_vemtark_sysrate", "0"}}},
      {"hlds +QRV_VEMTARK_SYSRATE 750 +dll_acces all +Qrv_Vemtark_Website example.org",
       {"[QRV] LOG: Command line: qrv_vemtark_sysrate set to 750.",
        "[QRV] LOG: Command line: DLL_ACCES set to all.",
        "[QRV] LOG: Command line: qrv_vemtark_website set to example.org."},
       {{"qrv_vemtark_sysrate", "750"}, {"DLL_ACCES", "all"}}},
      // No value: followed by another option, or last.
      {"hlds +qrv_vemtark_sysrate -port 27015 +qrv_vemtark_join_msg +map x +qrv_vemtark_hpk_delay",
       {},
       {{"qrv_vemtark_sysrate", "0"},
        {"qrv_vemtark_join_msg", "1"},
        {"qrv_vemtark_hpk_delay", "15"}}},
      {"hlds +qrv_vemtark_hostname %s%n%x%% +qrv_vemtark_website \"my site\"",
       {"[QRV] LOG: Command line: qrv_vemtark_hostname set to %s%n%x%%.",
        "[QRV] LOG: Command line: qrv_vemtark_website set to my site."},
       {{"qrv_vemtark_hostname", "%s%n%x%%"}, {"qrv_vemtark_website", "my site"}}},
      // The last of two wins, as the engine's own order would have it.
      {"hlds +qrv_vemtark_autofps 300 +qrv_vemtark_autofps 400",
       {"[QRV] LOG: Command line: qrv_vemtark_autofps set to 300.",
        "[QRV] LOG: Command line: qrv_vemtark_autofps set to 400."},
       {{"qrv_vemtark_autofps", "400"}}},
      {"hlds +qrv_vemtark_hostname " + kLongValue,
       {"[QRV] LOG: Command line: qrv_vemtark_hostname set to " + kLongValue.substr(0, 127) + "."},
       {{"qrv_vemtark_hostname", kLongValue.substr(0, 127)}}},
  };
  for (const Case &c : cases) {
    SCOPED_TRACE(c.commandLine);
    emu::Session server(qrvtest::TestBuild());
    ASSERT_TRUE(server.metamod().Load(server.PluginPath()));
    auto setCommandLine =
        server.metamod().library().Export<QrvFakeSetCommandLineFn>(QRV_FAKE_SET_COMMAND_LINE);
    ASSERT_NE(nullptr, setCommandLine);
    setCommandLine(c.commandLine.c_str());
    server.StartServer();
    Log lines;
    for (const std::string &line : qrvtest::LogMessages(server)) {
      if (line.find("Command line:") != std::string::npos) lines.push_back(line);
    }
    EXPECT_EQ(c.lines, lines);
    for (const auto &[name, value] : c.values) {
      const cvar_t *variable = server.engine().FindCvar(name);
      ASSERT_NE(nullptr, variable) << name;
      EXPECT_EQ(value, variable->string) << name;
    }
    EXPECT_EQ(Log{}, qrvtest::QueuedCommands(server));
    EXPECT_EQ(Log{}, server.Faults());
  }
}

}  // namespace

namespace {

// The timer resolution asked for at attach is the command line's, not a first fixed 3 ms that the
// first period's end would correct only 4 seconds later.
TEST(CommandLine, TimerResolutionFromTheCommandLineHoldsFromAttach) {
  struct Case {
    const char *commandLine;
    Log events;  // the timer's begin and end calls up to the end of attach
  };
  const Case cases[] = {
      {"hlds -game cstrike", {"begin 3"}},
      {"hlds +qrv_vemtark_sleepsm 7", {"begin 3", "end 3", "begin 7"}},
      {"hlds +qrv_vemtark_sleepsm 30", {"begin 3", "end 3", "begin 10"}},
  };
  for (const Case &c : cases) {
    SCOPED_TRACE(c.commandLine);
    emu::Session server(qrvtest::TestBuild());
    ASSERT_TRUE(server.metamod().Load(server.PluginPath()));
    const qrvtest::FakePlatform fake(server.metamod().library());
    fake.SetCommandLine(c.commandLine);
    ASSERT_TRUE(server.Attach());
    EXPECT_EQ(c.events, fake.TimerEvents());
    EXPECT_TRUE(Log{} == server.Faults());
  }
}

}  // namespace
