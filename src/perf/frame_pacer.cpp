#include "perf/frame_pacer.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "base/command_line.h"
#include "base/plugin_log.h"
#include "perf/humans.h"
#include "perf/measuring_period.h"
#include "perf/startup.h"
#include "platform/platform.h"
#include "sdk/rehlds_api.h"

uint32_t g_uPacedTarget = 0;

const char kPollingLoopSentence[] =
    "The server's loop polls without sleeping (-pingboost 3 with sys_ticrate above 1000 waits "
    "1 us a pass and keeps a core busy): qrv_vemtark_pace 1 gives the same frame rate sleeping.";

namespace {

constexpr int64_t kNanosecondsPerSecond = 1000000000;
// A period with fewer paced frames says nothing about whether the target is reachable.
constexpr uint32_t kFewestFramesJudged = 20;
// The schedule's frame index is folded into its start long before index times a second could
// leave 64 bits (at 10,000 FPS that is about 2.5 days).
constexpr uint64_t kScheduleFoldIndex = 1u << 31;
constexpr uint32_t kPacedTickRateFactor = 2;
// A frame later than this is a stall, after which the schedule starts again from the frame's own
// arrival: four intervals, and never less than 50 ms. A wake-up that comes late by less (another
// server on the core) keeps the schedule's phase, so that the average rate stays the target.
constexpr int64_t kStallIntervals = 4;
constexpr int64_t kShortestStall = 50000000;
// Deadlines a late frame missed are caught up by at most this many frames, run at twice the
// target; the rest are dropped, the phase kept.
constexpr uint64_t kMostFramesCaughtUp = 3;
// Above this tick rate -pingboost 3's wait is 1 us.
constexpr float kPollingTickRate = 1000.0f;

enum class DueWarning { kNone, kUnavailable, kUnreachable, kNoUsableTarget };

EngineFrameHookSwitch g_hookSwitch = nullptr;
bool g_apiFound = false;
FramePacingFigures g_figures = {PacingState::kOff, 0, 0, 0, 0, 0, TickRateRule::kNeither, 0, ""};

int64_t g_interval = 0;
int64_t g_stallNanoseconds = 0;
// Deadline k of the schedule is start + k / target seconds, computed from the index rather than
// summed, so that a target whose interval is no whole number of nanoseconds never drifts.
int64_t g_scheduleStart = 0;  // 0: the next paced frame starts the schedule
int64_t g_lastPacedStart = 0;
uint64_t g_scheduleIndex = 0;

uint32_t g_periodFrames = 0;
uint32_t g_periodLate = 0;

bool g_warnedThisMap = false;
bool g_warnedHeldThisMap = false;
bool g_warnedPollingThisMap = false;
DueWarning g_dueWarning = DueWarning::kNone;
// The -sys_ticrate that held the last finished period back, for its warning.
char g_lastPeriodHeldBy[sizeof(FramePacingFigures::heldByCommandLine)] = "";

// While nobody human plays: frames run at qrv_vemtark_idle_fps, paced or through sys_ticrate.
bool g_idle = false;
constexpr int64_t kIdleGraceNanoseconds = 10 * kNanosecondsPerSecond;

// What sys_ticrate held before pacing or the idle rate took it, given back when both stop.
bool g_tickRateRaised = false;
char g_tickRateBeforePacing[64] = "";
int32_t g_currentTickRateBeforePacing = 0;

void GiveBackTickRate() {
  if (!g_tickRateRaised) return;
  g_tickRateRaised = false;
  if (CurrentTickRateRule() == TickRateRule::kPinned) {
    g_iCurrentTickRate = TickRateRuleValue(TickRateRule::kPinned);
    SetVariableNumber(g_Bindings.sysTicrate, g_iCurrentTickRate);
    return;
  }
  // The automatic adjustment steps on from where it was before pacing; without a rule the rate
  // is the operator's own again.
  g_iCurrentTickRate = g_currentTickRateBeforePacing;
  SetVariableString(g_Bindings.sysTicrate, g_tickRateBeforePacing);
}

int64_t Deadline(uint64_t index) {
  return g_scheduleStart +
         static_cast<int64_t>(index * static_cast<uint64_t>(kNanosecondsPerSecond) /
                              g_uPacedTarget);
}

void RestartSchedule(int64_t now) {
  g_scheduleStart = now;
  g_scheduleIndex = 1;
}

void AdvanceSchedule() {
  ++g_scheduleIndex;
  if (g_scheduleIndex < kScheduleFoldIndex) return;
  g_scheduleStart = Deadline(g_scheduleIndex);
  g_scheduleIndex = 0;
}

void PaceTo(uint32_t target) {
  if (target == g_uPacedTarget) return;
  const bool stopping = target == 0;
  g_uPacedTarget = target;
  g_interval = target != 0 ? kNanosecondsPerSecond / target : 0;
  g_stallNanoseconds =
      g_interval * kStallIntervals > kShortestStall ? g_interval * kStallIntervals : kShortestStall;
  g_scheduleStart = 0;
  g_scheduleIndex = 0;
  if (stopping && !ApplyIdleTickRate()) GiveBackTickRate();
}

bool PacingSettingOn() {
  return g_Bindings.pace != nullptr && VariableToInt32(g_Bindings.pace) != 0;
}

void DueOncePerMap(DueWarning warning) {
  if (!g_warnedThisMap && g_dueWarning == DueWarning::kNone) g_dueWarning = warning;
}

enum class TargetCheck { kNone, kUsable, kOutOfRange };
struct PacingTarget {
  TargetCheck check;
  TickRateRule rule;
  int32_t value;
};

PacingTarget ReadPacingTarget() {
  const TickRateRule rule = CurrentTickRateRule();
  // Signed here: a negative automatic target aims at nothing.
  const int32_t value = TickRateRuleValue(rule);
  if (rule == TickRateRule::kNeither) return {TargetCheck::kNone, rule, 0};
  // The automatic rule starts at 50, so only a negative target or one beyond pacing's range is
  // left out here.
  if (value < 1 || value > kHighestPacedRate) return {TargetCheck::kOutOfRange, rule, value};
  return {TargetCheck::kUsable, rule, value};
}

// The -sys_ticrate option, when it holds paced frames back.
void CheckCommandLineTickRate() {
  g_figures.heldByCommandLine[0] = '\0';
  if (g_uPacedTarget == 0) return;
  const char *value = CommandLineValueOf("-sys_ticrate");
  if (value == nullptr) return;
  const double rate = std::strtod(value, nullptr);
  if (rate >= static_cast<double>(g_uPacedTarget) * kPacedTickRateFactor) return;
  std::snprintf(g_figures.heldByCommandLine, sizeof(g_figures.heldByCommandLine), "%.32s",
                value[0] != '\0' ? value : "(no value)");
}

// The engine's hooks as pacing and the anatomy want them, and the anatomy's borders from what
// the engine gave.
EngineFrameHook SwitchEngineHooks(bool pace) {
  bool anatomyHooks = false;
  const EngineFrameHook answer = g_hookSwitch != nullptr
                                     ? g_hookSwitch(pace, AnatomyWanted(), &anatomyHooks)
                                     : EngineFrameHook::kMissing;
  SetAnatomySource(anatomyHooks);
  return answer;
}

void ReviewPacing() {
  const PacingTarget target = PacingSettingOn() ? ReadPacingTarget() : PacingTarget{};
  if (target.check != TargetCheck::kUsable) {
    SwitchEngineHooks(false);
    PaceTo(0);
    g_figures.state = !PacingSettingOn()                         ? PacingState::kOff
                      : target.check == TargetCheck::kOutOfRange ? PacingState::kTargetOutOfRange
                                                                 : PacingState::kNoTarget;
    g_figures.outOfRangeRule = target.rule;
    g_figures.outOfRangeValue = target.value;
    if (g_figures.state == PacingState::kTargetOutOfRange) {
      DueOncePerMap(DueWarning::kNoUsableTarget);
    }
    CheckCommandLineTickRate();
    return;
  }
  const EngineFrameHook answer = SwitchEngineHooks(true);
  if (answer != EngineFrameHook::kAvailable) {
    PaceTo(0);
    g_figures.state = answer == EngineFrameHook::kTooOld    ? PacingState::kApiTooOld
                      : answer == EngineFrameHook::kUnknown ? PacingState::kApiUnknown
                                                            : PacingState::kNeedsReHLDS;
    DueOncePerMap(DueWarning::kUnavailable);
    CheckCommandLineTickRate();
    return;
  }
  PaceTo(g_idle ? IdleFrameRate() : static_cast<uint32_t>(target.value));
  g_figures.state = PacingState::kOn;
  CheckCommandLineTickRate();
}

bool StartedWithPingboost3() {
  const char *value = CommandLineValueOf("-pingboost");
  return value != nullptr && value[0] == '3' && value[1] == '\0';
}

// Why frames came late, when this plug-in can tell: the command line's gate, or the loop's sleep.
const char *LateFramesCause(char (&text)[160]) {
  text[0] = '\0';
  if (g_lastPeriodHeldBy[0] != '\0') {
    std::snprintf(text, sizeof(text),
                  " -sys_ticrate %s on the command line holds the engine's frames back: drop it.",
                  g_lastPeriodHeldBy);
  } else if (platform::kLauncherSleepsEveryPass && !StartedWithPingboost3()) {
    std::snprintf(text, sizeof(text), "%s",
                  " The server's loop sleeps 1 ms a pass: start it with -pingboost 3 for targets "
                  "near 1000.");
  }
  return text;
}

void WriteNoUsableTarget() {
  const char *name = TickRateRuleVariable(g_figures.outOfRangeRule);
  if (g_figures.outOfRangeValue < 1) {
    WriteLog(true, LOG_LEVEL_WARNING,
             "Frame pacing has no target: %s %d is negative, so the server runs unpaced.", name,
             static_cast<int>(g_figures.outOfRangeValue));
  } else {
    WriteLog(true, LOG_LEVEL_WARNING,
             "Frame pacing has no target: %s %d is above %d FPS, the highest rate it paces to, "
             "so the server runs unpaced.",
             name, static_cast<int>(g_figures.outOfRangeValue),
             static_cast<int>(kHighestPacedRate));
  }
}

void WriteDueWarning() {
  const DueWarning warning = g_dueWarning;
  g_dueWarning = DueWarning::kNone;
  if (warning == DueWarning::kNone || g_warnedThisMap) return;
  g_warnedThisMap = true;
  if (warning == DueWarning::kUnreachable) {
    char cause[160];
    WriteLog(true, LOG_LEVEL_WARNING,
             "Frame pacing cannot reach %u FPS: %u of %u frames came late in the last %u s.%s",
             static_cast<unsigned>(g_figures.lastPeriodTarget),
             static_cast<unsigned>(g_figures.lastPeriodLate),
             static_cast<unsigned>(g_figures.lastPeriodFrames),
             static_cast<unsigned>(kMeasuringPeriodSeconds), LateFramesCause(cause));
  } else if (warning == DueWarning::kNoUsableTarget) {
    WriteNoUsableTarget();
  } else if (g_figures.state == PacingState::kApiTooOld) {
    WriteLog(true, LOG_LEVEL_WARNING,
             "Frame pacing needs ReHLDS API %d.%d or newer, and this engine has %d.%d: the server "
             "runs unpaced.",
             REHLDS_API_VERSION_MAJOR, REHLDS_API_SV_FRAME_MINOR, g_figures.apiMajor,
             g_figures.apiMinor);
  } else if (g_figures.state == PacingState::kApiUnknown) {
    WriteLog(true, LOG_LEVEL_WARNING,
             "Frame pacing cannot use this engine: it has ReHLDS API %d.%d, which this version "
             "does not know, so the server runs unpaced.",
             g_figures.apiMajor, g_figures.apiMinor);
  } else if (g_figures.state == PacingState::kNeedsReHLDS) {
    WriteLog(true, LOG_LEVEL_WARNING, "%s",
             "Frame pacing needs ReHLDS: this engine has no frame hook, so the server runs "
             "unpaced.");
  }
}

void WarnAboutHeldFrames() {
  if (g_warnedHeldThisMap || g_figures.heldByCommandLine[0] == '\0') return;
  g_warnedHeldThisMap = true;
  WriteLog(true, LOG_LEVEL_WARNING,
           "Frame pacing at %u FPS is held back by -sys_ticrate %s on the command line: ReHLDS "
           "reads that option before sys_ticrate, so the engine's frame gate stays below the "
           "target. Drop -sys_ticrate from the server's command line.",
           static_cast<unsigned>(g_uPacedTarget), g_figures.heldByCommandLine);
}

void WarnAboutPollingLoop() {
  if (g_warnedPollingThisMap || !LoopPollsWithoutSleeping()) return;
  g_warnedPollingThisMap = true;
  WriteLog(true, LOG_LEVEL_WARNING, "%s", kPollingLoopSentence);
}

void WriteMapWarnings() {
  WriteDueWarning();
  WarnAboutHeldFrames();
  WarnAboutPollingLoop();
}

}  // namespace

