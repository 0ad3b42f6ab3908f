// The longest frames of the server and the hitches among them: frames longer than the operator's
// threshold, which players feel as a freeze and a jump however good the average frame rate is.
#pragma once

#include <cstddef>
#include <cstdint>

// What the last finished measuring period and the running map have seen so far.
struct FrameHitchFigures {
  float lastPeriodLongestMs;  // longest frame of the last finished period
  uint32_t lastPeriodHitches;
  float mapLongestMs;  // longest frame since the map started (its loading frame left out)
  uint32_t mapHitches;
};
const FrameHitchFigures &FrameHitches();

// A frame length as the operator reads it everywhere, "312.4": one decimal, a tie rounded up on
// every system (C libraries round a tie in printf differently).
constexpr size_t kMillisecondsTextSize = 24;
void FormatMilliseconds(float ms, char (&text)[kMillisecondsTextSize]);

// The hitch threshold in force, in milliseconds; 0 when hitch warnings are off.
float HitchThresholdMs();

// A frame longer than this (in seconds, as the engine's frame time) may be the longest of the
// period or a hitch, and is looked at by NoteLongFrame; shorter frames cost one comparison.
// Below zero until the first frame after map activation, the map's loading, has passed.
extern float g_flLongFrameFloor;
void NoteLongFrame(float frameSeconds);

// At map activation, once the configuration is read: figures cleared, threshold read again, and
// the next frame left out.
void StartHitchWatch();
// At the end of every measuring period: the period's figures kept for FrameHitches() and the
// warning. Cheap enough for the frame that ends the period: it neither sets a variable nor logs.
void EndHitchPeriod();
// On the frame after a period ended: the figures published in qrv_frametime_max and qrv_hitches,
// and the warning line when hitches wait and the last line is at least a minute old.
void FollowUpHitchPeriod();
// At map end: whatever hitches wait, those of the unfinished period too, go into one line.
void WritePendingHitches();
