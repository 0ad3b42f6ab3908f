#include "perf/server_cpu.h"

#include <cstdint>

#include "platform/platform.h"

namespace {

struct Reading {
  bool taken;
  int64_t processNanoseconds;
  int64_t clockNanoseconds;
};

Reading g_last = {};
bool g_hasShare = false;
double g_share = 0.0;

Reading Read() {
  Reading reading = {};
  reading.taken = platform::ProcessCpuNanoseconds(&reading.processNanoseconds);
  reading.clockNanoseconds = platform::MonotonicNanoseconds();
  return reading;
}

}  // namespace

void StartServerCpuForMap() {
  g_last = Read();
  g_hasShare = false;
}

void SampleServerCpu() {
  const Reading now = Read();
  const int64_t elapsed = now.clockNanoseconds - g_last.clockNanoseconds;
  g_hasShare = now.taken && g_last.taken && elapsed > 0 &&
               now.processNanoseconds >= g_last.processNanoseconds;
  if (g_hasShare) {
    g_share = 100.0 * static_cast<double>(now.processNanoseconds - g_last.processNanoseconds) /
              static_cast<double>(elapsed);
  }
  g_last = now;
}

bool LastServerCpuShare(double *percent) {
  if (!g_hasShare) return false;
  *percent = g_share;
  return true;
}
