#include "commands/stats_command.h"

#include <cmath>
#include <cstdint>
#include <cstdio>

#include "base/console.h"
#include "base/globals.h"
#include "perf/cpu_monitor.h"
#include "perf/fps_monitor.h"
#include "perf/frame_hitches.h"
#include "perf/frame_pacer.h"
#include "perf/map_cycle.h"
#include "perf/startup.h"
#include "perf/tick_rate_rule.h"

namespace {

// Scripts find a figure by its column's name, so names and order only ever grow at the end.
const char *const kColumns[] = {"FPS", "Target",  "Ticrate", "Longest", "Hitches",
                                "CPU", "Players", "Uptime",  "Late"};
// What a column shows while it has no figure.
const char kNoFigure[] = "-1";
// Beyond this a figure would not fit its column; such a tick rate says nothing anyway.
constexpr double kLargestTickRate = 1.0e6;

void FormatFrameRate(char (&text)[16]) {
  if (!g_bMeasuredOnThisMap) {
    std::snprintf(text, sizeof(text), "%s", kNoFigure);
    return;
  }
  std::snprintf(text, sizeof(text), "%u", static_cast<unsigned>(g_uMeasuredFps));
}

void FormatTickRate(char (&text)[16]) {
  const cvar_t *variable = g_Bindings.sysTicrate;
  const double value = variable != nullptr ? static_cast<double>(variable->value) : NAN;
  if (!(std::fabs(value) < kLargestTickRate)) {
    std::snprintf(text, sizeof(text), "%s", kNoFigure);
    return;
  }
  std::snprintf(text, sizeof(text), "%.1f", value);
}

void FormatProcessorLoad(char (&text)[16]) {
  double percent = 0.0;
  if (!LastCpuLoad(&percent)) {
    std::snprintf(text, sizeof(text), "%s", kNoFigure);
    return;
  }
  std::snprintf(text, sizeof(text), "%.1f", percent);
}

// Whole minutes of game time, which starts again with every map; -1 without the engine's globals.
long long UptimeMinutes() {
  if (gpGlobals == nullptr) return -1;
  return static_cast<long long>(MapRunningSeconds(*gpGlobals) / 60);
}

}  // namespace

void StatsCommand() {
  // Every column 8 wide, right-aligned, the names as the values below them.
  char header[sizeof(kColumns) / sizeof(kColumns[0]) * 8 + 1];
  int used = 0;
  for (const char *column : kColumns) {
    used += std::snprintf(header + used, sizeof(header) - static_cast<size_t>(used), "%8s", column);
  }
  ConsolePrint("%s", header);

  const FrameHitchFigures &hitches = FrameHitches();
  char frameRate[16];
  char tickRate[16];
  char longest[kMillisecondsTextSize];
  char load[16];
  FormatFrameRate(frameRate);
  FormatTickRate(tickRate);
  FormatMilliseconds(hitches.lastPeriodLongestMs, longest);
  FormatProcessorLoad(load);
  ConsolePrint("%8s%8u%8s%8s%8u%8s%8d%8lld%8u", frameRate,
               static_cast<unsigned>(TickRateRuleValue(CurrentTickRateRule())), tickRate, longest,
               static_cast<unsigned>(hitches.lastPeriodHitches), load,
               static_cast<int>(CountPlayersPresent()), UptimeMinutes(),
               static_cast<unsigned>(FramePacing().lastPeriodLate));
}
