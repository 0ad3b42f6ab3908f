// The server frame rate, measured over periods of 4 seconds of game time, and the tick rate
// and timer resolution decided from it at the end of every period.
#pragma once

#include <cstdint>

// Frame rate of the last finished period (frames / 4).
extern uint32_t g_uMeasuredFps;

// The body of the per-frame hook.
void MonitorFrame();

// Starts a fresh period at map activation.
void StartMeasuringPeriod();

// The step the automatic adjustment takes for a gap between target and measured frame rate.
int32_t TickRateStep(int64_t gap);
