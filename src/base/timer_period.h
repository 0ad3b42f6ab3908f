// The system timer resolution the plug-in keeps raised while it is attached.
#pragma once

#include <cstdint>

// The period for a requested value: the request capped at 10 ms, unless the device cannot go
// that low, in which case its minimum.
uint32_t ChooseTimerPeriod(uint32_t requested, uint32_t deviceMinimum);

// Reads the device capabilities, begins the chosen period and keeps it as the one in force.
void BeginTimerResolution(uint32_t requested);

// Ends the period in force, if one was begun and not yet ended.
void EndTimerResolution();

// Ends the period in force, if any, and begins the one chosen for the request: the refresh of
// every measuring period and a repeated attach.
void RenewTimerResolution(uint32_t requested);