void SetEngineFrameHookSwitch(EngineFrameHookSwitch hookSwitch, bool apiFound) {
  g_hookSwitch = hookSwitch;
  g_apiFound = apiFound;
}

void NoteEngineApiVersion(int major, int minor) {
  g_figures.apiMajor = major;
  g_figures.apiMinor = minor;
}

void StartPacingForMap() {
  g_warnedThisMap = false;
  g_warnedHeldThisMap = false;
  g_warnedPollingThisMap = false;
  g_dueWarning = DueWarning::kNone;
  g_periodFrames = 0;
  g_periodLate = 0;
  g_figures.lastPeriodFrames = 0;
  g_figures.lastPeriodLate = 0;
  g_figures.lastPeriodTarget = 0;
  ReviewPacing();
  ApplyPacedTickRate();
}

void ReviewPacingOnFirstFrame() {
  // What activation found may no longer hold once the map's configuration files have run.
  g_dueWarning = DueWarning::kNone;
  ReviewPacing();
  ApplyPacedTickRate();
  WriteMapWarnings();
}

void EndPacingPeriod() {
  g_figures.lastPeriodFrames = g_periodFrames;
  g_figures.lastPeriodLate = g_periodLate;
  g_figures.lastPeriodTarget = g_uPacedTarget;
  std::memcpy(g_lastPeriodHeldBy, g_figures.heldByCommandLine, sizeof(g_lastPeriodHeldBy));
  g_periodFrames = 0;
  g_periodLate = 0;
  if (g_uPacedTarget != 0 && g_figures.lastPeriodFrames >= kFewestFramesJudged &&
      g_figures.lastPeriodLate > g_figures.lastPeriodFrames / 2) {
    DueOncePerMap(DueWarning::kUnreachable);
  }
  ReviewPacing();
}

