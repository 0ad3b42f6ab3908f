#include "perf/frame_hitches.h"

#include <cmath>
#include <cstdio>
#include <cstring>

#include "base/globals.h"
#include "base/plugin_log.h"
#include "perf/startup.h"

float g_flLongFrameFloor = -1.0f;

namespace {

// One warning line a minute at most, counted in measuring periods since game time restarts at
// every map.
constexpr uint32_t kPeriodsBetweenWarnings = 15;
constexpr float kDefaultThresholdMs = 50.0f;

// Hitches counted but not yet written to the log.
struct PendingHitches {
  uint32_t hitches;
  float longestSeconds;
  float thresholdMs;   // the threshold they were counted against
  float sinceSeconds;  // game time at which the first period they come from began
};

FrameHitchFigures g_figures;
float g_thresholdMs = kDefaultThresholdMs;
float g_periodLongestSeconds = 0.0f;
uint32_t g_periodHitches = 0;
float g_periodStartSeconds = 0.0f;
PendingHitches g_pending;
// Starts full, so the first hitch of the server's life is written at once.
uint32_t g_periodsSinceWarning = kPeriodsBetweenWarnings;

float GameTime() { return gpGlobals != nullptr ? gpGlobals->time : 0.0f; }

void ReadThreshold() {
  const cvar_t *variable = g_Bindings.hitchMs;
  float ms = variable != nullptr ? variable->value : kDefaultThresholdMs;
  // Zero, a negative or a non-number turns the watch for hitches off.
  if (!(ms > 0.0f) || std::isinf(ms)) ms = 0.0f;
  g_thresholdMs = ms;
}

// The engine's frame time is in seconds; 0 while hitches are off.
float ThresholdSeconds() { return g_thresholdMs / 1000.0f; }

// A frame is looked at when it could beat the period's longest or is a hitch.
void RaiseFloor() {
  const float threshold = ThresholdSeconds();
  g_flLongFrameFloor =
      threshold > 0.0f && threshold < g_periodLongestSeconds ? threshold : g_periodLongestSeconds;
}

// The engine copies the text into fresh memory on every set; an unchanged figure, the common case
// for the hitch count, is left alone.
void Publish(cvar_t *variable, const char *text) {
  if (variable == nullptr) return;
  if (variable->string != nullptr && std::strcmp(variable->string, text) == 0) return;
  SetVariableString(variable, text);
}

void PublishFigures() {
  char text[kMillisecondsTextSize];
  FormatMilliseconds(g_figures.lastPeriodLongestMs, text);
  Publish(g_Bindings.frametimeMax, text);
  std::snprintf(text, sizeof(text), "%u", static_cast<unsigned>(g_figures.lastPeriodHitches));
  Publish(g_Bindings.hitches, text);
}

void WriteWarning() {
  char longest[kMillisecondsTextSize];
  FormatMilliseconds(g_pending.longestSeconds * 1000.0f, longest);
  const int32_t players = CountPlayersPresent();
  double span = std::floor(static_cast<double>(GameTime() - g_pending.sinceSeconds) + 0.5);
  if (!(span >= 0.0)) span = 0.0;
  WriteLog(true, LOG_LEVEL_WARNING,
           "Frame hitch: longest frame %s ms, %u %s over %g ms in the last %.0f s on %s with %d "
           "%s.",
           longest, g_pending.hitches, g_pending.hitches == 1 ? "hitch" : "hitches",
           static_cast<double>(g_pending.thresholdMs), span,
           gpGlobals != nullptr ? EngineString(gpGlobals->mapname) : "", static_cast<int>(players),
           players == 1 ? "player" : "players");
  g_pending = PendingHitches{};
  g_periodsSinceWarning = 0;
}

// Folds the running period's hitches into those waiting for the log.
void KeepForWarning() {
  if (g_periodHitches == 0) return;
  if (g_pending.hitches == 0) g_pending.sinceSeconds = g_periodStartSeconds;
  g_pending.hitches += g_periodHitches;
  if (g_periodLongestSeconds > g_pending.longestSeconds) {
    g_pending.longestSeconds = g_periodLongestSeconds;
  }
  g_pending.thresholdMs = g_thresholdMs;
}

}  // namespace

const FrameHitchFigures &FrameHitches() { return g_figures; }

void FormatMilliseconds(float ms, char (&text)[kMillisecondsTextSize]) {
  double tenths = std::floor(static_cast<double>(ms) * 10.0 + 0.5);
  if (!(tenths >= 0.0)) tenths = 0.0;
  if (tenths > 4.0e9) tenths = 4.0e9;
  const auto value = static_cast<unsigned long>(tenths);
  std::snprintf(text, sizeof(text), "%lu.%lu", value / 10, value % 10);
}

float HitchThresholdMs() { return g_thresholdMs; }

void NoteLongFrame(float frameSeconds) {
  if (g_flLongFrameFloor < 0.0f) {
    // The first frame after map activation carries the map's loading.
    RaiseFloor();
    return;
  }
  if (frameSeconds > g_periodLongestSeconds) g_periodLongestSeconds = frameSeconds;
  const float ms = frameSeconds * 1000.0f;
  if (ms > g_figures.mapLongestMs) g_figures.mapLongestMs = ms;
  const float threshold = ThresholdSeconds();
  if (threshold > 0.0f && frameSeconds > threshold) {
    ++g_periodHitches;
    ++g_figures.mapHitches;
  }
  RaiseFloor();
}

void StartHitchWatch() {
  g_figures = FrameHitchFigures{};
  g_periodLongestSeconds = 0.0f;
  g_periodHitches = 0;
  g_periodStartSeconds = GameTime();
  // Whatever the last map left waiting was written at its end.
  g_pending = PendingHitches{};
  ReadThreshold();
  g_flLongFrameFloor = -1.0f;
  PublishFigures();
}

void EndHitchPeriod() {
  g_figures.lastPeriodLongestMs = g_periodLongestSeconds * 1000.0f;
  g_figures.lastPeriodHitches = g_periodHitches;
  KeepForWarning();
  if (g_periodsSinceWarning < kPeriodsBetweenWarnings) ++g_periodsSinceWarning;
  g_periodLongestSeconds = 0.0f;
  g_periodHitches = 0;
  g_periodStartSeconds = GameTime();
  ReadThreshold();
  if (g_flLongFrameFloor >= 0.0f) RaiseFloor();
}

void FollowUpHitchPeriod() {
  PublishFigures();
  if (g_pending.hitches == 0 || g_periodsSinceWarning < kPeriodsBetweenWarnings) return;
  WriteWarning();
}

void WritePendingHitches() {
  KeepForWarning();
  g_periodHitches = 0;
  g_periodLongestSeconds = 0.0f;
  if (g_pending.hitches != 0) WriteWarning();
}
