#include "config/debug_modules.h"

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstring>

#include "base/ascii_text.h"
#include "base/console.h"
#include "base/file_handle.h"
#include "base/game_dir.h"
#include "base/plugin_log.h"
#include "base/reader.h"
#include "base/switch_pattern.h"
#include "platform/platform.h"

namespace {

// A module path has at most 255 characters; a name that does not fit counts as not found.
constexpr size_t kPathSize = 256;
const char kDebugTitle[] = "Debug";
const char kVersionKey[] = "version";
constexpr size_t kVersionKeyLength = sizeof(kVersionKey) - 1;
// "version" and one separator character, then the version text ("version=1.0").
constexpr size_t kVersionTextOffset = kVersionKeyLength + 1;

int32_t g_iDebugMode = 0;
int32_t g_iMessageBoxCheck = 0;
int32_t g_iCodeCheck = 0;

// The module check and qrv_debug read the same list.
bool BuildListPath(char *path) {
  return BuildAddonPath(path, kPathSize, "configs", "debug.ini", "");
}

// A name the server would split when it runs "qrv_debug <name>" (a command separator, a quote)
// or that reaches outside the dlls folder is no module of ours: reported as not found, never
// queued.
bool IsSafeModuleName(const char *name) {
  return std::strpbrk(name, ";\"/\\") == nullptr && std::strstr(name, "..") == nullptr;
}

bool BuildModulePath(char *path, const char *name) {
  return IsSafeModuleName(name) && BuildAddonPath(path, kPathSize, "dlls", name, ".lib");
}

bool IsAsciiLetterOrDigit(char c) {
  return (c >= '0' && c <= '9') || (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z');
}

void SwitchDebugModeOn(const void *) {
  g_iDebugMode = 1;
  PrefixedConsolePrint("%s", "QRV Debug enabled.");
  if (RunCommandFile("debug.cfgs", "Debug.cfgs file not found.")) {
    platform::ShowMessageBox("Check one", kDebugTitle, platform::kMessageBoxOk);
    char listPath[kPathSize];
    if (BuildListPath(listPath) && CheckDebugModules(listPath)) {
      platform::ShowMessageBox("Debug Work Now", kDebugTitle, platform::kMessageBoxOk);
      PrefixedConsolePrint("%s", "Debug  loading");
    } else {
      PrefixedConsolePrint("%s", "Debug cant find debug.ini!");
      IssueServerCommand("%s", "qrv_vemtark_debug 0");
    }
  }
  IssueServerCommand("%s", "meta_debug 8");
  WriteLog(true, LOG_LEVEL_LOG, "%s", "Debug enabled.");
}

void SwitchDebugModeOff(const void *) {
  g_iDebugMode = 0;
  PrefixedConsolePrint("%s", "QRV Debug disabled.");
  IssueServerCommand("%s", "meta_level 1");
  IssueServerCommand("%s", "meta_debug 1");
  IssueServerCommand("%s", "amx_debug 2");
  WriteLog(true, LOG_LEVEL_WARNING, "%s", "Debug disabled.");
}

// One step of a status series: a LOG line, then a box titled "Debug".
struct StatusStep {
  const char *logLine;
  const char *boxText;
};

// A status-box switch: it examines nothing and always reports the same statuses.
struct StatusSeries {
  int32_t *flag;
  const char *enabled;   // printed and logged
  const char *disabled;  // printed and logged
  const char *alreadyEnabled;
  const char *alreadyDisabled;
  const StatusStep *steps;
  size_t stepCount;
  const char *finished;    // logged after the last box
  const char *offCommand;  // queued: the switch turns itself off when the engine runs it
};

const StatusStep kMessageBoxSteps[] = {
    {"DEBUG: DLL_ENTRYPOINT  Checking....", "DLL_ENTRYPOINT = Status 1"},
    {"DEBUG: Meta Attach  Checking....", "Meta Attach = Status 1"},
    {"DEBUG: Meta Init  Checking....", "Meta Init = Status 1"},
    {"DEBUG: Meta Detach  Checking....", "Meta Detach = Status 1"},
    {"DEBUG: Meta Query  Checking....", "Meta Query = Status 1"},
    {"DEBUG: GiveFnptrsToDll Checking....", "GiveFnptrsToDll = Status 1"},
};

const StatusStep kCodeCheckSteps[] = {
    {"DEBUG: Server_GetBlendingInterface  Checking....", "Server_GetBlendingInterface = Status 1"},
    {"DEBUG: GetNewDLLFunctions  Checking....", "GetNewDLLFunctions = Status 1"},
    {"DEBUG: GetEntityAPI2_Post  Checking....", "GetEntityAPI2_Post = Status 1"},
    {"DEBUG: GetEntityAPI2  Checking....", "GetEntityAPI2 = Status 1"},
    {"DEBUG: StartFrame, StartFrameB Checking....", "StartFrame, StartFrameB  = Status 1"},
    {"DEBUG: ServerActivate, ServerDeactivate Checking....",
     "ServerActivate, ServerDeactivate = Status 1"},
    {"DEBUG: cvar_t Commands Checking....", "cvar_t Commands = Status 2"},
};

const StatusSeries kMessageBoxSeries = {
    &g_iMessageBoxCheck,
    "DEBUG: BOX enabled.",
    "DEBUG: BOX disabled.",
    "DEBUG: BOX Already enabled!",
    "DEBUG: BOX  Already disabled!",
    kMessageBoxSteps,
    sizeof(kMessageBoxSteps) / sizeof(kMessageBoxSteps[0]),
    "DEBUG General checkingg Finished: 0-Errors, 0-Warnings.",
    "messagebox 0",
};

const StatusSeries kCodeCheckSeries = {
    &g_iCodeCheck,
    "DEBUG: Code Check enabled.",
    "DEBUG: Code Check disabled.",
    "DEBUG: Code Check Already enabled!",
    "DEBUG: Code Check  Already disabled!",
    kCodeCheckSteps,
    sizeof(kCodeCheckSteps) / sizeof(kCodeCheckSteps[0]),
    "DEBUG General checkingg Finished: 0-Errors, 1-Warnings.",
    "check_code 0",
};

void TurnStatusSeriesOn(const void *context) {
  const StatusSeries &series = *static_cast<const StatusSeries *>(context);
  *series.flag = 1;
  PrefixedConsolePrint("%s", series.enabled);
  WriteLog(true, LOG_LEVEL_LOG, "%s", series.enabled);
  for (size_t index = 0; index < series.stepCount; ++index) {
    WriteLog(true, LOG_LEVEL_LOG, "%s", series.steps[index].logLine);
    platform::ShowMessageBox(series.steps[index].boxText, kDebugTitle, platform::kMessageBoxOk);
  }
  WriteLog(true, LOG_LEVEL_LOG, "%s", series.finished);
  IssueServerCommand("%s", series.offCommand);
}

void TurnStatusSeriesOff(const void *context) {
  const StatusSeries &series = *static_cast<const StatusSeries *>(context);
  *series.flag = 0;
  PrefixedConsolePrint("%s", series.disabled);
  WriteLog(true, LOG_LEVEL_LOG, "%s", series.disabled);
}

void RunStatusSwitch(const StatusSeries &series) {
  const SwitchPattern pattern = {series.alreadyEnabled, series.alreadyDisabled, TurnStatusSeriesOn,
                                 TurnStatusSeriesOff};
  RunSwitchPattern(*series.flag, pattern, &series);
}

}  // namespace

void DebugModeCommand() {
  const SwitchPattern pattern = {"QRV Debug already enabled.", "QRV debug already disabled.",
                                 SwitchDebugModeOn, SwitchDebugModeOff};
  RunSwitchPattern(g_iDebugMode, pattern, nullptr);
}

void MessageBoxCheckCommand() { RunStatusSwitch(kMessageBoxSeries); }

void CodeCheckCommand() { RunStatusSwitch(kCodeCheckSeries); }

bool CheckDebugModules(const char *listPath) {
  FileHandle list;
  if (listPath == nullptr || !list.Open(listPath, "rt")) {
    PrefixedConsolePrint("%s", "Debug.ini does not exists! Please check files...");
    IssueServerCommand("%s", "qrv_vemtark_debug 0");
    WriteLog(true, LOG_LEVEL_LOG, "%s", "Debug.ini does not exists! Please check files...");
    return false;
  }
  PrefixedConsolePrint("%s", "Loading Debug...");
  WriteLog(true, LOG_LEVEL_LOG, "%s", "Loading Debug...");
  PrefixedConsolePrint("%s", "Checking Debug...");

  int listed = 0;
  int found = 0;
  char szWord[kWordBufferSize];
  while (list.ReadWord(szWord, kWordCapacity)) {
    // Comments and anything else that cannot be a module name are passed over.
    if (!IsAsciiLetterOrDigit(szWord[0])) continue;
    ++listed;
    char szPath[kPathSize];
    FileHandle module;
    if (BuildModulePath(szPath, szWord) && module.Open(szPath, "rb")) {
      ++found;
      int kilobytes = module.GetSize() / 1024;
      PrefixedConsolePrint("Debug file: \"%s\" Size: %dkb", szWord, kilobytes);
      WriteLog(true, LOG_LEVEL_LOG, "Debug file: \"%s\" Size: %dkb", szWord, kilobytes);
      IssueServerCommand("qrv_debug %s", szWord);
      module.Close();
    } else {
      PrefixedConsolePrint("Debug file %s not found...", szWord);
      WriteLog(true, LOG_LEVEL_LOG, "Debug file %s not found...", szWord);
    }
  }
  list.Close();

  if (listed == 0) {
    PrefixedConsolePrint("%s", "All engines disabled or missing..");
    WriteLog(true, LOG_LEVEL_LOG, "%s", "All engines disabled or missing.");
    return false;
  }
  if (found < listed) {
    PrefixedConsolePrint("%s", "Some of engine do not exist. Check debug.ini");
    WriteLog(true, LOG_LEVEL_LOG, "%s", "Some of engine do not exist. Check modules.ini.");
    return false;
  }
  PrefixedConsolePrint("%s", "All engines loaded.");
  WriteLog(true, LOG_LEVEL_LOG, "%s", "All engines loaded.");
  return true;
}

void ShowDebugModule(const char *name) {
  if (name == nullptr || name[0] == '\0') {
    PrefixedConsolePrint("%s", "Must specify name of debug module");
    return;
  }
  char szPath[kPathSize];
  FileHandle list;
  if (!BuildListPath(szPath) || !list.Open(szPath, "rt")) {
    PrefixedConsolePrint("%s", "Cannot find debug.ini");
    return;
  }
  bool listed = false;
  char mlbrname[kWordBufferSize];
  while (!listed && list.ReadWord(mlbrname, kWordCapacity)) {
    listed = EqualsIgnoringCase(mlbrname, name);
  }
  list.Close();
  if (!listed) {
    PrefixedConsolePrint("Debug file %s not listed in debug.ini!", name);
    return;
  }

  // The path is built from the name as typed, not as the list writes it.
  FileHandle module;
  if (!BuildModulePath(szPath, name) || !module.Open(szPath, "rt")) {
    PrefixedConsolePrint("Cannot open Debug library %s", name);
    WriteLog(true, LOG_LEVEL_LOG, "Cannot open Debug library %s", name);
    return;
  }
  char szWord[kWordBufferSize];
  while (module.ReadWord(szWord, kWordCapacity)) {
    if (!EqualsIgnoringCase(szWord, kVersionKey, kVersionKeyLength)) continue;
    const char *version =
        std::strlen(szWord) > kVersionTextOffset ? szWord + kVersionTextOffset : "";
    PrefixedConsolePrint("%s version: %s", name, version);
    WriteLog(true, LOG_LEVEL_LOG, "%s version: %s", name, version);
    break;
  }
  module.Close();
}
