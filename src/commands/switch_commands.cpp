#include "commands/switch_commands.h"

#include <cstdint>

#include "base/console.h"
#include "base/plugin_log.h"
#include "base/reader.h"
#include "base/switch_pattern.h"

namespace {

struct SwitchTexts {
  const char *onAnswer;
  const char *offAnswer;
  const char *alreadyOnAnswer;
  const char *alreadyOffAnswer;
  const char *onLog;
  const char *offLog;
  void (*onAction)();  // null: the switch only keeps its state
  void (*offAction)();
};

void RunStrengtheningOn() {
  RunCommandFile("strengthening_on.xdsg", "strengthening_on.xdsg file not found.");
}

void RunStrengtheningOff() {
  RunCommandFile("strengthening_off.xdsg", "strengthening_off.xdsg file not found.");
}

// The kicking itself is an AMX Mod X script; the plug-in only resumes and pauses it.
void ResumeHighPingKicker() { IssueServerCommand("%s", "amx_pausecfg enable qrv_vemtark.amxx"); }

void PauseHighPingKicker() { IssueServerCommand("%s", "amx_pausecfg pause qrv_vemtark.amxx"); }

enum SwitchIndex {
  kStrengthening,
  kPremonitorWin,
  kQrvBotsSupport,
  kEngineCheck,
  kEngineTest,
  kSEpd,
  kXEpd,
  kYEpd,
  kZEpd,
  kFEpd,
  kHighPingKicker,
  kSwitchCount,
};

// The operator sees these texts exactly as written, irregular letter case and blanks included.
const SwitchTexts kSwitches[kSwitchCount] = {
    {"QRV strengthening enabled.", "QRV strengthening disabled.",
     "QRV strengthening already enabled.", "QRV strengthening already disabled.",
     "Strengthening enabled.", "Strengthening disabled.", RunStrengtheningOn, RunStrengtheningOff},
    {"QRV Vem-Tark Preformance Monitor for Windows Vista included.",
     "QRV Vem-Tark Preformance Monitor for Windows XP included.",
     "QrV Vem-Tark Preformance Monitor for Windows Vista already included.",
     "QrV Vem-Tark Preformance Monitor for Windows XP already included.",
     "Preformance Monitor for Windows Vista included.",
     "Preformance Monitor for Windows XP included.", nullptr, nullptr},
    {"QRV Vem-Tark QRV Bots Support enabled.", "QRV Vem-Tark QRV Bots Support disabled.",
     "Qrv Vem-Tark QRV Bots Support already enabled.",
     "QrV Vem-Tark QRV Bots Support already disabled.", "QRV Bots Support enabled.",
     "QRV Bots Support disabled.", nullptr, nullptr},
    {"QRV Vem-Tark Engine checking enabled", "QRV Vem-Tark Engine checking disabled.",
     "QrV Engine checking already enabled.", "QRV Vem-Tark Engine checking already disabled.",
     "QRV Engine checking enabled.", "Engine checking disabled.", nullptr, nullptr},
    {"QRV Vem-Tark Engine test enabled.", "QRV Vem-Tark Engine test disabled.",
     "QrV Vem-Tark Engine test already enabled.", "QRV Vem-Tark Engine test already disabled.",
     "Engine test enabled.", "Engine test disabled.", nullptr, nullptr},
    {"QRV Vem-Tark S EPD enabled.", "QRV Vem-Tark S EPD disabled.",
     "QRV Vem-Tark S EPD already enabled.", "QRV Vem-Tark S EPD disabled.", "S EPD enabled.",
     "S EPD disabled.", nullptr, nullptr},
    {"QRV Vem-Tark X EPD  enabled.", "QRV Vem-Tark X EPD disabled.",
     "QrV Vem-Tark X EPD already enabled.", "QrV Vem-Tark X EPD already disabled.",
     "X EPD enabled.", "X EPD disabled.", nullptr, nullptr},
    {"QRV Vem-Tark Y EPD enabled.", "QRV Vem-Tark Y EPD disabled.",
     "Qrv Vem-Tark Y EPD already enabled.", "QrV Vem-Tark Y EPD already disabled.",
     "Y EPD enabled.", "Y EPD disabled.", nullptr, nullptr},
    {"QRV Vem-Tark Z EPD enabled.", "QRV Vem-Tark Z EPD disabled.",
     "Qrv Vem-Tark Z EPD already enabled.", "QrV Vem-Tark Z EPD already disabled.",
     "Z EPD enabled.", "Z EPD disabled.", nullptr, nullptr},
    {"QRV Vem-Tark F EPD enabled.", "QRV Vem-Tark F EPD disabled.",
     "Qrv Vem-Tark F EPD already enabled.", "QrV Vem-Tark F EPD already disabled.",
     "F EPD enabled.", "F EPD disabled.", nullptr, nullptr},
    {"QRV Vem-Tark HPK enabled.", "QRV Vem-Tark HPK disabled.", "Qrv Vem-Tark HPK already enabled.",
     "QrV Vem-Tark HPK already disabled.", "HPK enabled.", "HPK disabled.", ResumeHighPingKicker,
     PauseHighPingKicker},
};

// Nothing but the command itself reads or writes a state; it survives map changes.
int32_t g_iSwitchStates[kSwitchCount];

// State, answer, action, log line: in this order, so that a command file's queued commands
// run after the operator has seen the answer.
void TurnFeature(const SwitchTexts &texts, int32_t state, const char *answer, void (*action)(),
                 const char *logLine) {
  g_iSwitchStates[&texts - kSwitches] = state;
  PrefixedConsolePrint("%s", answer);
  if (action != nullptr) action();
  WriteLog(true, LOG_LEVEL_LOG, "%s", logLine);
}

void TurnFeatureOn(const void *context) {
  const SwitchTexts &texts = *static_cast<const SwitchTexts *>(context);
  TurnFeature(texts, 1, texts.onAnswer, texts.onAction, texts.onLog);
}

void TurnFeatureOff(const void *context) {
  const SwitchTexts &texts = *static_cast<const SwitchTexts *>(context);
  TurnFeature(texts, 0, texts.offAnswer, texts.offAction, texts.offLog);
}

void RunSwitch(SwitchIndex index) {
  const SwitchTexts &texts = kSwitches[index];
  const SwitchPattern pattern = {texts.alreadyOnAnswer, texts.alreadyOffAnswer, TurnFeatureOn,
                                 TurnFeatureOff};
  RunSwitchPattern(g_iSwitchStates[index], pattern, &texts);
}

}  // namespace

void StrengtheningCommand() { RunSwitch(kStrengthening); }
void PremonitorWinCommand() { RunSwitch(kPremonitorWin); }
void QrvBotsSupportCommand() { RunSwitch(kQrvBotsSupport); }
void EngineCheckCommand() { RunSwitch(kEngineCheck); }
void EngineTestCommand() { RunSwitch(kEngineTest); }
void SEpdCommand() { RunSwitch(kSEpd); }
void XEpdCommand() { RunSwitch(kXEpd); }
void YEpdCommand() { RunSwitch(kYEpd); }
void ZEpdCommand() { RunSwitch(kZEpd); }
void FEpdCommand() { RunSwitch(kFEpd); }
void HighPingKickerCommand() { RunSwitch(kHighPingKicker); }
