#include "perf/frame_anatomy.h"

#include <cstdarg>
#include <cstdio>
#include <cstring>

#include "base/globals.h"
#include "perf/frame_length_text.h"
#include "perf/startup.h"
#include "platform/platform.h"

const char *const kFramePartNames[kFramePartCount] = {"wait",   "between",    "input", "game",
                                                      "output", "startframe", "rest"};

AnatomySource g_anatomySource = AnatomySource::kNone;
FrameStamps g_frameStamps = {};
int64_t g_llSlowestCommandNanoseconds = 0;

namespace {

constexpr int64_t kNanosecondsPerMillisecond = 1000000;
// A command shorter than this names no cause.
constexpr int64_t kCommandNamedNanoseconds = kNanosecondsPerMillisecond;

bool g_startFrameBracketed = false;
FrameAnatomy g_last = {};
CommandRecord g_intervalCommand = {};
AnatomyAverage g_running = {};
AnatomyAverage g_lastPeriod = {};
// Intervals that begin before the map's activation (its loading) stay out of the averages.
int64_t g_averagedFrom = 0;

// The part a command ran in, from where its start lies among the interval's borders.
FramePart PartOfCommand(int64_t started, int64_t intervalStart) {
  const FrameStamps &stamps = g_frameStamps;
  if (g_anatomySource != AnatomySource::kEngineHooks) {
    return started >= intervalStart && started < stamps.startFrameReturned ? kPartStartFrame
                                                                           : kPartRest;
  }
  if (started >= stamps.serverFrameStarted) return kPartInput;
  if (started >= stamps.serverFrameEnded) return kPartBetween;
  if (started >= stamps.outputStarted && stamps.outputStarted < stamps.serverFrameEnded) {
    return kPartOutput;
  }
  return kPartGame;
}

// Every border of the interval came at or after its start and in the engine's order: the last
// server frame's output and end after this StartFrame's predecessor, then this frame's entry,
// its start after the wait, and this StartFrame.
bool SplitAtEngineBorders(int64_t intervalStart, int64_t now, int64_t *parts) {
  const FrameStamps &stamps = g_frameStamps;
  if (!(stamps.outputStarted >= intervalStart && stamps.serverFrameEnded >= stamps.outputStarted &&
        stamps.serverFrameEntered >= stamps.serverFrameEnded &&
        stamps.serverFrameStarted >= stamps.serverFrameEntered &&
        now >= stamps.serverFrameStarted)) {
    return false;
  }
  parts[kPartWait] = stamps.serverFrameStarted - stamps.serverFrameEntered;
  parts[kPartBetween] = stamps.serverFrameEntered - stamps.serverFrameEnded;
  parts[kPartInput] = now - stamps.serverFrameStarted;
  parts[kPartGame] = stamps.outputStarted - intervalStart;
  parts[kPartOutput] = stamps.serverFrameEnded - stamps.outputStarted;
  parts[kPartStartFrame] = 0;
  parts[kPartRest] = 0;
  return true;
}

bool SplitAtStartFrame(int64_t intervalStart, int64_t now, int64_t *parts) {
  const int64_t returned = g_frameStamps.startFrameReturned;
  if (!(returned >= intervalStart && now >= returned)) return false;
  for (int part = kPartWait; part <= kPartOutput; ++part) parts[part] = 0;
  parts[kPartStartFrame] = returned - intervalStart;
  parts[kPartRest] = now - returned;
  return true;
}

// Appends to a text of `size` bytes of which `used` are taken; what does not fit is cut off.
__attribute__((format(printf, 4, 5))) void Append(char *text, int size, int &used,
                                                  const char *format, ...) {
  if (used >= size - 1) return;
  va_list args;
  va_start(args, format);
  const int added = std::vsnprintf(text + used, static_cast<size_t>(size - used), format, args);
  va_end(args);
  if (added > 0) used = added < size - used ? used + added : size - 1;
}

// "312.4 ms" with one decimal, as every frame length is shown.
void AppendMilliseconds(int64_t nanoseconds, char *text, int size, int &used) {
  char ms[kMillisecondsTextSize];
  FormatMilliseconds(MillisecondsOf(nanoseconds), ms);
  Append(text, size, used, "%s ms", ms);
}

void AppendCommand(const CommandRecord &command, char *text, int size, int &used) {
  if (command.player == kCommandFromConsole) {
    Append(text, size, used, " (command \"%s\" from the server console: ", command.word);
  } else {
    Append(text, size, used, " (command \"%s\" from player %d \"%s\": ", command.word,
           command.player, command.name);
  }
  AppendMilliseconds(command.nanoseconds, text, size, used);
  Append(text, size, used, "%s", ")");
}

void SwitchAnatomySource(AnatomySource source) {
  if (source == g_anatomySource) return;
  // Borders of the other source say nothing about the next interval.
  g_anatomySource = source;
  g_frameStamps = FrameStamps{};
  g_intervalCommand = CommandRecord{};
  g_llSlowestCommandNanoseconds = 0;
}

}  // namespace

