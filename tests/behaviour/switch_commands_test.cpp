// The on/off console commands as an operator types them: answers, log lines, queued commands.
#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <vector>

#include "tests/plugin_fixture.h"

namespace {

using Texts = std::vector<std::string>;

struct SwitchRow {
  const char *command;
  const char *on;
  const char *off;
  const char *alreadyOn;
  const char *alreadyOff;
  const char *logOn;
  const char *logOff;
};

const SwitchRow kSwitches[] = {
    {"qrv_vemtark_strengthening", "QRV strengthening enabled.", "QRV strengthening disabled.",
     "QRV strengthening already enabled.", "QRV strengthening already disabled.",
     "Strengthening enabled.", "Strengthening disabled."},
    {"qrv_vemtark_premonitor_win", "QRV Vem-Tark Preformance Monitor for Windows Vista included.",
     "QRV Vem-Tark Preformance Monitor for Windows XP included.",
     "QrV Vem-Tark Preformance Monitor for Windows Vista already included.",
     "QrV Vem-Tark Preformance Monitor for Windows XP already included.",
     "Preformance Monitor for Windows Vista included.",
     "Preformance Monitor for Windows XP included."},
    {"qrv_vemtark_qrvbots_support", "QRV Vem-Tark QRV Bots Support enabled.",
     "QRV Vem-Tark QRV Bots Support disabled.", "Qrv Vem-Tark QRV Bots Support already enabled.",
     "QrV Vem-Tark QRV Bots Support already disabled.", "QRV Bots Support enabled.",
     "QRV Bots Support disabled."},
    {"qrv_vemtark_engine_check", "QRV Vem-Tark Engine checking enabled",
     "QRV Vem-Tark Engine checking disabled.", "QrV Engine checking already enabled.",
     "QRV Vem-Tark Engine checking already disabled.", "QRV Engine checking enabled.",
     "Engine checking disabled."},
    {"qrv_vemtark_engine_test", "QRV Vem-Tark Engine test enabled.",
     "QRV Vem-Tark Engine test disabled.", "QrV Vem-Tark Engine test already enabled.",
     "QRV Vem-Tark Engine test already disabled.", "Engine test enabled.", "Engine test disabled."},
    {"qrv_vemtark_sepd", "QRV Vem-Tark S EPD enabled.", "QRV Vem-Tark S EPD disabled.",
     "QRV Vem-Tark S EPD already enabled.", "QRV Vem-Tark S EPD disabled.", "S EPD enabled.",
     "S EPD disabled."},
    {"qrv_vemtark_xepd", "QRV Vem-Tark X EPD  enabled.", "QRV Vem-Tark X EPD disabled.",
     "QrV Vem-Tark X EPD already enabled.", "QrV Vem-Tark X EPD already disabled.",
     "X EPD enabled.", "X EPD disabled."},
    {"qrv_vemtark_yepd", "QRV Vem-Tark Y EPD enabled.", "QRV Vem-Tark Y EPD disabled.",
     "Qrv Vem-Tark Y EPD already enabled.", "QrV Vem-Tark Y EPD already disabled.",
     "Y EPD enabled.", "Y EPD disabled."},
    {"qrv_vemtark_zepd", "QRV Vem-Tark Z EPD enabled.", "QRV Vem-Tark Z EPD disabled.",
     "Qrv Vem-Tark Z EPD already enabled.", "QrV Vem-Tark Z EPD already disabled.",
     "Z EPD enabled.", "Z EPD disabled."},
    {"qrv_vemtark_fepd", "QRV Vem-Tark F EPD enabled.", "QRV Vem-Tark F EPD disabled.",
     "Qrv Vem-Tark F EPD already enabled.", "QrV Vem-Tark F EPD already disabled.",
     "F EPD enabled.", "F EPD disabled."},
    {"qrv_vemtark_hpk", "QRV Vem-Tark HPK enabled.", "QRV Vem-Tark HPK disabled.",
     "Qrv Vem-Tark HPK already enabled.", "QrV Vem-Tark HPK already disabled.", "HPK enabled.",
     "HPK disabled."},
};

const char kStamp[] = "[12:34:56] ";

class Switches : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(server_.Attach());
    qrvtest::FakePlatform fake(server_.metamod().library());
    ASSERT_TRUE(fake.Resolved());
    fake.SetLocalTime(12, 34, 56);
    server_.StartServer();
    server_.engine().TakeConsole();
  }
  void TearDown() override { EXPECT_EQ(Texts{}, server_.Faults()); }

  // What the server console shows for one typed line, and what the line queued.
  std::string Type(const std::string &line) {
    server_.engine().ClearServerCommands();
    server_.Command(line);
    return server_.engine().TakeConsole();
  }
  Texts Queued() const { return qrvtest::QueuedCommands(server_); }

  emu::Session server_{qrvtest::TestBuild()};
};

