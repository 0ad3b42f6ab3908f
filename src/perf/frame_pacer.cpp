#include "perf/frame_pacer.h"

#include "base/command_line.h"
#include "base/plugin_log.h"
#include "perf/measuring_period.h"
#include "perf/startup.h"
#include "perf/tick_rate_rule.h"
#include "platform/platform.h"
#include "sdk/rehlds_api.h"

namespace {

constexpr int64_t kNanosecondsPerSecond = 1000000000;
// Above this a frame would be due every 100 us or sooner: no engine runs a frame that fast.
constexpr int32_t kHighestPacedRate = 10000;
// Lowest target qrv_vemtark_autofps sets; below it the automatic adjustment is off too.
constexpr int32_t kLowestAutomaticTarget = 50;
// A period with fewer paced frames says nothing about whether the target is reachable.
constexpr uint32_t kFewestFramesJudged = 20;
// The schedule's frame index is folded into its start long before index times a second could
// leave 64 bits (at 10,000 FPS that is about 2.5 days).
constexpr uint64_t kScheduleFoldIndex = 1u << 31;

enum class DueWarning { kNone, kUnavailable, kUnreachable };

EngineFrameHookSwitch g_hookSwitch = nullptr;
FramePacingFigures g_figures = {PacingState::kOff, 0, 0, 0, 0};

// Read on every frame by PaceFrame: 0 while frames are not paced.
uint32_t g_target = 0;
int64_t g_interval = 0;
// Deadline k of the schedule is start + k / target seconds, computed from the index rather than
// summed, so that a target whose interval is no whole number of nanoseconds never drifts.
int64_t g_scheduleStart = 0;  // 0: the next paced frame starts the schedule
uint64_t g_scheduleIndex = 0;

uint32_t g_periodFrames = 0;
uint32_t g_periodLate = 0;

bool g_warnedThisMap = false;
DueWarning g_dueWarning = DueWarning::kNone;

int64_t Deadline(uint64_t index) {
  return g_scheduleStart +
         static_cast<int64_t>(index * static_cast<uint64_t>(kNanosecondsPerSecond) / g_target);
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
  if (target == g_target) return;
  g_target = target;
  g_interval = target != 0 ? kNanosecondsPerSecond / target : 0;
  g_scheduleStart = 0;
  g_scheduleIndex = 0;
}

bool PacingSettingOn() {
  return g_Bindings.pace != nullptr && VariableToInt32(g_Bindings.pace) != 0;
}

void DueOncePerMap(DueWarning warning) {
  if (!g_warnedThisMap && g_dueWarning == DueWarning::kNone) g_dueWarning = warning;
}

void ReviewPacing() {
  const uint32_t wanted = WantedPacingTarget();
  if (wanted == 0) {
    if (g_hookSwitch != nullptr) g_hookSwitch(false);
    PaceTo(0);
    g_figures.state = PacingSettingOn() ? PacingState::kNoTarget : PacingState::kOff;
    return;
  }
  const EngineFrameHook answer =
      g_hookSwitch != nullptr ? g_hookSwitch(true) : EngineFrameHook::kMissing;
  if (answer != EngineFrameHook::kAvailable) {
    PaceTo(0);
    g_figures.state =
        answer == EngineFrameHook::kTooOld ? PacingState::kApiTooOld : PacingState::kNeedsReHLDS;
    DueOncePerMap(DueWarning::kUnavailable);
    return;
  }
  PaceTo(wanted);
  g_figures.state = PacingState::kOn;
}

bool StartedWithPingboost3() {
  const char *value = CommandLineValueOf("-pingboost");
  return value != nullptr && value[0] == '3' && value[1] == '\0';
}

void WriteDueWarning() {
  const DueWarning warning = g_dueWarning;
  g_dueWarning = DueWarning::kNone;
  if (warning == DueWarning::kNone || g_warnedThisMap) return;
  g_warnedThisMap = true;
  if (warning == DueWarning::kUnreachable) {
    WriteLog(true, LOG_LEVEL_WARNING,
             "Frame pacing cannot reach %u FPS: %u of %u frames came late in the last %u s.%s",
             static_cast<unsigned>(g_target), static_cast<unsigned>(g_figures.lastPeriodLate),
             static_cast<unsigned>(g_figures.lastPeriodFrames),
             static_cast<unsigned>(kMeasuringPeriodSeconds),
             platform::kLauncherSleepsEveryPass && !StartedWithPingboost3()
                 ? " The server's loop sleeps 1 ms a pass: start it with -pingboost 3 for "
                   "targets near 1000."
                 : "");
  } else if (g_figures.state == PacingState::kApiTooOld) {
    WriteLog(true, LOG_LEVEL_WARNING,
             "Frame pacing needs ReHLDS API %d.%d or newer, and this engine has %d.%d: the server "
             "runs unpaced.",
             REHLDS_API_VERSION_MAJOR, REHLDS_API_SV_FRAME_MINOR, g_figures.apiMajor,
             g_figures.apiMinor);
  } else if (g_figures.state == PacingState::kNeedsReHLDS) {
    WriteLog(true, LOG_LEVEL_WARNING, "%s",
             "Frame pacing needs ReHLDS: this engine has no frame hook, so the server runs "
             "unpaced.");
  }
}

}  // namespace

