// The measuring period: the frame rate, the tick-rate decision, the frame figures, frame pacing's
// late frames and the processor figure are all taken over periods of this many seconds of game
// time, and every text that names the period's length prints this number.
#pragma once

#include <cstdint>

constexpr uint32_t kMeasuringPeriodSeconds = 4;

// The same length in game time, which the engine keeps as seconds in a float.
constexpr float kMeasuringPeriodGameSeconds = static_cast<float>(kMeasuringPeriodSeconds);

// Periods in a minute. Game time starts again with every map, so work done at most once a
// minute counts periods rather than comparing times.
static_assert(60 % kMeasuringPeriodSeconds == 0, "a minute must hold whole periods");
constexpr uint32_t kMeasuringPeriodsPerMinute = 60 / kMeasuringPeriodSeconds;
