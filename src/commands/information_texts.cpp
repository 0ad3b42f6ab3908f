// The texts of the information commands. The operator compares them with what the console
// shows, so they stay here as written, tabs, blanks and spelling included.
#include "commands/information_texts.h"

#include <cstdio>

#include "base/build_number.h"
#include "base/console.h"
#include "base/globals.h"
#include "platform/platform.h"

namespace {

const char kBuildOptimization[] = "Debug";
const char kBuildConfiguration[] = "Debug Build";
const char kCompiler[] = "Microsoft Visual Studio 2008 (devenv.exe)";
const char kQrvInterfaceVersion[] = "1.0d";

const char *const kHelpLines[] = {
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

}  // namespace

void PrintAboutRecord() {
  // "Program OS" names the system this binary was built for, e.g. "Win32 (32-bit)".
  char szProgramOs[32];
  std::snprintf(szProgramOs, sizeof(szProgramOs), "%s (%d-bit)", platform::kBuildSystemName,
                platform::kBuildBits);
  ConsolePrint(
      "------------------------------------------------\n"
      "Name: %s\n"
      "WeB Site: %s\n"
      "Version: %s (Build: %u)\n"
      "Optimization: %s\n"
      "Builded by: %s\n"
      "Compiled: %s, %s +300 (GMT)\n"
      "Optimization: %s\n"
      "Meta-Interface Version: %s\n"
      "Compiled by: %s\n"
      "QRV-Interface Version: %s\n"
      "Program OS: %s\n"
      "------------------------------------------------",
      kPluginName, kPluginUrl, kPluginVersion, static_cast<unsigned>(BuildNumber()),
      kBuildOptimization, kPluginAuthor, kBuildDate, kBuildTime, kBuildConfiguration,
      META_INTERFACE_VERSION, kCompiler, kQrvInterfaceVersion, szProgramOs);
}

void PrintHelpList() {
  for (const char *line : kHelpLines) ConsolePrint("%s", line);
}

void PrintInformationBanner() {
  ConsolePrint(
      "---------------------------------------------------------------\n"
      "| QRV Vem-Tark %s (%s). Build %u. \t\t\t\t\t\t\t| \n"
      "| Created by %s, Compiled %s +300 (GMT) \t\t\t\t\t\t| \n"
      "\n"
      "|  \t\t\tWARNING: DEBUG VERSION!\t\t\t\t\t\t\t| \n"
      "| QRV Vem-Tark is a Half-Life Metamod plug-in that speeds up  | \n"
      "| the work of a dedicated server and lowers the load that the | \n"
      "| server puts on its machine.                                 | \n"
      "| Free to use on any server. Do not sell it, and do not hand  | \n"
      "| out changed copies under its name.                          | \n"
      "| Report problems to dev@qrv-devteam.example.org or on the    | \n"
      "| forum at http://qrv-devteam.example.org/forum               | \n"
      "| Get the latest version at:                                  | \n"
      "| http://qrv-devteam.example.org                              | \n"
      "| \t\t\t\t\t\t\t\t\t\t\t\t\t\t\t| \n"
      "| Need for work:\t\t\t\t\t\t\t\t\t\t\t\t| \n"
      "| Metamod 1.18 or 1.19 \t\t\t\t\t    http://www.metamod.org | \n"
      "| AMX Mod X 1.7.xx or 1.8.xx\t\t\t\t\thttp://www.amxmodx.org | \n"
      "| \t\t\t\t\t\t\t\t\t\t\t\t\t\t\t| \n"
      "| Write Command: qrv_systems. It display all info about all   | \n"
      "| info about this systems (Versions). \t\t\t\t    \t| \n"
      "| Thank you for using QRV Vem-Tark!!!\t\t\t\t\t\t\t| \n"
      "---------------------------------------------------------------\n",
      kPluginName, kPluginUrl, static_cast<unsigned>(BuildNumber()), kPluginAuthor, kBuildDate);
}

void PrintSystemBanner() {
  // "Win32", "Linux" or "Win64": the same width, so the box keeps its shape.
  ConsolePrint(
      "---------------------------------------------------------------\n"
      "| \t\t        QRV Vem-Tark System info\t     \t\t\t| \n"
      "| Program for %s only. Program use:\t\t\t\t\t\t| \n"
      "| QRV  Interface v1.0d, QRV  CMD Engine v1.0 - by Core Team   | \n"
      "| QRV HPK v1.0a, QRV Model Checker v1.0 - by Tark Tools Group | \n"
      "| QRV CMD Client v1.0 - by Core Team                          | \n"
      "| Build number generator v1.0 - by the Vem Build Crew         | \n"
      "| FPS  System  v1.1a, CPU System v1.0 - by Tark Tools Group   | \n"
      "| QRV  Debug System v1.1 - by Core Team                       | \n"
      "| QRV Log system v 1.0a - by Core Team                        | \n"
      "| The rest was made by the developers of QRV Dev Team.        | \n"
      "---------------------------------------------------------------\n",
      platform::kBuildSystemName);
}
