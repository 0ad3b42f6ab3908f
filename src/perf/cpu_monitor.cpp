#include "perf/cpu_monitor.h"

#include "base/plugin_log.h"
#include "platform/platform.h"

namespace {

enum LoadState {
  kLoadNotTried = 0,
  kLoadDone = 1,
  kLoadFailed = 2,  // final: a missing or incomplete library is not looked for again
};

enum PdhFunction {
  kPdhOpenQuery,
  kPdhCloseQuery,
  kPdhAddCounter,
  kPdhRemoveCounter,
  kPdhCollectQueryData,
  kPdhGetFormattedCounterValue,
  kPdhFunctionCount,
};

// Resolved in this order. All six must be there for the library to count.
constexpr const char *kPdhFunctionNames[kPdhFunctionCount] = {
    "PdhOpenQueryA",    "PdhCloseQuery",       "PdhAddCounterA",
    "PdhRemoveCounter", "PdhCollectQueryData", "PdhGetFormattedCounterValue",
};

struct PdhBinding {
  int loadState;
  void *functions[kPdhFunctionCount];
};

struct CpuMonitor {
  platform::CounterHandle query;    // 0 once closed; kept after a faulted close, still open
  platform::CounterHandle counter;  // from the last successful addition; 0 once removed
  bool hasLoad;                     // load holds a figure of this map's counter
  double load;
};

PdhBinding g_pdh;
CpuMonitor g_monitor;

bool EnsureLoaded() {
  if (g_pdh.loadState == kLoadDone) return true;
  if (g_pdh.loadState == kLoadFailed) return false;
  // The handle is not kept: the library stays loaded for the life of the process.
  platform::LibraryHandle library = platform::OpenCounterLibrary();
  if (library == nullptr) {
    g_pdh.loadState = kLoadFailed;
    return false;
  }
  for (int i = 0; i < kPdhFunctionCount; ++i) {
    g_pdh.functions[i] = platform::CounterLibrarySymbol(library, kPdhFunctionNames[i]);
    if (g_pdh.functions[i] == nullptr) {
      g_pdh.loadState = kLoadFailed;
      return false;
    }
  }
  g_pdh.loadState = kLoadDone;
  return true;
}

// A query that cannot be closed is reported in the log: a modal box here would hold the whole
// server at the map change until someone dismissed it.
void ReportCloseProblem(const char *text) { WriteLog(true, LOG_LEVEL_WARNING, "%s", text); }

bool OpenQuery() {
  if (!EnsureLoaded()) return false;
  platform::CounterHandle query = nullptr;
  platform::CounterStatus status = 0;
  if (!platform::CallOpenQuery(g_pdh.functions[kPdhOpenQuery], &query, &status) ||
      status != platform::kCounterSuccess) {
    g_monitor.query = nullptr;
    return false;
  }
  g_monitor.query = query;
  return true;
}

bool CloseQuery() {
  if (!EnsureLoaded()) return false;
  if (g_monitor.query == nullptr) {
    ReportCloseProblem("Close Error");
    return false;
  }
  platform::CounterStatus status = 0;
  if (!platform::CallCloseQuery(g_pdh.functions[kPdhCloseQuery], g_monitor.query, &status)) {
    return false;
  }
  // A closed query's handle is never handed to the library again, whatever its answer.
  g_monitor.query = nullptr;
  if (status != platform::kCounterSuccess) {
    ReportCloseProblem("Close Error2");
    return false;
  }
  return true;
}

// A map activated again without a deactivation (one that failed to load) left its query open:
// it is closed before the next one opens, or each such map would leak the library's handles.
// Quietly, since the normal map end reports its own close problems.
void CloseLeftoverQuery() {
  if (g_monitor.query == nullptr) return;
  platform::CounterStatus status = 0;
  if (g_monitor.counter != nullptr) {
    platform::CallRemoveCounter(g_pdh.functions[kPdhRemoveCounter], g_monitor.counter, &status);
    g_monitor.counter = nullptr;
  }
  platform::CallCloseQuery(g_pdh.functions[kPdhCloseQuery], g_monitor.query, &status);
  g_monitor.query = nullptr;
}

}  // namespace

bool CreateCpuMonitor(const char *counterPath) {
  g_monitor.hasLoad = false;  // the previous map's figure says nothing about this one
  if (!EnsureLoaded()) return false;
  CloseLeftoverQuery();
  if (!OpenQuery()) return false;
  platform::CounterHandle counter = nullptr;
  platform::CounterStatus status = 0;
  if (!platform::CallAddCounter(g_pdh.functions[kPdhAddCounter], g_monitor.query, counterPath,
                                &counter, &status) ||
      status != platform::kCounterSuccess) {
    return false;
  }
  g_monitor.counter = counter;
  return true;
}

bool CloseCpuMonitor() {
  g_monitor.hasLoad = false;
  if (!EnsureLoaded()) return false;
  platform::CounterStatus status = 0;
  if (!platform::CallRemoveCounter(g_pdh.functions[kPdhRemoveCounter], g_monitor.counter,
                                   &status)) {
    return false;
  }
  // Whatever the answer, the handle is spent: a later close must not hand the library a counter
  // it may already have freed (it refuses an empty handle just the same).
  g_monitor.counter = nullptr;
  const bool removed = status == platform::kCounterSuccess;
  // The query is closed even when the counter could not be removed.
  const bool closed = CloseQuery();
  return removed && closed;
}

void SampleCpuLoad() {
  // Only a query with a counter in it is collected.
  if (g_pdh.loadState != kLoadDone || g_monitor.query == nullptr || g_monitor.counter == nullptr) {
    return;
  }
  // A failed collection leaves no figure between the last two collections: an older one would
  // pass for the current load.
  g_monitor.hasLoad = false;
  platform::CounterStatus status = 0;
  if (!platform::CallCollectQueryData(g_pdh.functions[kPdhCollectQueryData], g_monitor.query,
                                      &status) ||
      status != platform::kCounterSuccess) {
    return;
  }
  double load = 0.0;
  if (!platform::CallGetFormattedCounterValue(g_pdh.functions[kPdhGetFormattedCounterValue],
                                              g_monitor.counter, &load, &status) ||
      status != platform::kCounterSuccess) {
    return;
  }
  g_monitor.load = load;
  g_monitor.hasLoad = true;
}

bool LastCpuLoad(double *percent) {
  if (!g_monitor.hasLoad) return false;
  if (percent != nullptr) *percent = g_monitor.load;
  return true;
}
