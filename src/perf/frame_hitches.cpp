#include "perf/frame_hitches.h"

#include <cmath>
#include <cstdio>
#include <cstring>

#include "base/globals.h"
#include "base/plugin_log.h"
#include "perf/measuring_period.h"
#include "perf/server_log.h"
#include "perf/startup.h"

int64_t g_llLongFrameFloor = -1;

namespace {

// One warning line a minute at most.
constexpr uint32_t kPeriodsBetweenWarnings = kMeasuringPeriodsPerMinute;
constexpr float kDefaultThresholdMs = static_cast<float>(kHitchMsDefault);

constexpr int64_t kNanosecondsPerMillisecond = 1000000;
// A log line's message at most.
constexpr size_t kWarningSize = 512;
// The first seconds of a map: the engine still settles in (ReHLDS spends one frame of about half
// a second on its own start-up work around the 17th frame), and a warning every map change would
// only teach operators to ignore the warning.
constexpr int64_t kStartupNanoseconds = 2000000000;

// Hitches counted but not yet written to the log.
struct PendingHitches {
  uint32_t hitches;
  int64_t longestNanoseconds;
  FrameAnatomy longestAnatomy;
  float thresholdMs;   // the threshold they were counted against
  float sinceSeconds;  // game time at which the first period they come from began
};

FrameHitchFigures g_figures;
float g_thresholdMs = kDefaultThresholdMs;
int64_t g_periodLongestNanoseconds = 0;
// Frames that begin before this clock reading belong to the map's start-up; the map's first
// frame sets it.
int64_t g_startupEnds = 0;
bool g_firstFrameOfMap = true;
// The map the waiting hitches happened on: by a second activation without a deactivation the
// engine already names the new one.
char g_mapName[64] = "";
uint32_t g_periodHitches = 0;
float g_periodStartSeconds = 0.0f;
float g_lastHitchSeconds = 0.0f;  // game time at the end of the last hitch
PendingHitches g_pending;
// The parts of the period's longest frame and of the map's last hitch, and the time every part
// held over the map's hitches.
FrameAnatomy g_periodLongestAnatomy;
FrameAnatomy g_lastHitchAnatomy;
int64_t g_lastHitchNanoseconds = 0;
int64_t g_mapHitchParts[kFramePartCount];
// Starts full, so the first hitch of the server's life is written at once.
uint32_t g_periodsSinceWarning = kPeriodsBetweenWarnings;

float GameTime() { return gpGlobals != nullptr ? gpGlobals->time : 0.0f; }

// In the clock's nanoseconds; 0 while hitches are off. A threshold beyond any frame is as good as
// none being reached.
int64_t g_thresholdNanoseconds = 0;

void ReadThreshold() {
  const cvar_t *variable = g_Bindings.hitchMs;
  float ms = variable != nullptr ? variable->value : kDefaultThresholdMs;
  // Zero, a negative or a non-number turns the watch for hitches off.
  if (!(ms > 0.0f) || std::isinf(ms)) ms = 0.0f;
  g_thresholdMs = ms;
  const double ns = static_cast<double>(ms) * kNanosecondsPerMillisecond;
  g_thresholdNanoseconds = ns < 9.0e18 ? static_cast<int64_t>(ns) : INT64_MAX;
}

// A frame is looked at when it could beat the period's longest or is a hitch.
void RaiseFloor() {
  const int64_t threshold = g_thresholdNanoseconds;
  g_llLongFrameFloor = threshold > 0 && threshold < g_periodLongestNanoseconds
                           ? threshold
                           : g_periodLongestNanoseconds;
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
  FormatMilliseconds(MillisecondsOf(g_pending.longestNanoseconds), longest);
  const int32_t players = CountPlayersPresent();
  // At an activation without a deactivation the game time is already the new map's: the span
  // then ends at the last hitch.
  const float spanEnd = GameTime() >= g_pending.sinceSeconds ? GameTime() : g_lastHitchSeconds;
  double span = std::floor(static_cast<double>(spanEnd - g_pending.sinceSeconds) + 0.5);
  if (!(span >= 0.0)) span = 0.0;
  // Formatted once for both logs; the map name reaches them only as an argument.
  char text[kWarningSize];
  const int used = std::snprintf(
      text, sizeof(text),
      "Frame hitch: longest frame %s ms, %u %s over %g ms in the last %.0f s on %s with %d %s.",
      longest, g_pending.hitches, g_pending.hitches == 1 ? "hitch" : "hitches",
      static_cast<double>(g_pending.thresholdMs), span, g_mapName, static_cast<int>(players),
      players == 1 ? "player" : "players");
  char parts[kWarningSize];
  FormatAnatomy(g_pending.longestAnatomy, parts, sizeof(parts));
  const size_t room = used > 0 ? sizeof(text) - static_cast<size_t>(used) : 0;
  if (parts[0] != '\0' && room > 0) {
    // Cut where the log line ends, as every log line is.
    char *end = text + used;
    const int added = std::snprintf(end, room, " Longest: %.*s.", static_cast<int>(room), parts);
    if (added < 0) *end = '\0';
  }
  WriteLog(true, LOG_LEVEL_WARNING, "%s", text);
  CopyToServerLog(text);
  g_pending = PendingHitches{};
  g_periodsSinceWarning = 0;
}

// Folds the running period's hitches into those waiting for the log.
void KeepForWarning() {
  if (g_periodHitches == 0) return;
  if (g_pending.hitches == 0) g_pending.sinceSeconds = g_periodStartSeconds;
  g_pending.hitches += g_periodHitches;
  if (g_periodLongestNanoseconds > g_pending.longestNanoseconds) {
    g_pending.longestNanoseconds = g_periodLongestNanoseconds;
    g_pending.longestAnatomy = g_periodLongestAnatomy;
  }
  g_pending.thresholdMs = g_thresholdMs;
}

}  // namespace