std::string Answer(const char *text) { return std::string("[QRV Vem-Tark] ") + text + "\n"; }
std::string LogLine(const char *text) { return std::string(kStamp) + "[QRV] LOG: " + text + "\n"; }

TEST_F(Switches, EachSwitchAnswersLogsAndRemembersItsState) {
  for (const SwitchRow &row : kSwitches) {
    SCOPED_TRACE(row.command);
    const std::string name = row.command;
    // What the actions add (a missing strengthening file, the kicker's command that no
    // AMX Mod X answers here) is checked in the actions' own tests.
    auto withoutActionLines = [](std::string console) {
      std::string kept;
      for (const std::string &line : qrvtest::Lines(console)) {
        if (line.find("file not found") == std::string::npos &&
            line.find("amx_pausecfg") == std::string::npos) {
          kept += line + "\n";
        }
      }
      return kept;
    };
    EXPECT_EQ(Answer(row.alreadyOff), Type(name + " 0"));
    EXPECT_EQ(Answer(row.on) + LogLine(row.logOn), withoutActionLines(Type(name + " 1")));
    EXPECT_EQ(Answer(row.alreadyOn), Type(name + " 1"));
    EXPECT_EQ(Answer(row.off) + LogLine(row.logOff), withoutActionLines(Type(name + " 0")));
    EXPECT_EQ(Answer(row.alreadyOff), Type(name + " 0"));
  }
}

TEST_F(Switches, AnythingButExactlyZeroOrOneIsInvalidAndChangesNothing) {
  for (const char *argument : {"2", "", "\" 1\"", "01", "\"1 \"", "on", "-1", "1.0"}) {
    SCOPED_TRACE(argument);
    EXPECT_EQ(Answer("Invalid value!"), Type(std::string("qrv_vemtark_hpk ") + argument));
    EXPECT_EQ(Texts{}, Queued());
  }
  EXPECT_EQ(Answer("QrV Vem-Tark HPK already disabled."), Type("qrv_vemtark_hpk 0"));
  // Extra words after the value do not matter.
  EXPECT_EQ(Answer("QRV Vem-Tark S EPD enabled.") + LogLine("S EPD enabled."),
            Type("qrv_vemtark_sepd 1 extra"));
}

TEST_F(Switches, TheKickerIsResumedAndPausedOnlyOnAChange) {
  Type("qrv_vemtark_hpk 1");
  EXPECT_EQ(Texts{"amx_pausecfg enable qrv_vemtark.amxx"}, Queued());
  Type("qrv_vemtark_hpk 1");
  EXPECT_EQ(Texts{}, Queued());
  std::string console = Type("qrv_vemtark_hpk 0");
  EXPECT_EQ(Texts{"amx_pausecfg pause qrv_vemtark.amxx"}, Queued());
  // The answer and the log line come before the kicker's command runs.
  EXPECT_EQ(0u, console.find(Answer("QRV Vem-Tark HPK disabled.") + LogLine("HPK disabled.") +
                             "Unknown command: amx_pausecfg\n"));
}

TEST_F(Switches, StrengtheningRunsItsFilesWordByWordAfterAnsweringAndLogging) {
  server_.WriteFile("cstrike/addons/qrv_vemtark/configs/strengthening_on.xdsg",
                    "sv_maxrate 25000\n/comment\necho %s%n\n");
  std::string console = Type("qrv_vemtark_strengthening 1");
  EXPECT_EQ((Texts{"sv_maxrate", "25000", "echo", "%s%n"}), Queued());
  EXPECT_EQ(0u, console.find(Answer("QRV strengthening enabled.") +
                             LogLine("Strengthening enabled.") + "Unknown command: sv_maxrate"))
      << console;

  // The off file is missing: the state changes all the same, and the message comes before the
  // command's own log line.
  console = Type("qrv_vemtark_strengthening 0");
  EXPECT_EQ(Texts{}, Queued());
  EXPECT_EQ(Answer("QRV strengthening disabled.") + kStamp +
                "[QRV] ERROR: strengthening_off.xdsg file not found.\n" +
                LogLine("Strengthening disabled."),
            console);
  EXPECT_EQ(Answer("QRV strengthening already disabled."), Type("qrv_vemtark_strengthening 0"));

  // A missing on file leaves the switch on: the next "1" does not try the file again.
  std::remove(
      (server_.GameDirPath() + "/addons/qrv_vemtark/configs/strengthening_on.xdsg").c_str());
  EXPECT_NE(std::string::npos,
            Type("qrv_vemtark_strengthening 1").find("strengthening_on.xdsg file not found."));
  EXPECT_EQ(Answer("QRV strengthening already enabled."), Type("qrv_vemtark_strengthening 1"));
}

}  // namespace
