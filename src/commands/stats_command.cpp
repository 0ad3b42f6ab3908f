#include "commands/stats_command.h"

#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstdio>

#include "base/console.h"
#include "base/globals.h"
#include "perf/cpu_monitor.h"
#include "perf/fps_monitor.h"
#include "perf/frame_hitches.h"
#include "perf/frame_pacer.h"
#include "perf/map_cycle.h"
#include "perf/server_cpu.h"
#include "perf/startup.h"
#include "perf/tick_rate_rule.h"

namespace {

// Scripts find a figure by its column's name, so names and order only ever grow at the end.
const char *const kColumns[] = {"FPS",     "Target", "Ticrate", "Longest",   "Hitches", "CPU",
                                "Players", "Uptime", "Late",    "ServerCPU", "Idle"};
constexpr size_t kColumnCount = sizeof(kColumns) / sizeof(kColumns[0]);
// Room for the longest figure any column can hold ("-2147483648", "400000000.0").
constexpr size_t kFigureSize = kMillisecondsTextSize;
// A blank before every column keeps two figures apart even when one outgrows its width, and ten
// characters hold every figure a running server shows, so that it stays under its name.
constexpr size_t kLineSize = kColumnCount * (1 + kFigureSize) + 1;
// What a column shows while it has no figure.
const char kNoFigure[] = "-1";
// No engine runs this fast, and beyond it single precision no longer holds the tenth shown.
constexpr double kLargestTickRate = 1.0e6;
// A counter library that answers more than this is broken; its figure would only mislead.
constexpr double kLargestLoad = 1.0e6;

using Figure = char[kFigureSize];

void FormatFrameRate(Figure &text) {
  if (!g_bMeasuredOnThisMap) {
    std::snprintf(text, sizeof(text), "%s", kNoFigure);
    return;
  }
  std::snprintf(text, sizeof(text), "%u", static_cast<unsigned>(g_uMeasuredFps));
}

// Signed, as the operator typed it: a negative qrv_vemtark_autofps, which the stepping reads as a
// huge target, shows as the number that is set rather than as its unsigned image.
void FormatTarget(Figure &text) {
  std::snprintf(text, sizeof(text), "%d",
                static_cast<int>(TickRateRuleValue(CurrentTickRateRule())));
}

void FormatTickRate(Figure &text) {
  const cvar_t *variable = g_Bindings.sysTicrate;
  const double value = variable != nullptr ? static_cast<double>(variable->value) : NAN;
  if (!(std::fabs(value) < kLargestTickRate)) {
    std::snprintf(text, sizeof(text), "%s", kNoFigure);
    return;
  }
  std::snprintf(text, sizeof(text), "%.1f", value);
}

// A share in percent with one decimal, or no figure.
void FormatPercent(bool known, double percent, Figure &text) {
  if (!known || !(std::fabs(percent) < kLargestLoad)) {
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

// The columns of one line, each a blank and then its text right-aligned in 10 characters.
void PrintColumns(const char *const (&texts)[kColumnCount]) {
  char line[kLineSize] = "";
  size_t used = 0;
  for (const char *text : texts) {
    const int written = std::snprintf(line + used, sizeof(line) - used, " %10s", text);
    if (written < 0) break;
    used += static_cast<size_t>(written);
    if (used >= sizeof(line)) used = sizeof(line) - 1;
  }
  ConsolePrint("%s", line);
}

}  // namespace

void StatsCommand() {
  PrintColumns(kColumns);

  const FrameHitchFigures &hitches = FrameHitches();
  Figure frameRate;
  Figure target;
  Figure tickRate;
  Figure longest;
  Figure hitchCount;
  Figure load;
  Figure players;
  Figure uptime;
  Figure late;
  Figure serverCpu;
  Figure idle;
  FormatFrameRate(frameRate);
  FormatTarget(target);
  FormatTickRate(tickRate);
  FormatMilliseconds(hitches.lastPeriodLongestMs, longest);
  std::snprintf(hitchCount, sizeof(hitchCount), "%u",
                static_cast<unsigned>(hitches.lastPeriodHitches));
  double machine = 0.0;
  const bool machineLoad = LastCpuLoad(&machine);
  FormatPercent(machineLoad, machine, load);
  double server = 0.0;
  const bool serverShare = LastServerCpuShare(&server);
  FormatPercent(serverShare, server, serverCpu);
  std::snprintf(players, sizeof(players), "%d", static_cast<int>(CountPlayersPresent()));
  std::snprintf(uptime, sizeof(uptime), "%lld", UptimeMinutes());
  std::snprintf(late, sizeof(late), "%u", static_cast<unsigned>(FramePacing().lastPeriodLate));
  std::snprintf(idle, sizeof(idle), "%d", ServerIdles() ? 1 : 0);
  const char *const figures[kColumnCount] = {frameRate,  target,    tickRate, longest,
                                             hitchCount, load,      players,  uptime,
                                             late,       serverCpu, idle};
  PrintColumns(figures);
}