const FrameHitchFigures &FrameHitches() { return g_figures; }

float HitchThresholdMs() { return g_thresholdMs; }

void NoteLongFrame(int64_t frameNanoseconds, int64_t now) {
  if (g_firstFrameOfMap) {
    // The first frame after map activation: the time since the last frame is the map's loading.
    g_firstFrameOfMap = false;
    g_startupEnds = now + kStartupNanoseconds;
    return;
  }
  if (now - frameNanoseconds < g_startupEnds) {
    const float ms = MillisecondsOf(frameNanoseconds);
    if (ms > g_figures.startupLongestMs) g_figures.startupLongestMs = ms;
    // Every start-up frame is looked at, so the first one after it raises the floor at once.
    return;
  }
  const bool split = g_anatomySource != AnatomySource::kNone;
  if (frameNanoseconds > g_periodLongestNanoseconds) {
    g_periodLongestNanoseconds = frameNanoseconds;
    if (split) {
      g_periodLongestAnatomy = LastFrameAnatomy();
      NameCommandPlayer(g_periodLongestAnatomy);
    }
  }
  const float ms = MillisecondsOf(frameNanoseconds);
  if (ms > g_figures.mapLongestMs) g_figures.mapLongestMs = ms;
  const int64_t threshold = g_thresholdNanoseconds;
  if (threshold > 0 && frameNanoseconds > threshold) {
    ++g_periodHitches;
    ++g_figures.mapHitches;
    g_lastHitchSeconds = GameTime();
    if (split && LastFrameAnatomy().complete) {
      g_lastHitchAnatomy = LastFrameAnatomy();
      NameCommandPlayer(g_lastHitchAnatomy);
      g_lastHitchNanoseconds = frameNanoseconds;
      for (int part = 0; part < kFramePartCount; ++part) {
        g_mapHitchParts[part] += g_lastHitchAnatomy.parts[part];
      }
    }
  }
  RaiseFloor();
}

void StartHitchWatch() {
  g_figures = FrameHitchFigures{};
  g_periodLongestAnatomy = FrameAnatomy{};
  g_lastHitchAnatomy = FrameAnatomy{};
  g_lastHitchNanoseconds = 0;
  for (int64_t &part : g_mapHitchParts) part = 0;
  const char *map = gpGlobals != nullptr ? EngineString(gpGlobals->mapname) : nullptr;
  std::snprintf(g_mapName, sizeof(g_mapName), "%s", map != nullptr ? map : "");
  g_periodLongestNanoseconds = 0;
  g_periodHitches = 0;
  g_periodStartSeconds = GameTime();
  ReadThreshold();
  g_firstFrameOfMap = true;
  g_startupEnds = 0;
  g_llLongFrameFloor = -1;
  PublishFigures();
}

void ReadHitchSettingsAgain() {
  ReadThreshold();
  if (g_llLongFrameFloor >= 0) RaiseFloor();
}

void EndHitchPeriod() {
  g_figures.lastPeriodLongestMs = MillisecondsOf(g_periodLongestNanoseconds);
  g_figures.lastPeriodHitches = g_periodHitches;
  KeepForWarning();
  if (g_periodsSinceWarning < kPeriodsBetweenWarnings) ++g_periodsSinceWarning;
  g_periodLongestNanoseconds = 0;
  g_periodLongestAnatomy = FrameAnatomy{};
  g_periodHitches = 0;
  g_periodStartSeconds = GameTime();
  ReadThreshold();
  if (g_llLongFrameFloor >= 0) RaiseFloor();
}

void FollowUpHitchPeriod() {
  PublishFigures();
  if (g_pending.hitches == 0 || g_periodsSinceWarning < kPeriodsBetweenWarnings) return;
  WriteWarning();
}

const FrameAnatomy *LastHitchAnatomy(int64_t *nanoseconds) {
  if (g_lastHitchNanoseconds == 0) return nullptr;
  *nanoseconds = g_lastHitchNanoseconds;
  return &g_lastHitchAnatomy;
}

int PartHoldingMostHitchTime() {
  int most = -1;
  for (int part = 0; part < kFramePartCount; ++part) {
    if (g_mapHitchParts[part] > 0 && (most < 0 || g_mapHitchParts[part] > g_mapHitchParts[most])) {
      most = part;
    }
  }
  return most;
}

void WritePendingHitches() {
  KeepForWarning();
  g_periodHitches = 0;
  g_periodLongestNanoseconds = 0;
  g_periodLongestAnatomy = FrameAnatomy{};
  if (g_pending.hitches != 0) WriteWarning();
}
