#include "perf/map_summary.h"

#include <cstdint>
#include <cstdio>
#include <cstring>

#include "base/globals.h"
#include "base/plugin_log.h"
#include "perf/cpu_monitor.h"
#include "perf/frame_hitches.h"
#include "perf/measuring_period.h"
#include "perf/server_cpu.h"
#include "perf/server_log.h"
#include "platform/platform.h"

namespace {

constexpr int64_t kNanosecondsPerSecond = 1000000000;
// A log line's message at most.
constexpr size_t kSummarySize = 512;

struct MapFigures {
  bool running;  // started and not yet summed up
  char name[64];
  int64_t startNanoseconds;
  uint32_t periods;
  uint64_t frameSum;  // the frames the periods counted
  uint32_t lowestFrames;
  uint32_t followUps;
  uint32_t loadFigures;
  double loadSum;
  uint32_t serverFigures;
  double serverSum;
  int32_t mostPlayers;
};

MapFigures g_map;

void NotePlayersPresent() {
  const int32_t players = CountPlayersPresent();
  if (players > g_map.mostPlayers) g_map.mostPlayers = players;
}

// The processor counter's figure between the last two collections, when it has one.
void NoteLoad() {
  double percent = 0.0;
  if (LastServerCpuShare(&percent)) {
    g_map.serverSum += percent;
    ++g_map.serverFigures;
  }
  if (!LastCpuLoad(&percent)) return;
  g_map.loadSum += percent;
  ++g_map.loadFigures;
}

// "31:04", or "1:02:03" from an hour on; whole seconds.
void FormatDuration(int64_t nanoseconds, char (&text)[64]) {
  const uint64_t seconds =
      nanoseconds > 0 ? static_cast<uint64_t>(nanoseconds / kNanosecondsPerSecond) : 0;
  const uint64_t hours = seconds / 3600;
  const auto minutes = static_cast<unsigned>(seconds / 60 % 60);
  const auto rest = static_cast<unsigned>(seconds % 60);
  if (hours == 0) {
    std::snprintf(text, sizeof(text), "%u:%02u", minutes, rest);
  } else {
    std::snprintf(text, sizeof(text), "%llu:%02u:%02u", static_cast<unsigned long long>(hours),
                  minutes, rest);
  }
}

// Frames over that many measuring periods as a frame rate with one decimal, a tie rounded up, in
// whole numbers so that no system rounds it differently.
void FormatFrameRate(uint64_t frames, uint64_t periods, char (&text)[32]) {
  const uint64_t seconds = periods * kMeasuringPeriodSeconds;
  const uint64_t tenths = (frames * 20 + seconds) / (seconds * 2);
  std::snprintf(text, sizeof(text), "%llu.%llu", static_cast<unsigned long long>(tenths / 10),
                static_cast<unsigned long long>(tenths % 10));
}

void FormatSummary(bool endedByUnload, char (&text)[kSummarySize]) {
  char ran[64];
  FormatDuration(platform::MonotonicNanoseconds() - g_map.startNanoseconds, ran);
  if (endedByUnload) {
    const size_t length = std::strlen(ran);
    std::snprintf(ran + length, sizeof(ran) - length, " until the plug-in was unloaded");
  }
  if (g_map.periods == 0) {
    std::snprintf(text, sizeof(text), "Map %s ran %s, shorter than one %u s period: no figures.",
                  g_map.name, ran, static_cast<unsigned>(kMeasuringPeriodSeconds));
    return;
  }
  char average[32];
  FormatFrameRate(g_map.frameSum, g_map.periods, average);
  char lowest[32];
  FormatFrameRate(g_map.lowestFrames, 1, lowest);
  const FrameHitchFigures &hitches = FrameHitches();
  char longest[kMillisecondsTextSize];
  FormatMilliseconds(hitches.mapLongestMs, longest);
  char processor[48] = "processor n/a";
  if (g_map.loadFigures != 0) {
    std::snprintf(processor, sizeof(processor), "processor %.1f %% on average",
                  g_map.loadSum / g_map.loadFigures);
  }
  // What this server process cost, beside the machine's load.
  char server[48] = "";
  if (g_map.serverFigures != 0) {
    std::snprintf(server, sizeof(server), ", the server used %.1f %% of a core",
                  g_map.serverSum / g_map.serverFigures);
  }
  // The part that held most of the hitches' time, where the frames were split.
  char where[48] = "";
  const int part = PartHoldingMostHitchTime();
  if (part >= 0) {
    std::snprintf(where, sizeof(where), " (most of their time in %s)", kFramePartNames[part]);
  }
  std::snprintf(text, sizeof(text),
                "Map %s ran %s: %s FPS on average (lowest %u s: %s), longest frame %s ms, %u %s%s, "
                "%s%s, up to %d %s.",
                g_map.name, ran, average, static_cast<unsigned>(kMeasuringPeriodSeconds), lowest,
                longest, static_cast<unsigned>(hitches.mapHitches),
                hitches.mapHitches == 1 ? "hitch" : "hitches", where, processor, server,
                static_cast<int>(g_map.mostPlayers), g_map.mostPlayers == 1 ? "player" : "players");
}

}  // namespace

void StartMapSummary() {
  g_map = MapFigures{};
  const char *name = gpGlobals != nullptr ? EngineString(gpGlobals->mapname) : nullptr;
  if (name == nullptr || name[0] == '\0') name = "(none)";
  std::snprintf(g_map.name, sizeof(g_map.name), "%s", name);
  g_map.startNanoseconds = platform::MonotonicNanoseconds();
  g_map.running = true;
}

void NoteMapPeriodEnded(uint32_t frames) {
  if (!g_map.running) return;
  if (g_map.periods == 0 || frames < g_map.lowestFrames) g_map.lowestFrames = frames;
  g_map.frameSum += frames;
  ++g_map.periods;
}

void NoteMapPeriodFollowedUp() {
  if (!g_map.running) return;
  ++g_map.followUps;
  NoteLoad();
  NotePlayersPresent();
}

bool MapSummaryRunning() { return g_map.running; }

void NoteMapPlayers() {
  if (g_map.running) NotePlayersPresent();
}

void WriteMapSummary(bool endedByUnload) {
  if (!g_map.running) return;
  g_map.running = false;
  // The collection of the last follow-up has not been read yet.
  if (g_map.followUps != 0) NoteLoad();
  NotePlayersPresent();
  char text[kSummarySize];
  FormatSummary(endedByUnload, text);
  WriteLog(true, LOG_LEVEL_LOG, "%s", text);
  CopyToServerLog(text);
}