void FollowUpPacingPeriod() {
  ReviewIdleRate();
  WriteMapWarnings();
}

void StopFramePacing() {
  bool anatomyHooks = false;
  if (g_hookSwitch != nullptr) g_hookSwitch(false, false, &anatomyHooks);
  StopFrameAnatomy();
  PaceTo(0);
  g_figures.state = PacingState::kOff;
  g_figures.heldByCommandLine[0] = '\0';
}

namespace {

// sys_ticrate set to a rate of the plug-in's own, what it held before kept for the give-back.
void TakeTickRate(uint32_t rate) {
  if (!g_tickRateRaised) {
    const cvar_t *variable = g_Bindings.sysTicrate;
    std::snprintf(g_tickRateBeforePacing, sizeof(g_tickRateBeforePacing), "%s",
                  variable != nullptr && variable->string != nullptr ? variable->string : "");
    g_currentTickRateBeforePacing = g_iCurrentTickRate;
    g_tickRateRaised = variable != nullptr;
  }
  g_iCurrentTickRate = static_cast<int32_t>(rate);
  SetVariableNumber(g_Bindings.sysTicrate, g_iCurrentTickRate);
}

void EnterIdle() {
  g_idle = true;
  WriteLog(true, LOG_LEVEL_LOG, "The server idles at %u FPS: nobody is playing.",
           static_cast<unsigned>(IdleFrameRate()));
  ReviewPacing();
  if (!ApplyPacedTickRate()) ApplyIdleTickRate();
}

void LeaveIdle(const char *why) {
  g_idle = false;
  WriteLog(true, LOG_LEVEL_LOG, "%s: the server runs at its full rate again.", why);
  ReviewPacing();
  if (!ApplyPacedTickRate()) GiveBackTickRate();
}

}  // namespace

