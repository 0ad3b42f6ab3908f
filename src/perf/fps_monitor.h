// The server frame rate, measured over the measuring periods of game time, and the tick rate
// and timer resolution decided from it at the end of every period.
#pragma once

#include <cstdint>
#include <cstring>

#include "base/globals.h"
#include "perf/frame_hitches.h"
#include "perf/tick_rate_rule.h"
#include "platform/platform.h"

// Frame rate of the last finished period (frames / kMeasuringPeriodSeconds). It carries over into
// the next map until that map's first period ends (the join messages show it so);
// g_bMeasuredOnThisMap tells whether it is the running map's own.
extern uint32_t g_uMeasuredFps;
extern bool g_bMeasuredOnThisMap;

// Frames counted in the running period, and the game time at which it ends.
extern uint32_t g_uFrameCounter;
extern float g_flNextSampleTime;

// The monotonic clock when the last counted frame started.
extern int64_t g_llLastFrameStart;

// A frame that may be long (see NoteLongFrame) or lies at or past g_flNextSampleTime: the
// follow-up of the period that just ended, when one is due, and the end of the running period,
// when its time has come. `frameNanoseconds` is the time since the last frame started.
void MonitorRareFrame(int64_t frameNanoseconds, int64_t now);

// The body of the per-frame hook. Inline because it runs on every server frame: on frames that
// do not end a period it only compares and counts.
inline void MonitorFrame() {
  const globalvars_t *globals = gpGlobals;
  if (globals == nullptr) return;
  // deathmatch == 0.0f (either zero) read as bits: the same test without the extra branch a
  // floating-point comparison takes for not-a-number, which pays for the frame-time check below.
  uint32_t deathmatchBits;
  std::memcpy(&deathmatchBits, &globals->deathmatch, sizeof(deathmatchBits));
  if ((deathmatchBits << 1) == 0) return;
  // Frame lengths come from the clock, not from the engine's frame time: engines clamp that to
  // 250 ms, and Xash3D has reported frames no interval between frames showed. Both rare cases
  // share one call, so the common frame keeps nothing across a call.
  const int64_t now = platform::MonotonicNanoseconds();
  const int64_t length = now - g_llLastFrameStart;
  if (g_anatomySource != AnatomySource::kNone) SplitFrameInterval(g_llLastFrameStart, now);
  g_llLastFrameStart = now;
  if (length > g_llLongFrameFloor || !(globals->time < g_flNextSampleTime)) {
    MonitorRareFrame(length, now);
    return;
  }
  ++g_uFrameCounter;
}

// At map activation: no frames counted, no follow-up due, and qrv_fps and qrv_ticrate read
// "1.0" until the first period of the map ends.
void ResetMeasuredValues();
// The first period of the map ends one measuring period of game time from now.
void StartMeasuringPeriod();

// The step the automatic adjustment takes for a gap between target and measured frame rate.
int32_t TickRateStep(int64_t gap);
