#include "perf/map_cycle.h"

#include "base/globals.h"
#include "base/plugin_log.h"
#include "config/main_config.h"
#include "perf/cpu_monitor.h"
#include "perf/fps_monitor.h"
#include "perf/frame_anatomy.h"
#include "perf/frame_hitches.h"
#include "perf/frame_pacer.h"
#include "perf/humans.h"
#include "perf/map_summary.h"
#include "perf/server_cpu.h"

void ActivateMap() {
  // A map that ended without a deactivation still has its hitches and its summary written under
  // its own name, the summary while the processor counter still holds the map's last figure.
  WritePendingHitches();
  WriteMapSummary();
  ResetMeasuredValues();
  LoadConfiguration();
  // The period starts once the configuration is read, so its reading is not counted.
  StartMeasuringPeriod();
  StartHitchWatch();
  StartAnatomyForMap();
  if (!CreateCpuMonitor(kProcessorTotalCounterPath)) {
    WriteLog(true, LOG_LEVEL_WARNING, "%s", "Win Monitor problem (ID:1)");
  }
  StartServerCpuForMap();
  // Players present on the new map are marked again by their first think, and connect again.
  ClearPlayerPresence();
  ForgetHumans();
  StartMapSummary();
  // A paced map opens the engine's gate at once rather than after its first period, whose frames
  // it would hold back; its warnings wait for the map's first frame.
  StartPacingForMap();
}

uint64_t MapRunningSeconds(const globalvars_t &globals) {
  constexpr double kLongestShownSeconds = 3.2e8;
  double seconds = static_cast<double>(globals.time);
  if (!(seconds >= 0.0)) seconds = 0.0;
  if (seconds > kLongestShownSeconds) seconds = kLongestShownSeconds;
  return static_cast<uint64_t>(seconds);
}

void DeactivateMap() {
  // Written while the map name is still the map they happened on, and the summary before the
  // counter closes and forgets the map's last processor figure.
  WritePendingHitches();
  WriteMapSummary();
  if (!CloseCpuMonitor()) WriteLog(true, LOG_LEVEL_WARNING, "%s", "Win Monitor problem (ID:2)");
}

void EndMapAtUnload() {
  // Hitches wait only while a map runs; without one there is nothing to write.
  if (!MapSummaryRunning()) return;
  WritePendingHitches();
  WriteMapSummary(true);
}
