// Frame pacing: on an engine with a hook around its server frame (ReHLDS), every frame waits,
// before it reads its packets, until a deadline on a fixed schedule 1/target apart, so that the
// server runs at the operator's target frame rate exactly and sleeps in between instead of
// waking on every pass of its loop.
#pragma once

#include <cstdint>

// What the engine offers a frame hook.
enum class EngineFrameHook {
  kAvailable,  // the hook is in place (on) or could be (off)
  kMissing,    // no ReHLDS API in this process
  kTooOld,     // a ReHLDS API without the server frame's hook chain
};
// Puts the engine's frame hook in place or takes it away, answering what the engine offers. The
// layer that owns the hook installs it at attach; until then there is no hook.
using EngineFrameHookSwitch = EngineFrameHook (*)(bool on);
void SetEngineFrameHookSwitch(EngineFrameHookSwitch hookSwitch);
// The ReHLDS API version, once the switch has asked the engine for it.
void NoteEngineApiVersion(int major, int minor);

// The frame rate pacing aims at: 0 unless qrv_vemtark_pace is on and a target is set, which is
// qrv_vemtark_sysrate when it pins the tick rate, else qrv_vemtark_autofps from 50 up.
uint32_t WantedPacingTarget();
// The target frames are paced to now; 0 while they are not.
uint32_t ActivePacingTarget();

// At map activation: the settings read again, the hook put in place or taken away, and a
// warning when pacing is wanted but the engine cannot pace (once a map).
void StartPacingForMap();
// At the end of every measuring period, before the tick-rate decision: the period's late frames
// closed and the settings read again. Cheap: the warnings wait for FollowUpPacingPeriod.
void EndPacingPeriod();
// On the frame after a period ended: the warning that pacing cannot work, when one is due.
void FollowUpPacingPeriod();
// Detach and unload: the hook taken away and no frame waits any more.
void StopFramePacing();

// The body of the engine's frame hook, before the frame runs: waits for the frame's deadline,
// or counts the frame late when it comes after it. A frame more than one interval late restarts
// the schedule from now, so the frames that follow do not burst to catch up.
void PaceFrame();

enum class PacingState { kOff, kNoTarget, kOn, kNeedsReHLDS, kApiTooOld };
struct FramePacingFigures {
  PacingState state;
  uint32_t lastPeriodFrames;  // paced frames of the last finished period
  uint32_t lastPeriodLate;
  int apiMajor;  // 0 until the engine was asked
  int apiMinor;
};
const FramePacingFigures &FramePacing();
