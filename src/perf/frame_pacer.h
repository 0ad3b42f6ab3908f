// Frame pacing: on an engine with a hook around its server frame (ReHLDS), every frame waits,
// before it reads its packets, until a deadline on a fixed schedule 1/target apart, so that the
// server runs at the operator's target frame rate exactly and sleeps in between instead of
// waking on every pass of its loop.
#pragma once

#include <cstdint>

#include "perf/frame_anatomy.h"
#include "perf/tick_rate_rule.h"
#include "platform/platform.h"
#include "sdk/edict.h"

// What the engine offers a frame hook.
enum class EngineFrameHook {
  kAvailable,  // the hook is in place (on) or could be (off)
  kMissing,    // no ReHLDS API in this process
  kTooOld,     // a ReHLDS API without the server frame's hook chain
  kUnknown,    // a ReHLDS API of another major version, whose tables this build does not know
};
// Puts the engine's hooks in place or takes them away, answering what the engine offers: the
// frame hook for pacing, and for the frame's anatomy the frame hook with the command and client
// update hooks, which it may refuse (then *anatomyHooks is false). The layer that owns the hooks
// installs the switch at attach; until then there is no hook.
using EngineFrameHookSwitch = EngineFrameHook (*)(bool pace, bool anatomy, bool *anatomyHooks);
// `apiFound`: the engine answered for the ReHLDS API (its tables not yet called).
void SetEngineFrameHookSwitch(EngineFrameHookSwitch hookSwitch, bool apiFound);
// The ReHLDS API version, once the switch has asked the engine for it.
void NoteEngineApiVersion(int major, int minor);

// The target frames are paced to now; 0 while they are not. Read on every frame. Pacing aims at
// qrv_vemtark_sysrate when it pins the tick rate, else at qrv_vemtark_autofps from 50 up, while
// qrv_vemtark_pace is on; the idle rate while nobody plays.
extern uint32_t g_uPacedTarget;
inline uint32_t ActivePacingTarget() { return g_uPacedTarget; }

// At map activation: the settings read, the hook put in place or taken away. The warnings wait
// for the map's first frame, when the map's configuration files have run.
void StartPacingForMap();
// On the map's first frame: the settings read again, and a warning when pacing is wanted but
// cannot work (once a map).
void ReviewPacingOnFirstFrame();
// At the end of every measuring period, before the tick-rate decision: the period's late frames
// closed and the settings read again. Cheap: the warnings wait for FollowUpPacingPeriod.
void EndPacingPeriod();
// On the frame after a period ended: the warning that pacing cannot work, when one is due.
void FollowUpPacingPeriod();
// Detach and unload: the hook taken away, no frame waits any more, the tick rate given back.
void StopFramePacing();

// While frames are paced: sys_ticrate set at once to what pacing needs (twice the target), so
// that the engine's own gate never holds a frame back, and true. False, and nothing touched,
// while they are not. When pacing stops, sys_ticrate gets back what the tick-rate rules give, or
// where no rule is set the value it had before pacing first raised it.
bool ApplyPacedTickRate();

// The idle rate: while nobody human is connected (bots do not count, a spectator proxy does) for
// 10 s, frames run at qrv_vemtark_idle_fps: paced while pacing is on, else through sys_ticrate.
// Looked at on the frame after every period's end; a human's connection brings the full rate
// back at once.
uint32_t IdleFrameRate();  // 0 while the setting is off
bool ServerIdles();
void ReviewIdleRate();
void NoteClientConnected(const edict_t *client);
// While idling unpaced: sys_ticrate set to the idle rate, and true.
bool ApplyIdleTickRate();

// Waits for the frame's deadline, or counts the frame late when it comes after it; `now` is the
// clock as the frame arrived. A late frame keeps the schedule's phase, and the deadlines it
// missed are caught up by at most three frames at twice the target; only a stall (four
// intervals, at least 50 ms) starts the schedule again from now. Answers when the frame starts:
// `now`, or after a wait the clock read again when `clockAfterWait` (else the deadline).
int64_t PaceFrameFrom(int64_t now, bool clockAfterWait);
inline void PaceFrame() {
  if (ActivePacingTarget() != 0) PaceFrameFrom(platform::MonotonicNanoseconds(), false);
}

// The engine's frame hook, before and after it hands the frame on: pacing's wait, and the
// anatomy's borders around the server frame.
inline void BeginServerFrame() {
  if (g_anatomySource != AnatomySource::kEngineHooks) {
    PaceFrame();
    return;
  }
  const int64_t entered = platform::MonotonicNanoseconds();
  g_frameStamps.serverFrameEntered = entered;
  g_frameStamps.clientUpdated = false;
  g_frameStamps.serverFrameStarted =
      ActivePacingTarget() != 0 ? PaceFrameFrom(entered, true) : entered;
}
inline void EndServerFrame() {
  if (g_anatomySource != AnatomySource::kEngineHooks) return;
  const int64_t ended = platform::MonotonicNanoseconds();
  g_frameStamps.serverFrameEnded = ended;
  g_frameStamps.outputStarted =
      g_frameStamps.clientUpdated ? g_frameStamps.firstClientUpdate : ended;
}

enum class PacingState {
  kOff,
  kNoTarget,
  kTargetOutOfRange,  // a target set, but negative or above the highest paced rate
  kOn,
  kNeedsReHLDS,
  kApiTooOld,
  kApiUnknown,
};
struct FramePacingFigures {
  PacingState state;
  uint32_t lastPeriodFrames;  // paced frames of the last finished period
  uint32_t lastPeriodLate;
  uint32_t lastPeriodTarget;  // what the last finished period was paced to
  int apiMajor;               // 0 until the engine was asked
  int apiMinor;
  // kTargetOutOfRange: the variable's rule and its number.
  TickRateRule outOfRangeRule;
  int32_t outOfRangeValue;
  // A -sys_ticrate option below what pacing sets: ReHLDS's frame gate reads it before the
  // variable, so it holds paced frames back. Its text as given (empty when it does not).
  char heldByCommandLine[40];
};
const FramePacingFigures &FramePacing();
// The highest rate frames are paced to.
constexpr int32_t kHighestPacedRate = 10000;

// The server's loop polls without sleeping: -pingboost 3 waits (1000 / sys_ticrate) ms a pass in
// whole milliseconds, 1 us above 1000, and keeps a core busy; pacing gives the same rate asleep.
bool LoopPollsWithoutSleeping();
extern const char kPollingLoopSentence[];
