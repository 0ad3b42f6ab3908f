// The longest frames of the server and the hitches among them: frames longer than the operator's
// threshold, which players feel as a freeze and a jump however good the average frame rate is.
#pragma once

#include <cstdint>

// What the last finished measuring period and the running map have seen so far.
struct FrameHitchFigures {
  float lastPeriodLongestMs;  // longest frame of the last finished period
  uint32_t lastPeriodHitches;
  float mapLongestMs;  // longest frame since the map started (its loading frame left out)
  uint32_t mapHitches;
};
const FrameHitchFigures &FrameHitches();

// The hitch threshold in force, in milliseconds; 0 when hitch warnings are off.
float HitchThresholdMs();
