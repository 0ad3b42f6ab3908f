// One processor-load query with one counter, opened at every map start and closed at map end.
// On Windows it is the performance data helper (pdh.dll, loaded at run time); elsewhere the
// same operations run over the kernel's processor statistics.
#pragma once

#include "platform/platform.h"

// The counter path each map opens.
using platform::kProcessorTotalCounterPath;

// Opens the query and adds the counter for the path; false when either step fails.
bool CreateCpuMonitor(const char *counterPath);

// Removes the counter and closes the query; false when either step fails.
bool CloseCpuMonitor();

// Collects the counter once; run once a measuring period, outside the frame that ends it, since
// the collection reads the system's statistics.
void SampleCpuLoad();

// The processor load in percent between the last two collections of the map's counter; false
// while the counter is not open or has no such figure yet.
bool LastCpuLoad(double *percent);
