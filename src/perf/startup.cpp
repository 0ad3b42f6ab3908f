#include "perf/startup.h"

#include <cmath>
#include <cstdio>

#include "base/command_line.h"
#include "base/globals.h"
#include "base/plugin_log.h"

VariableBindings g_Bindings;
int32_t g_iCurrentTickRate = 100;

namespace {

constexpr int kPublished = FCVAR_SERVER | FCVAR_EXTDLL | FCVAR_UNLOGGED;
constexpr int kPublic = FCVAR_SERVER | FCVAR_EXTDLL;
constexpr int kExternal = FCVAR_EXTDLL;

// Handed over by address. Standalone the engine links them into its list and keeps using them;
// under Metamod the engine gets Metamod's copies of them.
cvar_t g_ConsoleVariables[] = {
    {"qrv_fps", "100", kPublished, 100.0f, nullptr},
    {"qrv_ticrate", "100", kPublished, 100.0f, nullptr},
    {"qrv_vemtark_autofps", "100", kExternal, 100.0f, nullptr},
    {"qrv_vemtark_sleepsm", kSleepSmDefaultText, kExternal, static_cast<float>(kSleepSmDefault),
     nullptr},
    {"qrv_vemtark_join_msg", "1", kExternal, 1.0f, nullptr},
    {"qrv_vemtark_info", "1", kExternal, 1.0f, nullptr},
    {"qrv_vemtark_sysrate", "0", kExternal, 0.0f, nullptr},
    {"qrv_vemtark_cpu", "0", kExternal, 0.0f, nullptr},
    {"qrv_vemtark_cpu_mspike", "3", kExternal, 3.0f, nullptr},
    {"qrv_vemtark_cpu_spikelevel", "75", kExternal, 75.0f, nullptr},
    {"qrv_vemtark_cpu_timer", "2", kExternal, 2.0f, nullptr},
    {"qrv_vemtark_version", "1.60.05A", kPublic, 0.0f, nullptr},
    {"qrv_vemtark_engine", "0", kExternal, 0.0f, nullptr},
    {"qrv_vemtark_proc_mdl", "0", kExternal, 0.0f, nullptr},
    {"qrv_vemtark_hitch_ms", kHitchMsDefaultText, kExternal, static_cast<float>(kHitchMsDefault),
     nullptr},
    {"qrv_frametime_max", "0", kPublished, 0.0f, nullptr},
    {"qrv_hitches", "0", kPublished, 0.0f, nullptr},
    {"qrv_vemtark_pace", "0", kExternal, 0.0f, nullptr},
    {"qrv_vemtark_serverlog", "1", kExternal, 1.0f, nullptr},
    {"qrv_vemtark_anatomy", "1", kExternal, 1.0f, nullptr},
    {"qrv_vemtark_idle_fps", "0", kExternal, 0.0f, nullptr},
    {nullptr, nullptr, 0, 0.0f, nullptr},
};

const char kSeparator[] = "=============-----------------------------=============\n";
const char kProductLine[] =
    "QRV Vem-Tark v1.60.05A - The Counter-Strike Dedicated Server Anti-ping plugin.";

cvar_t *Bind(const char *name) {
  cvar_t *variable =
      g_engfuncs.pfnCVarGetPointer != nullptr ? g_engfuncs.pfnCVarGetPointer(name) : nullptr;
  if (variable == nullptr) {
    WriteLog(true, LOG_LEVEL_ERROR, "Console variable %s not found; its work is skipped.", name);
  }
  return variable;
}

// A rate given on the server's command line wins over sys_ticrate in engines that read it every
// frame, and is overwritten by start-up in those that only take it as the first value: either
// way the operator's option and this plug-in work against each other.
void WarnAboutCommandLineTickRate() {
  const char *value = CommandLineValueOf("-sys_ticrate");
  if (value == nullptr) return;
  WriteLog(true, LOG_LEVEL_WARNING,
           "The server was started with -sys_ticrate %.32s, but QRV Vem-Tark sets the tick rate "
           "itself: drop -sys_ticrate from the command line.",
           *value != '\0' ? value : "(no value)");
}

// Named by the table itself, so that every variable it lists can be given on the command line.
void ApplyCommandLineSettings() {
  constexpr int kRecords = static_cast<int>(sizeof(g_ConsoleVariables) / sizeof(cvar_t));
  const char *names[kRecords];
  int count = 0;
  for (const cvar_t *record = g_ConsoleVariables; record->name != nullptr; ++record) {
    names[count++] = record->name;
  }
  ApplyCommandLineValues(names, count);
}

}  // namespace

