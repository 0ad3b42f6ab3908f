// The information commands through the built binary: every text in full, tabs included, as the
// operator's console shows it.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "tests/plugin_fixture.h"

namespace {

using Texts = std::vector<std::string>;

// The platform the binary under test was built for, as its texts name it.
#if defined(_WIN64)
const char kSystem[] = "Win64";
#elif defined(_WIN32)
const char kSystem[] = "Win32";
#else
const char kSystem[] = "Linux";
#endif
const std::string kBits = std::to_string(sizeof(void *) * 8);

std::string Joined(const Texts &lines) {
  std::string text;
  for (const std::string &line : lines) text += line + "\n";
  return text;
}

const Texts kAbout = {
    "------------------------------------------------",
    "Name: QRV Vem-Tark",
    "WeB Site: http://qrv-devteam.example.org",
    "Version: 1.60.05A (Build: 1737)",
    "Optimization: Debug",
    "Builded by: QRV Dev Team",
    "Compiled: Oct 22 2008, 13:39:09 +300 (GMT)",
    "Optimization: Debug Build",
    "Meta-Interface Version: 5:13",
    "Compiled by: Microsoft Visual Studio 2008 (devenv.exe)",
    "QRV-Interface Version: 1.0d",
    std::string("Program OS: ") + kSystem + " (" + kBits + "-bit)",
    "------------------------------------------------",
};

const Texts kHelp = {
    "[QRV] Vem-Tark Commands:",
    "qrv_fps                        - Display current FPS.",
    "qrv_info                       - Display QRV Information.",
    "qrv_helpme                     - Display this message.",
    "qrv_systems                    - Display info about system.",
    "qrv_ticrate                    - Display current ticrate.",
    "qrv_vemtark_help               - Display this message.",
    "qrv_vemtark_about              - Display information about this plugin.",
    "qrv_vemtark_strengthening      - Inclusion of additional options.",
    "qrv_vemtark_version            - Display current version.",
    "qrv_vemtark_autofps            - Automatic server FPS.",
    "qrv_vemtark_sleepsm            - Minimum sleep time set to meta meta system.",
    "qrv_vemtark_join_msg           - Display connect message.",
    "qrv_vemtark_info               - Display connect message with server name and server website.",
    "qrv_vemtark_hostname           - Your ServeR Name.",
    "qrv_vemtark_website            - Your ServeR WeB SiTe adress.",
    "qrv_vemtark_sysrate            - Manual FPS installation.",
    "qrv_vemtark_cpu                - Inclusion CPU funtcion.",
    "qrv_vemtark_cpu_mspike         - CPU spike maximum. Time, which CPU level needs for changing "
    "CPU loading.",
    "qrv_vemtark_cpu_level          - CPU spike level. Level which CPU utilization needs to "
    "exceed.",
    "qrv_vemtark_cpu_timer          - CPU server meta minc. Amount timer will increment.",
    "qrv_vemtark_debug              - Activate debug mode.",
    "qrv_vemtark_premonitor_win     - Stabilization CPU of monitor for OS.",
    "qrv_vemtark_qrvbots_support    - QRV Bots v.3.0.0.0 FULL support.",
    "qrv_vemtark_hpk                - Enable or disable Hight ping kicker.",
    "qrv_vemtark_hpk_mping          - Value with which excess, player will be kicked.",
    "qrv_vemtark_hpk_tests          - Tests ping in one min.",
    "qrv_vemtark_hpk_checks         - Cheks ping in one min .",
    "qrv_vemtark_hpk_delay          - Delay to kick.",
    "qrv_vemtark_proc_mdl           - Models processing.",
    "qrv_vemtark_engine             - Engine. Automatical CVAR. Do not edit this!",
    "qrv_vemtark_engine_check       - Automatical CVAR. Do not edit this!",
    "qrv_vemtark_engine_test        - Automatical CVAR. Do not edit this!",
    "qrv_vemtark_sepd               - Automatical CVAR. Do not edit this!",
    "qrv_vemtark_xepd               - Automatical CVAR. Do not edit this!",
    "qrv_vemtark_yepd               - Automatical CVAR. Do not edit this!",
    "qrv_vemtark_zepd               - Automatical CVAR. Do not edit this!",
    "qrv_vemtark_fepd               - Automatical CVAR. Do not edit this!",
};

// The banner ends with a line break of its own, so a blank line follows it.
const Texts kInformation = {
    "---------------------------------------------------------------",
    "| QRV Vem-Tark QRV Vem-Tark (http://qrv-devteam.example.org). Build 1737. \t\t\t\t\t\t\t| ",
    "| Created by QRV Dev Team, Compiled Oct 22 2008 +300 (GMT) \t\t\t\t\t\t| ",
    "",
    "|  \t\t\tWARNING: DEBUG VERSION!\t\t\t\t\t\t\t| ",
    "| QRV Vem-Tark is a Half-Life Metamod plug-in that speeds up  | ",
    "| the work of a dedicated server and lowers the load that the | ",
    "| server puts on its machine.                                 | ",
    "| Free to use on any server. Do not sell it, and do not hand  | ",
    "| out changed copies under its name.                          | ",
    "| Report problems to dev@qrv-devteam.example.org or on the    | ",
    "| forum at http://qrv-devteam.example.org/forum               | ",
    "| Get the latest version at:                                  | ",
    "| http://qrv-devteam.example.org                              | ",
    "| \t\t\t\t\t\t\t\t\t\t\t\t\t\t\t| ",
    "| Need for work:\t\t\t\t\t\t\t\t\t\t\t\t| ",
    "| Metamod 1.18 or 1.19 \t\t\t\t\t    http://www.metamod.org | ",
    "| AMX Mod X 1.7.xx or 1.8.xx\t\t\t\t\thttp://www.amxmodx.org | ",
    "| \t\t\t\t\t\t\t\t\t\t\t\t\t\t\t| ",
    "| Write Command: qrv_systems. It display all info about all   | ",
    "| info about this systems (Versions). \t\t\t\t    \t| ",
    "| Thank you for using QRV Vem-Tark!!!\t\t\t\t\t\t\t| ",
    "---------------------------------------------------------------",
    "",
};

const Texts kSystemBanner = {
    "---------------------------------------------------------------",
    "| \t\t        QRV Vem-Tark System info\t     \t\t\t| ",
    "| Program for " + std::string(kSystem) + " only. Program use:\t\t\t\t\t\t| ",
    "| QRV  Interface v1.0d, QRV  CMD Engine v1.0 - by Core Team   | ",
    "| QRV HPK v1.0a, QRV Model Checker v1.0 - by Tark Tools Group | ",
    "| QRV CMD Client v1.0 - by Core Team                          | ",
    "| Build number generator v1.0 - by the Vem Build Crew         | ",
    "| FPS  System  v1.1a, CPU System v1.0 - by Tark Tools Group   | ",
    "| QRV  Debug System v1.1 - by Core Team                       | ",
    "| QRV Log system v 1.0a - by Core Team                        | ",
    "| The rest was made by the developers of QRV Dev Team.        | ",
    "---------------------------------------------------------------",
    "",
};

class Information : public ::testing::Test {
 protected:
  void SetUp() override {
    server_.StartServer();
    server_.engine().TakeConsole();
  }
  std::string Answer(const std::string &line) {
    server_.Command(line);
    return server_.engine().TakeConsole();
  }
  emu::Session server_;
};

TEST_F(Information, AboutRecordNamesTheBuildAndItsPlatform) {
  EXPECT_EQ(Joined(kAbout), Answer("qrv_vemtark_about"));
}

TEST_F(Information, BothHelpNamesPrintTheSameThirtyEightLines) {
  ASSERT_EQ(38u, kHelp.size());
  EXPECT_EQ(Joined(kHelp), Answer("qrv_vemtark_help"));
  EXPECT_EQ(Joined(kHelp), Answer("qrv_helpme"));
  EXPECT_EQ(Joined(kHelp), Answer("QRV_HelpMe with extra words"));
}

TEST_F(Information, InformationBannerWhateverTheCaseAndWithExtraWordsIgnored) {
  for (const char *line : {"qrv_info", "QRV_INFO", "qrv_info more words \"and a quote\""}) {
    SCOPED_TRACE(line);
    EXPECT_EQ(Joined(kInformation), Answer(line));
  }
}

TEST_F(Information, SystemBannerNamesThePlatformItWasBuiltFor) {
  EXPECT_EQ(Joined(kSystemBanner), Answer("qrv_systems"));
  EXPECT_EQ(Joined(kSystemBanner), Answer("QRV_Systems 1 2 3 4 5 6"));
}

TEST_F(Information, EveryRegisteredCommandHasAnAnswerOfItsOwn) {
  // Every command the plug-in registers (the list itself is checked by the hook tests).
  Texts names;
  for (const std::string &name : server_.engine().CommandNames()) {
    if (name != "exec" && name != "echo") names.push_back(name);
  }
  ASSERT_EQ(22u, names.size());
  for (const std::string &name : names) {
    SCOPED_TRACE(name);
    std::string answer = Answer(name);
    EXPECT_FALSE(answer.empty());
    EXPECT_EQ(std::string::npos, answer.find("Unknown command"));
  }
  EXPECT_TRUE(server_.Faults().empty());
}

}  // namespace
