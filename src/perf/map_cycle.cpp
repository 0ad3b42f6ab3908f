#include "perf/map_cycle.h"

#include "base/globals.h"
#include "base/plugin_log.h"
#include "config/main_config.h"
#include "perf/cpu_monitor.h"
#include "perf/fps_monitor.h"
#include "perf/frame_hitches.h"

void ActivateMap() {
  ResetMeasuredValues();
  LoadConfiguration();
  // The period starts once the configuration is read, so its reading is not counted.
  StartMeasuringPeriod();
  StartHitchWatch();
  if (!CreateCpuMonitor(kProcessorTotalCounterPath)) {
    WriteLog(true, LOG_LEVEL_WARNING, "%s", "Win Monitor problem (ID:1)");
  }
  // Players present on the new map are marked again by their first think.
  ClearPlayerPresence();
}

void DeactivateMap() {
  // Written while the map name is still the map they happened on.
  WritePendingHitches();
  if (!CloseCpuMonitor()) WriteLog(true, LOG_LEVEL_WARNING, "%s", "Win Monitor problem (ID:2)");
}