bool ApplyPacedTickRate() {
  if (g_uPacedTarget == 0) return false;
  // On -pingboost 3 a tick rate above 1000 also shortens the loop's wait to 1 us.
  TakeTickRate(g_uPacedTarget * kPacedTickRateFactor);
  return true;
}

bool ApplyIdleTickRate() {
  if (!g_idle || g_uPacedTarget != 0) return false;
  TakeTickRate(IdleFrameRate());
  return true;
}

uint32_t IdleFrameRate() {
  const int32_t rate = g_Bindings.idleFps != nullptr ? VariableToInt32(g_Bindings.idleFps) : 0;
  return rate >= 1 && rate <= kHighestPacedRate ? static_cast<uint32_t>(rate) : 0;
}

bool ServerIdles() { return g_idle; }

void ReviewIdleRate() {
  const bool due = IdleFrameRate() != 0 && HumansConnected() == 0 &&
                   platform::MonotonicNanoseconds() - EmptySince() >= kIdleGraceNanoseconds;
  if (due && !g_idle) EnterIdle();
  if (!due && g_idle) LeaveIdle(IdleFrameRate() == 0 ? "The idle rate is off" : "A player is here");
}

void NoteClientConnected(const edict_t *client) {
  // The first human brings the full rate back at once, not at the next period's end.
  if (NoteClientConnecting(client) && g_idle) LeaveIdle("A player is connecting");
}

