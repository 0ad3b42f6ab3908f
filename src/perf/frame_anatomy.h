// Where a frame's time went: every frame interval (one StartFrame to the next, as the hitch
// figures measure it) split at the borders the engine's hooks mark into parts that add up to it.
// On ReHLDS the borders come from its hook chains (the server frame, every command, every
// client's update); elsewhere only the game's StartFrame can be bracketed.
#pragma once

#include <cstdint>

#include "platform/platform.h"

// The parts, in the order of the engine's frame. ReHLDS gives the first five: the wait of pacing,
// the engine's loop and console buffer between two server frames, the packets and players'
// commands, the game's StartFrame and physics, the clients' updates. Without its hooks there are
// the game's StartFrame (every plug-in's after ours) and the rest of the interval.
enum FramePart : int {
  kPartWait,
  kPartBetween,
  kPartInput,
  kPartGame,
  kPartOutput,
  kPartStartFrame,
  kPartRest,
  kFramePartCount,
};
extern const char *const kFramePartNames[kFramePartCount];

// Where the borders come from, decided whenever the engine's hooks are reviewed.
enum class AnatomySource {
  kNone,         // off, or this engine gives no border
  kEngineHooks,  // ReHLDS's hook chains
  kGameHooks,    // the game's StartFrame, bracketed by our own hooks
};
extern AnatomySource g_anatomySource;

// qrv_vemtark_anatomy, read at map start, on the map's first frame and at every period's end.
bool AnatomyWanted();
// Whether the game's StartFrame is bracketed by a hook of ours after it (Metamod's post table
// got one, or standalone, where the plug-in calls the game itself): set by the entry layer.
void NoteStartFrameBracketed(bool bracketed);
// What the engine's hooks now give: the source follows from it and from the setting.
void SetAnatomySource(bool engineHooksRegistered);
// Detach and unload: no border is looked at any more, and the setting is not read again.
void StopFrameAnatomy();

// The clock at the borders, written by the hooks and read at the next StartFrame.
struct FrameStamps {
  int64_t serverFrameEntered;  // the server frame's hook entered, before pacing's wait
  int64_t serverFrameStarted;  // after the wait
  int64_t firstClientUpdate;   // the running server frame's first client update
  bool clientUpdated;          // the running server frame has sent one
  int64_t serverFrameEnded;    // the last server frame handed back to the engine's loop
  int64_t outputStarted;       // where that frame's output began: its first update, or its end
  int64_t startFrameReturned;  // the game's StartFrame returned to our hook after it
};
extern FrameStamps g_frameStamps;

// The slowest command of an interval: its first word, where it came from and its time.
constexpr int kCommandFromConsole = 0;  // `player` for the server's command buffer (rcon too)
struct CommandRecord {
  int64_t nanoseconds;  // 0: no command ran
  int64_t started;
  int player;  // the player's entity index, or kCommandFromConsole
  char word[32];
  char name[32];   // the player's name, filled in once the record is kept
  FramePart part;  // where it ran
};
// A split interval.
struct FrameAnatomy {
  bool complete;  // every border of the interval was seen
  int64_t parts[kFramePartCount];
  CommandRecord command;
};

// Commands: the hook times each one and hands it on when it beats the interval's slowest.
extern int64_t g_llSlowestCommandNanoseconds;
void NoteSlowCommand(int64_t started, int64_t nanoseconds, const char *command, int player);

// The game's StartFrame returned to our hook after it.
inline void NoteStartFrameReturned() {
  if (g_anatomySource == AnatomySource::kGameHooks) {
    g_frameStamps.startFrameReturned = platform::MonotonicNanoseconds();
  }
}

// A client's update begins: the first one of a server frame is the border of the output.
void NoteFirstClientUpdate();
inline void NoteClientUpdate() {
  if (!g_frameStamps.clientUpdated) NoteFirstClientUpdate();
}

// On every monitored frame, before its length is looked at: the interval from `intervalStart`
// to `now` split, its parts added to the running period's, the interval's slowest command kept
// with it. Only while g_anatomySource is not kNone.
void SplitFrameInterval(int64_t intervalStart, int64_t now);
// The interval split last.
const FrameAnatomy &LastFrameAnatomy();
// A kept anatomy's command gets the player's name, while the player is still there.
void NameCommandPlayer(FrameAnatomy &anatomy);

// At the end of every measuring period: the period's average frame kept for the status.
void EndAnatomyPeriod();
// At map activation.
void StartAnatomyForMap();
struct AnatomyAverage {
  AnatomySource source;
  uint32_t frames;  // the split intervals of the last finished period; 0 before one ended
  int64_t parts[kFramePartCount];  // their sums
};
const AnatomyAverage &LastPeriodAnatomy();

// "input 300.1 ms (command "say" from player 3 "Player": 299.8 ms), game 10.2 ms": the parts of
// at least 0.1 ms, largest first, the command beside its part when it took 1 ms or more. Empty
// for an incomplete anatomy.
void FormatAnatomy(const FrameAnatomy &anatomy, char *text, int size);
