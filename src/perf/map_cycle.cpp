#include "perf/map_cycle.h"

#include "frame/globals.h"
#include "perf/fps_monitor.h"

void ActivateMap() {
  StartMeasuringPeriod();
  // Players present on the new map are marked again by their first think.
  ClearPlayerPresence();
}