bool AnatomyWanted() {
  // Without its variable the anatomy stays on, as the variable's default has it.
  return g_Bindings.anatomy == nullptr || VariableToInt32(g_Bindings.anatomy) != 0;
}

void NoteStartFrameBracketed(bool bracketed) { g_startFrameBracketed = bracketed; }

void SetAnatomySource(bool engineHooksRegistered) {
  AnatomySource source = AnatomySource::kNone;
  if (AnatomyWanted()) {
    if (engineHooksRegistered) {
      source = AnatomySource::kEngineHooks;
    } else if (g_startFrameBracketed) {
      source = AnatomySource::kGameHooks;
    }
  }
  SwitchAnatomySource(source);
}

void StopFrameAnatomy() { SwitchAnatomySource(AnatomySource::kNone); }

void NoteSlowCommand(int64_t started, int64_t nanoseconds, const char *command, int player) {
  if (nanoseconds <= g_llSlowestCommandNanoseconds) return;
  g_llSlowestCommandNanoseconds = nanoseconds;
  CommandRecord &record = g_intervalCommand;
  record.nanoseconds = nanoseconds;
  record.started = started;
  record.player = player;
  // The first word only: a command's arguments may hold anything a player typed.
  size_t length = 0;
  if (command != nullptr) {
    while (length + 1 < sizeof(record.word) && command[length] != '\0' && command[length] != ' ') {
      ++length;
    }
    std::memcpy(record.word, command, length);
  }
  record.word[length] = '\0';
  record.name[0] = '\0';
}

void NoteFirstClientUpdate() {
  g_frameStamps.firstClientUpdate = platform::MonotonicNanoseconds();
  g_frameStamps.clientUpdated = true;
}

void SplitFrameInterval(int64_t intervalStart, int64_t now) {
  FrameAnatomy &last = g_last;
  last.complete = g_anatomySource == AnatomySource::kEngineHooks
                      ? SplitAtEngineBorders(intervalStart, now, last.parts)
                      : SplitAtStartFrame(intervalStart, now, last.parts);
  if (g_llSlowestCommandNanoseconds != 0) {
    last.command = g_intervalCommand;
    last.command.part = PartOfCommand(last.command.started, intervalStart);
    g_llSlowestCommandNanoseconds = 0;
  } else {
    last.command.nanoseconds = 0;
  }
  if (!last.complete) {
    for (int64_t &part : last.parts) part = 0;
    return;
  }
  if (intervalStart < g_averagedFrom) return;
  for (int part = 0; part < kFramePartCount; ++part) g_running.parts[part] += last.parts[part];
  ++g_running.frames;
}

const FrameAnatomy &LastFrameAnatomy() { return g_last; }

void NameCommandPlayer(FrameAnatomy &anatomy) {
  CommandRecord &command = anatomy.command;
  if (command.nanoseconds == 0 || command.player == kCommandFromConsole) return;
  const edict_t *player = g_engfuncs.pfnPEntityOfEntIndex != nullptr
                              ? g_engfuncs.pfnPEntityOfEntIndex(command.player)
                              : nullptr;
  const char *name = player != nullptr ? EngineString(player->v.netname) : "";
  std::snprintf(command.name, sizeof(command.name), "%s", name != nullptr ? name : "");
}

void EndAnatomyPeriod() {
  g_running.source = g_anatomySource;
  g_lastPeriod = g_running;
  g_running = AnatomyAverage{};
}

void StartAnatomyForMap() {
  g_averagedFrom = platform::MonotonicNanoseconds();
  g_running = AnatomyAverage{};
  g_lastPeriod = AnatomyAverage{};
  g_last = FrameAnatomy{};
  g_intervalCommand = CommandRecord{};
  g_llSlowestCommandNanoseconds = 0;
}

const AnatomyAverage &LastPeriodAnatomy() { return g_lastPeriod; }

void FormatAnatomy(const FrameAnatomy &anatomy, char *text, int size) {
  if (size <= 0) return;
  text[0] = '\0';
  if (!anatomy.complete) return;
  // Largest first; ties keep the frame's order.
  int order[kFramePartCount];
  for (int part = 0; part < kFramePartCount; ++part) order[part] = part;
  for (int i = 1; i < kFramePartCount; ++i) {
    for (int j = i; j > 0 && anatomy.parts[order[j]] > anatomy.parts[order[j - 1]]; --j) {
      const int swapped = order[j];
      order[j] = order[j - 1];
      order[j - 1] = swapped;
    }
  }
  constexpr int64_t kShownNanoseconds = kNanosecondsPerMillisecond / 20;  // "0.1" after rounding
  const bool commandNamed = anatomy.command.nanoseconds >= kCommandNamedNanoseconds;
  int used = 0;
  for (const int part : order) {
    if (anatomy.parts[part] < kShownNanoseconds) continue;
    Append(text, size, used, "%s%s ", used == 0 ? "" : ", ", kFramePartNames[part]);
    AppendMilliseconds(anatomy.parts[part], text, size, used);
    if (commandNamed && anatomy.command.part == part) {
      AppendCommand(anatomy.command, text, size, used);
    }
  }
}