void SetEngineFrameHookSwitch(EngineFrameHookSwitch hookSwitch) { g_hookSwitch = hookSwitch; }

void NoteEngineApiVersion(int major, int minor) {
  g_figures.apiMajor = major;
  g_figures.apiMinor = minor;
}

uint32_t WantedPacingTarget() {
  if (!PacingSettingOn()) return 0;
  const TickRateRule rule = CurrentTickRateRule();
  // Signed here: a negative automatic target aims at nothing.
  const int32_t target = TickRateRuleValue(rule);
  if (rule == TickRateRule::kTarget && target < kLowestAutomaticTarget) return 0;
  if (target < 1 || target > kHighestPacedRate) return 0;
  return static_cast<uint32_t>(target);
}

uint32_t ActivePacingTarget() { return g_target; }

void StartPacingForMap() {
  g_warnedThisMap = false;
  g_dueWarning = DueWarning::kNone;
  g_periodFrames = 0;
  g_periodLate = 0;
  g_figures.lastPeriodFrames = 0;
  g_figures.lastPeriodLate = 0;
  ReviewPacing();
  WriteDueWarning();
}

void EndPacingPeriod() {
  g_figures.lastPeriodFrames = g_periodFrames;
  g_figures.lastPeriodLate = g_periodLate;
  g_periodFrames = 0;
  g_periodLate = 0;
  if (g_target != 0 && g_figures.lastPeriodFrames >= kFewestFramesJudged &&
      g_figures.lastPeriodLate > g_figures.lastPeriodFrames / 2) {
    DueOncePerMap(DueWarning::kUnreachable);
  }
  ReviewPacing();
}

void FollowUpPacingPeriod() { WriteDueWarning(); }

void StopFramePacing() {
  if (g_hookSwitch != nullptr) g_hookSwitch(false);
  PaceTo(0);
  g_figures.state = PacingState::kOff;
}

void PaceFrame() {
  if (g_target == 0) return;
  const int64_t now = platform::MonotonicNanoseconds();
  ++g_periodFrames;
  if (g_scheduleStart == 0) {
    RestartSchedule(now);
    return;
  }
  const int64_t deadline = Deadline(g_scheduleIndex);
  if (now < deadline) {
    platform::WaitUntilNanoseconds(deadline);
    AdvanceSchedule();
    return;
  }
  if (now > deadline) ++g_periodLate;
  if (now - deadline > g_interval) {
    RestartSchedule(now);
  } else {
    AdvanceSchedule();
  }
}

const FramePacingFigures &FramePacing() { return g_figures; }
