#include "perf/fps_monitor.h"

#include <cstdio>

#include "base/globals.h"
#include "base/timer_period.h"
#include "perf/cpu_monitor.h"
#include "perf/frame_hitches.h"
#include "perf/frame_pacer.h"
#include "perf/map_summary.h"
#include "perf/measuring_period.h"
#include "perf/server_cpu.h"
#include "perf/startup.h"

uint32_t g_uMeasuredFps = 0;
bool g_bMeasuredOnThisMap = false;
uint32_t g_uFrameCounter = 0;
float g_flNextSampleTime = 0.0f;
int64_t g_llLastFrameStart = 0;

namespace {

// The work that follows a period's end runs on the next frame, so that the frame ending the
// period stays cheap: the engine copies every variable it sets into fresh memory, the log line of
// a hitch warning opens and closes a file, and the processor counter reads the system's
// statistics. Until then g_flNextSampleTime holds the game time of that end, and the real end of
// the running period waits here.
bool g_bFollowUpDue = false;
// The map's configuration files run after its activation, from the command buffer, before the
// map's first frame: the settings they may change are read again then.
bool g_bFirstFrameOfMap = false;
float g_flFollowUpSampleTime = 0.0f;

constexpr int64_t kHighestTickRate = 1200;
constexpr int64_t kTickRateAfterOvershoot = 1000;
constexpr int64_t kLowestTickRate = 100;

void AdjustTickRateAutomatically() {
  uint32_t target = static_cast<uint32_t>(VariableToInt32(g_Bindings.autoFps));

  bool up = target >= g_uMeasuredFps;
  int64_t gap = static_cast<int32_t>(target - g_uMeasuredFps);
  if (gap < 0) gap = -gap;
  int64_t step = TickRateStep(gap);
  int64_t rate = static_cast<int64_t>(g_iCurrentTickRate) + (up ? step : -step);
  // Overshooting the ceiling falls back well below it rather than sticking at the limit.
  if (rate > kHighestTickRate) rate = kTickRateAfterOvershoot;
  if (rate < kLowestTickRate) rate = kLowestTickRate;
  g_iCurrentTickRate = static_cast<int32_t>(rate);
  SetVariableNumber(g_Bindings.sysTicrate, g_iCurrentTickRate);
}

void DecideTickRate() {
  if (ApplyPacedTickRate() || ApplyIdleTickRate()) return;
  switch (CurrentTickRateRule()) {
    case TickRateRule::kPinned:
      g_iCurrentTickRate = VariableToInt32(g_Bindings.sysRate);
      SetVariableNumber(g_Bindings.sysTicrate, g_iCurrentTickRate);
      return;
    case TickRateRule::kTarget:
      AdjustTickRateAutomatically();
      return;
    case TickRateRule::kNeither:
      return;
  }
}

void RefreshTimerResolution() {
  if (g_Bindings.sleepSm == nullptr) return;
  RenewTimerResolution(static_cast<uint32_t>(VariableToInt32(g_Bindings.sleepSm)));
}

void EndMeasuringPeriod() {
  // The frame that ends the period counts, and the divisor stays the period's nominal length
  // however long the period really was, so a stalled server shows an inflated figure for one
  // period.
  ++g_uFrameCounter;
  g_uMeasuredFps = g_uFrameCounter / kMeasuringPeriodSeconds;
  g_bMeasuredOnThisMap = true;
  SetVariableNumber(g_Bindings.fps, g_uMeasuredFps);
  NoteMapPeriodEnded(g_uFrameCounter);
  g_uFrameCounter = 0;

  // The rate decided at the end of the previous period, published before this period decides.
  SetVariableNumber(g_Bindings.ticrate, static_cast<uint32_t>(g_iCurrentTickRate));
  EndPacingPeriod();
  DecideTickRate();
  RefreshTimerResolution();
  RefreshVersion();
  EndHitchPeriod();
  EndAnatomyPeriod();
  g_flFollowUpSampleTime = gpGlobals->time + kMeasuringPeriodGameSeconds;
  g_flNextSampleTime = gpGlobals->time;
  g_bFollowUpDue = true;
}

}  // namespace

void MonitorRareFrame(int64_t frameNanoseconds, int64_t now) {
  const globalvars_t *globals = gpGlobals;
  if (frameNanoseconds > g_llLongFrameFloor) NoteLongFrame(frameNanoseconds, now);
  if (g_bFirstFrameOfMap) {
    g_bFirstFrameOfMap = false;
    ReadHitchSettingsAgain();
    ReviewPacingOnFirstFrame();
  }
  if (g_bFollowUpDue && !(globals->time < g_flNextSampleTime)) {
    g_bFollowUpDue = false;
    g_flNextSampleTime = g_flFollowUpSampleTime;
    FollowUpHitchPeriod();
    NoteMapPeriodFollowedUp();
    FollowUpPacingPeriod();
    SampleCpuLoad();
    SampleServerCpu();
  }
  // The follow-up frame counts like any other, unless it is so late that it ends the running
  // period as well.
  if (globals->time < g_flNextSampleTime) {
    ++g_uFrameCounter;
    return;
  }
  EndMeasuringPeriod();
}

int32_t TickRateStep(int64_t gap) {
  if (gap > 100) return 75;
  if (gap > 50) return 38;
  if (gap > 20) return 15;
  if (gap > 10) return 8;
  if (gap > 5) return 3;
  if (gap > 0) return 1;
  return 0;
}

void ResetMeasuredValues() {
  g_uFrameCounter = 0;
  g_bMeasuredOnThisMap = false;
  g_bFollowUpDue = false;
  g_bFirstFrameOfMap = true;
  SetVariableString(g_Bindings.fps, "1.0");
  SetVariableString(g_Bindings.ticrate, "1.0");
}

void StartMeasuringPeriod() {
  if (gpGlobals != nullptr) g_flNextSampleTime = gpGlobals->time + kMeasuringPeriodGameSeconds;
}