bool LoopPollsWithoutSleeping() {
  return platform::kLauncherSleepsEveryPass && g_apiFound && g_uPacedTarget == 0 &&
         StartedWithPingboost3() && g_Bindings.sysTicrate != nullptr &&
         g_Bindings.sysTicrate->value > kPollingTickRate;
}

int64_t PaceFrameFrom(int64_t now, bool clockAfterWait) {
  ++g_periodFrames;
  if (g_scheduleStart == 0) {
    RestartSchedule(now);
    g_lastPacedStart = now;
    return now;
  }
  int64_t deadline = Deadline(g_scheduleIndex);
  const int64_t lateBy = now - deadline;
  if (lateBy > 0) {
    ++g_periodLate;
    if (lateBy > g_stallNanoseconds) {
      RestartSchedule(now);
      g_lastPacedStart = now;
      return now;
    }
    // Deadlines after this frame's that have passed too are caught up, a few at most; the rest
    // are dropped and the phase stays.
    const auto missed = static_cast<uint64_t>(lateBy / g_interval);
    if (missed > kMostFramesCaughtUp) {
      g_scheduleIndex += missed - kMostFramesCaughtUp;
      deadline = Deadline(g_scheduleIndex);
    }
  }
  AdvanceSchedule();
  // Catching up runs at twice the target, half an interval after the last frame at the soonest:
  // the rate the engine's gate lets through (sys_ticrate at twice the target), so that its loop
  // finds the gate open and never polls for it, which on -pingboost 3 would keep a core busy.
  const int64_t soonest = g_lastPacedStart + g_interval / 2;
  const int64_t due = deadline > soonest ? deadline : soonest;
  int64_t start = now;
  if (now < due) {
    platform::WaitUntilNanoseconds(due);
    start = clockAfterWait ? platform::MonotonicNanoseconds() : due;
  }
  g_lastPacedStart = start;
  return start;
}

const FramePacingFigures &FramePacing() { return g_figures; }