void SetVariableString(cvar_t *variable, const char *text) {
  if (variable == nullptr || g_engfuncs.pfnCvar_DirectSet == nullptr) return;
  g_engfuncs.pfnCvar_DirectSet(variable, const_cast<char *>(text));
}

void SetVariableNumber(cvar_t *variable, long long number) {
  char text[64];
  std::snprintf(text, sizeof(text), "%lld", number);
  SetVariableString(variable, text);
}

void RefreshVersion() { SetVariableString(g_Bindings.version, kPluginVersion); }

int32_t VariableToInt32(const cvar_t *variable) {
  if (variable == nullptr) return 0;
  float value = variable->value;
  if (std::isnan(value)) return 0;
  if (value >= 2147483648.0f) return INT32_MAX;
  if (value <= -2147483648.0f) return INT32_MIN;
  return static_cast<int32_t>(value);
}

void RunStartup() {
  WriteLog(true, LOG_LEVEL_LOG, "%s, %s, %s", kProductLine, kBuildDate, kBuildDate);
  WriteLog(true, LOG_LEVEL_LOG, "   %s", kPluginAuthor);
  WriteLog(true, LOG_LEVEL_LOG, "   %s", kPluginUrl);
  WriteLog(true, LOG_LEVEL_LOG, "Compiled: %s, %s +300 (GMT)", kBuildDate, kBuildTime);

  for (cvar_t *record = g_ConsoleVariables; record->name != nullptr; ++record) {
    if (g_engfuncs.pfnCVarRegister != nullptr) g_engfuncs.pfnCVarRegister(record);
  }
  ApplyCommandLineSettings();

  g_Bindings.fps = Bind("qrv_fps");
  g_Bindings.ticrate = Bind("qrv_ticrate");
  g_Bindings.autoFps = Bind("qrv_vemtark_autofps");
  g_Bindings.sleepSm = Bind("qrv_vemtark_sleepsm");
  g_Bindings.joinMsg = Bind("qrv_vemtark_join_msg");
  g_Bindings.info = Bind("qrv_vemtark_info");
  g_Bindings.sysRate = Bind("qrv_vemtark_sysrate");
  g_Bindings.version = Bind("qrv_vemtark_version");
  g_Bindings.sysTicrate = Bind("sys_ticrate");
  g_Bindings.hitchMs = Bind("qrv_vemtark_hitch_ms");
  g_Bindings.frametimeMax = Bind("qrv_frametime_max");
  g_Bindings.hitches = Bind("qrv_hitches");
  g_Bindings.pace = Bind("qrv_vemtark_pace");
  g_Bindings.serverLog = Bind("qrv_vemtark_serverlog");
  g_Bindings.anatomy = Bind("qrv_vemtark_anatomy");
  g_Bindings.idleFps = Bind("qrv_vemtark_idle_fps");

  PrefixedConsolePrint("%s", kSeparator);
  PrefixedConsolePrint(" %s %s\n", kProductLine, "Made by QRV Dev Team; free for every server.");
  PrefixedConsolePrint("%s", kSeparator);

  if (g_Bindings.sysTicrate != nullptr) {
    g_Bindings.sysTicrate->flags |= FCVAR_SERVER | FCVAR_UNLOGGED;
    SetVariableString(g_Bindings.sysTicrate, "100.0");
  }
  g_iCurrentTickRate = 100;
  ClearPlayerPresence();
  WarnAboutCommandLineTickRate();
}
