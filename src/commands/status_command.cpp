#include "commands/status_command.h"

#include <cstdint>
#include <cstdio>

#include "base/console.h"
#include "base/globals.h"
#include "perf/cpu_monitor.h"
#include "perf/fps_monitor.h"
#include "perf/frame_anatomy.h"
#include "perf/frame_hitches.h"
#include "perf/frame_pacer.h"
#include "perf/map_cycle.h"
#include "perf/measuring_period.h"
#include "perf/server_cpu.h"
#include "perf/startup.h"
#include "perf/tick_rate_rule.h"
#include "sdk/rehlds_api.h"

namespace {

void PrintTickRateRule() {
  const TickRateRule rule = CurrentTickRateRule();
  switch (rule) {
    case TickRateRule::kPinned:
      ConsolePrint("tick rate       follows qrv_vemtark_sysrate (pinned at %d)",
                   static_cast<int>(TickRateRuleValue(rule)));
      return;
    case TickRateRule::kTarget: {
      // The adjustment compares a negative target unsigned, as a rate above any frame rate.
      const int32_t target = TickRateRuleValue(rule);
      ConsolePrint("tick rate       follows qrv_vemtark_autofps (target %d FPS%s)",
                   static_cast<int>(target),
                   target < 0 ? ": a negative target steps the tick rate up every period" : "");
      return;
    }
    case TickRateRule::kNeither:
      ConsolePrint("%s", "tick rate       follows neither (left as it is)");
      return;
  }
}

void PrintSysTicrate() {
  const cvar_t *variable = g_Bindings.sysTicrate;
  const char *text = variable != nullptr && variable->string != nullptr ? variable->string : "n/a";
  ConsolePrint("sys_ticrate     %s", text);
}

void PrintFrameFigures() {
  const FrameHitchFigures &figures = FrameHitches();
  char lastPeriod[kMillisecondsTextSize];
  char sinceMapStart[kMillisecondsTextSize];
  FormatMilliseconds(figures.lastPeriodLongestMs, lastPeriod);
  FormatMilliseconds(figures.mapLongestMs, sinceMapStart);
  ConsolePrint("longest frame   %s ms last period, %s ms since the map started", lastPeriod,
               sinceMapStart);
  char threshold[32] = "warnings off";
  if (HitchThresholdMs() > 0.0f) {
    std::snprintf(threshold, sizeof(threshold), "threshold %g ms",
                  static_cast<double>(HitchThresholdMs()));
  }
  ConsolePrint("hitches         %u last period, %u since the map started (%s)",
               static_cast<unsigned>(figures.lastPeriodHitches),
               static_cast<unsigned>(figures.mapHitches), threshold);
}

void PrintStartup() {
  char longest[kMillisecondsTextSize];
  FormatMilliseconds(FrameHitches().startupLongestMs, longest);
  ConsolePrint("map start-up    longest frame %s ms (never a hitch)", longest);
}

void PrintPacing() {
  const FramePacingFigures &pacing = FramePacing();
  char api[48] = "";
  if (pacing.apiMajor != 0) {
    std::snprintf(api, sizeof(api), " (ReHLDS API %d.%d)", pacing.apiMajor, pacing.apiMinor);
  }
  switch (pacing.state) {
    case PacingState::kOff:
      ConsolePrint("%s", "pacing          off");
      return;
    case PacingState::kNoTarget:
      ConsolePrint(
          "%s", "pacing          no target: qrv_vemtark_sysrate and qrv_vemtark_autofps are off");
      return;
    case PacingState::kTargetOutOfRange: {
      const char *name = TickRateRuleVariable(pacing.outOfRangeRule);
      if (pacing.outOfRangeValue < 1) {
        ConsolePrint("pacing          no target: %s %d is negative", name,
                     static_cast<int>(pacing.outOfRangeValue));
      } else {
        ConsolePrint("pacing          no target: %s %d is above %d FPS, the highest paced rate",
                     name, static_cast<int>(pacing.outOfRangeValue),
                     static_cast<int>(kHighestPacedRate));
      }
      return;
    }
    case PacingState::kOn:
      ConsolePrint("pacing          on at %u FPS, %u of %u frames late last period%s",
                   static_cast<unsigned>(ActivePacingTarget()),
                   static_cast<unsigned>(pacing.lastPeriodLate),
                   static_cast<unsigned>(pacing.lastPeriodFrames), api);
      if (pacing.heldByCommandLine[0] != '\0') {
        ConsolePrint(
            "pacing held     by -sys_ticrate %s on the command line, which the engine "
            "reads before sys_ticrate: drop it",
            pacing.heldByCommandLine);
      }
      return;
    case PacingState::kNeedsReHLDS:
      ConsolePrint("%s",
                   "pacing          unavailable: needs ReHLDS (this engine has no frame hook)");
      return;
    case PacingState::kApiTooOld:
      ConsolePrint("pacing          unavailable: needs ReHLDS API %d.%d or newer%s",
                   REHLDS_API_VERSION_MAJOR, REHLDS_API_SV_FRAME_MINOR, api);
      return;
    case PacingState::kApiUnknown:
      ConsolePrint(
          "pacing          unavailable: this engine has ReHLDS API %d.%d, which this "
          "version does not know",
          pacing.apiMajor, pacing.apiMinor);
      return;
  }
}

void PrintIdleRate() {
  if (ServerIdles()) {
    ConsolePrint("idle            yes, at %u FPS: nobody is playing (bots do not count)",
                 static_cast<unsigned>(IdleFrameRate()));
  } else if (IdleFrameRate() != 0) {
    ConsolePrint("idle            no: at %u FPS once nobody has played for 10 s",
                 static_cast<unsigned>(IdleFrameRate()));
  }
}

void PrintServerLoop() {
  if (LoopPollsWithoutSleeping()) ConsolePrint("server loop     %s", kPollingLoopSentence);
}

// Where the last period's average frame went, in the parts this engine gives.
void PrintFrameParts() {
  const AnatomyAverage &average = LastPeriodAnatomy();
  const AnatomySource source = average.frames != 0 ? average.source : g_anatomySource;
  if (source == AnatomySource::kNone) {
    ConsolePrint("%s", "frame parts     unavailable: this engine gives no hook to split frames at");
    return;
  }
  if (average.frames == 0) {
    ConsolePrint("%s", "frame parts     not measured yet on this map");
    return;
  }
  const bool engine = source == AnatomySource::kEngineHooks;
  const int first = engine ? kPartWait : kPartStartFrame;
  const int last = engine ? kPartOutput : kPartRest;
  int64_t total = 0;
  for (int part = first; part <= last; ++part) total += average.parts[part];
  char text[256];
  int used = 0;
  for (int part = first; part <= last && used < static_cast<int>(sizeof(text)); ++part) {
    const double ms = static_cast<double>(average.parts[part]) / average.frames / 1.0e6;
    const double share = total > 0 ? 100.0 * static_cast<double>(average.parts[part]) / total : 0;
    used += std::snprintf(text + used, sizeof(text) - static_cast<size_t>(used),
                          "%s%s %.3f ms (%.0f %%)", part == first ? "" : ", ",
                          kFramePartNames[part], ms, share);
  }
  ConsolePrint("frame parts     %s in the average frame of the last period%s", text,
               engine ? "" : " (this engine gives only the game's StartFrame and the rest)");
}

void PrintLastHitch() {
  int64_t nanoseconds = 0;
  const FrameAnatomy *anatomy = LastHitchAnatomy(&nanoseconds);
  if (anatomy == nullptr) {
    ConsolePrint("%s", "last hitch      none split since the map started");
    return;
  }
  char length[kMillisecondsTextSize];
  FormatMilliseconds(MillisecondsOf(nanoseconds), length);
  char parts[400];
  FormatAnatomy(*anatomy, parts, sizeof(parts));
  ConsolePrint("last hitch      %s ms: %s", length, parts);
}

void PrintProcessorLoad() {
  double percent = 0.0;
  if (LastCpuLoad(&percent)) {
    ConsolePrint("processor load  %.1f %% over the last period", percent);
  } else {
    ConsolePrint("%s", "processor load  n/a");
  }
  if (LastServerCpuShare(&percent)) {
    ConsolePrint("server process  %.1f %% of a core over the last period", percent);
  } else {
    ConsolePrint("%s", "server process  n/a");
  }
}

void PrintMap(const globalvars_t *globals) {
  const char *name = EngineString(globals->mapname);
  if (name == nullptr || name[0] == '\0') name = "(none)";
  const unsigned long long whole = MapRunningSeconds(*globals);
  ConsolePrint("map             %s, running %llu:%02u:%02u", name, whole / 3600,
               static_cast<unsigned>(whole / 60 % 60), static_cast<unsigned>(whole % 60));
}

}  // namespace

void StatusCommand() {
  PrefixedConsolePrint("Status of %s %s", kPluginName, kPluginVersion);
  if (g_bMeasuredOnThisMap) {
    ConsolePrint("frame rate      %u FPS over the last %u s", static_cast<unsigned>(g_uMeasuredFps),
                 static_cast<unsigned>(kMeasuringPeriodSeconds));
  } else {
    ConsolePrint("frame rate      not measured yet on this map (the first %u s still run)",
                 static_cast<unsigned>(kMeasuringPeriodSeconds));
  }
  PrintTickRateRule();
  PrintSysTicrate();
  PrintFrameFigures();
  PrintStartup();
  PrintPacing();
  PrintIdleRate();
  PrintServerLoop();
  if (AnatomyWanted()) {
    PrintFrameParts();
    PrintLastHitch();
  }
  PrintProcessorLoad();
  const globalvars_t *globals = gpGlobals;
  if (globals == nullptr) {
    ConsolePrint("%s", "players         n/a");
    ConsolePrint("%s", "map             n/a");
    return;
  }
  ConsolePrint("players         %d of %d", static_cast<int>(CountPlayersPresent()),
               globals->maxClients);
  PrintMap(globals);
}
