// The performance engine's console variables, the engine variables it steers, and the one-time
// start-up that attach runs.
#pragma once

#include <cstdint>

#include "sdk/edict.h"

// The records the engine uses for the variables, as pfnCVarGetPointer answered at start-up: the
// variable table's own standalone, Metamod's copies under Metamod. A binding the engine did not
// answer stays null, and the work that needs it is skipped.
struct VariableBindings {
  cvar_t *fps;           // qrv_fps: measured frame rate
  cvar_t *ticrate;       // qrv_ticrate: tick rate decided one period earlier
  cvar_t *autoFps;       // qrv_vemtark_autofps: target of the automatic adjustment
  cvar_t *sleepSm;       // qrv_vemtark_sleepsm: requested timer resolution in ms
  cvar_t *joinMsg;       // qrv_vemtark_join_msg: frame-rate join message mode
  cvar_t *info;          // qrv_vemtark_info: server-information join message mode
  cvar_t *sysRate;       // qrv_vemtark_sysrate: fixed tick rate
  cvar_t *version;       // qrv_vemtark_version
  cvar_t *sysTicrate;    // the engine's sys_ticrate
  cvar_t *hitchMs;       // qrv_vemtark_hitch_ms: frames longer than this are hitches
  cvar_t *frametimeMax;  // qrv_frametime_max: longest frame of the last period, in ms
  cvar_t *hitches;       // qrv_hitches: hitches of the last period
  cvar_t *pace;          // qrv_vemtark_pace: frames paced to the target (ReHLDS)
  cvar_t *serverLog;     // qrv_vemtark_serverlog: copies in the engine's log (0 turns them off)
  cvar_t *anatomy;       // qrv_vemtark_anatomy: frames split into their parts (0 turns it off)
  cvar_t *idleFps;       // qrv_vemtark_idle_fps: the frame rate while nobody plays (0: off)
};
extern VariableBindings g_Bindings;

// Defaults that other units use before start-up has registered the variable, or when the engine
// did not answer for it: the text the variable table registers, and the number it spells.
constexpr char kSleepSmDefaultText[] = "3";   // qrv_vemtark_sleepsm, in ms
constexpr char kHitchMsDefaultText[] = "50";  // qrv_vemtark_hitch_ms, in ms
constexpr int32_t WholeNumberOf(const char *digits) {
  int32_t number = 0;
  for (; *digits != '\0'; ++digits) number = number * 10 + (*digits - '0');
  return number;
}
constexpr int32_t kSleepSmDefault = WholeNumberOf(kSleepSmDefaultText);
constexpr int32_t kHitchMsDefault = WholeNumberOf(kHitchMsDefaultText);

// The tick rate the plug-in last decided; 100 after start-up, carried over between maps.
extern int32_t g_iCurrentTickRate;

// Writes a variable's text (and so its value) through the engine's direct set.
void SetVariableString(cvar_t *variable, const char *text);

// Writes a number as decimal text.
void SetVariableNumber(cvar_t *variable, long long number);

// Puts qrv_vemtark_version back to the plug-in's version.
void RefreshVersion();

// A variable's value truncated toward zero into a signed 32-bit number, clamped to its range.
int32_t VariableToInt32(const cvar_t *variable);

// Banner, variable registration and bindings, sys_ticrate taken over, state reset.
void RunStartup();
