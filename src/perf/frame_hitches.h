// The longest frames of the server and the hitches among them: frames longer than the operator's
// threshold, which players feel as a freeze and a jump however good the average frame rate is.
#pragma once

#include <cstddef>
#include <cstdint>

#include "perf/frame_anatomy.h"
#include "perf/frame_length_text.h"

// What the last finished measuring period and the running map have seen so far.
struct FrameHitchFigures {
  float lastPeriodLongestMs;  // longest frame of the last finished period
  uint32_t lastPeriodHitches;
  float mapLongestMs;  // longest frame since the map's start-up
  uint32_t mapHitches;
  float startupLongestMs;  // longest frame of the map's start-up, never a hitch
};
const FrameHitchFigures &FrameHitches();

// The hitch threshold in force, in milliseconds; 0 when hitch warnings are off.
float HitchThresholdMs();

// A frame longer than this (in nanoseconds of the monotonic clock, from one frame's start to the
// next) may be the longest of the period or a hitch, and is looked at by NoteLongFrame; shorter
// frames cost one comparison. Below zero while every frame is looked at: the map's first frame,
// whose time since the last one is the map's loading, and the map's start-up, the frames that
// begin in its first 2 seconds, whose longest is kept apart and is never a hitch.
extern int64_t g_llLongFrameFloor;
// `now` is the clock reading that ended the frame.
void NoteLongFrame(int64_t frameNanoseconds, int64_t now);

// At map activation, once the configuration is queued: figures cleared, threshold read again, and
// the next frame taken for the map's first.
void StartHitchWatch();
// On the map's first frame, once the map's configuration files have run: the threshold read again.
void ReadHitchSettingsAgain();
// At the end of every measuring period: the period's figures kept for FrameHitches() and the
// warning. Cheap enough for the frame that ends the period: it neither sets a variable nor logs.
void EndHitchPeriod();
// On the frame after a period ended: the figures published in qrv_frametime_max and qrv_hitches,
// and the warning line when hitches wait and the last line is at least a minute old.
void FollowUpHitchPeriod();
// The parts of the map's last hitch whose parts were all seen, and its length; null before one.
const FrameAnatomy *LastHitchAnatomy(int64_t *nanoseconds);
// The part that held most of the map's hitch time; -1 while no hitch was split.
int PartHoldingMostHitchTime();
// At map end, and at an activation that no deactivation preceded: whatever hitches wait, those of
// the unfinished period too, go into one line.
void WritePendingHitches();
