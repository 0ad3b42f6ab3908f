// The processor-load counter library where there is no pdh.dll: the same six functions, the same
// handles and the same answers as the Windows library gives the plug-in, over /proc/stat.
#include <fcntl.h>
#include <unistd.h>

#include <cstdio>
#include <cstring>

#include "platform/platform.h"

namespace {

// PDH's own status codes, so that callers see the answers they would on Windows.
constexpr uint32_t kPdhNoData = 0x800007D5;
constexpr uint32_t kPdhObjectNotFound = 0xC0000BB8;   // PDH_CSTATUS_NO_OBJECT
constexpr uint32_t kPdhCounterNotFound = 0xC0000BB9;  // PDH_CSTATUS_NO_COUNTER
constexpr uint32_t kPdhNoMemory = 0xC0000BBB;         // PDH_MEMORY_ALLOCATION_FAILURE
constexpr uint32_t kPdhInvalidHandle = 0xC0000BBC;
constexpr uint32_t kPdhInvalidArgument = 0xC0000BBD;
constexpr uint32_t kPdhFormatDouble = 0x00000200;  // PDH_FMT_DOUBLE

// PDH_FMT_COUNTERVALUE with its double member.
struct FormattedValue {
  uint32_t status;
  double value;
};

struct Sample {
  uint64_t busy;
  uint64_t total;
};

// Handles are serial numbers, never reused, so a closed or removed handle stays invalid.
struct QuerySlot {
  uintptr_t serial;  // 0 = free
};
struct CounterSlot {
  uintptr_t serial;  // 0 = free
  uintptr_t query;
  Sample previous;
  Sample current;
};

constexpr int kMaxQueries = 8;
constexpr int kMaxCounters = 16;
QuerySlot g_queries[kMaxQueries];
CounterSlot g_counters[kMaxCounters];
uintptr_t g_lastSerial;
constexpr char kDefaultStatsPath[] = "/proc/stat";
char g_statsPath[4096] = "/proc/stat";
int g_libraryTag;  // its address is the library's handle

// The first line of the statistics: "cpu  user nice system idle iowait irq softirq steal ...".
// Read with the system's own calls into a fixed buffer: a collection runs in a frame of the
// server, where stdio's allocations are not wanted.
bool ReadProcessorTimes(Sample *sample) {
  const int file = ::open(g_statsPath, O_RDONLY | O_CLOEXEC);
  if (file < 0) return false;
  char text[512];
  ssize_t length = ::read(file, text, sizeof(text) - 1);
  ::close(file);
  if (length < 0) return false;
  text[length] = '\0';
  if (std::strncmp(text, "cpu", 3) != 0) return false;
  const char *next = text + 3;
  uint64_t ticks[8] = {};
  int fields = 0;
  while (fields < 8) {
    while (*next == ' ' || *next == '\t') ++next;
    if (*next < '0' || *next > '9') break;
    uint64_t value = 0;  // wraps like the kernel's own counters on absurd input
    for (; *next >= '0' && *next <= '9'; ++next) value = value * 10 + (*next - '0');
    ticks[fields++] = value;
  }
  if (fields < 4) return false;
  uint64_t total = 0;
  for (uint64_t value : ticks) total += value;
  const uint64_t idle = ticks[3] + ticks[4];  // idle and waiting for input/output
  sample->busy = total - idle;
  sample->total = total;
  return true;
}

uintptr_t SerialOf(platform::CounterHandle handle) { return reinterpret_cast<uintptr_t>(handle); }

QuerySlot *FindQuery(platform::CounterHandle handle) {
  if (handle == nullptr) return nullptr;
  for (QuerySlot &slot : g_queries) {
    if (slot.serial == SerialOf(handle)) return &slot;
  }
  return nullptr;
}

CounterSlot *FindCounter(platform::CounterHandle handle) {
  if (handle == nullptr) return nullptr;
  for (CounterSlot &slot : g_counters) {
    if (slot.serial == SerialOf(handle)) return &slot;
  }
  return nullptr;
}

platform::CounterHandle NewHandle() {
  return reinterpret_cast<platform::CounterHandle>(++g_lastSerial);
}

void FreeQuery(QuerySlot *slot) {
  for (CounterSlot &counter : g_counters) {
    if (counter.serial != 0 && counter.query == slot->serial) counter = CounterSlot{};
  }
  slot->serial = 0;
}

// A free slot, or else the oldest query's, closed with its counters: a caller that never closes
// its queries must not exhaust the table for good.
QuerySlot *SlotForNewQuery() {
  QuerySlot *oldest = &g_queries[0];
  for (QuerySlot &slot : g_queries) {
    if (slot.serial == 0) return &slot;
    if (slot.serial < oldest->serial) oldest = &slot;
  }
  FreeQuery(oldest);
  return oldest;
}

uint32_t OpenQuery(const char *, uintptr_t, platform::CounterHandle *query) {
  if (query == nullptr) return kPdhInvalidArgument;
  QuerySlot *slot = SlotForNewQuery();
  *query = NewHandle();
  slot->serial = SerialOf(*query);
  return platform::kCounterSuccess;
}

uint32_t CloseQuery(platform::CounterHandle query) {
  QuerySlot *slot = FindQuery(query);
  if (slot == nullptr) return kPdhInvalidHandle;
  FreeQuery(slot);
  return platform::kCounterSuccess;
}

uint32_t AddCounter(platform::CounterHandle query, const char *path, uintptr_t,
                    platform::CounterHandle *counter) {
  if (path == nullptr || counter == nullptr) return kPdhInvalidArgument;
  QuerySlot *owner = FindQuery(query);
  if (owner == nullptr) return kPdhInvalidHandle;
  if (std::strcmp(path, platform::kProcessorTotalCounterPath) != 0) return kPdhCounterNotFound;
  Sample first{};
  if (!ReadProcessorTimes(&first)) return kPdhObjectNotFound;
  for (CounterSlot &slot : g_counters) {
    if (slot.serial != 0) continue;
    *counter = NewHandle();
    slot = CounterSlot{SerialOf(*counter), owner->serial, first, first};
    return platform::kCounterSuccess;
  }
  return kPdhNoMemory;
}

uint32_t RemoveCounter(platform::CounterHandle counter) {
  CounterSlot *slot = FindCounter(counter);
  if (slot == nullptr) return kPdhInvalidHandle;
  *slot = CounterSlot{};
  return platform::kCounterSuccess;
}

uint32_t CollectQueryData(platform::CounterHandle query) {
  QuerySlot *owner = FindQuery(query);
  if (owner == nullptr) return kPdhInvalidHandle;
  Sample now{};
  if (!ReadProcessorTimes(&now)) return kPdhNoData;
  for (CounterSlot &slot : g_counters) {
    if (slot.serial == 0 || slot.query != owner->serial) continue;
    slot.previous = slot.current;
    slot.current = now;
  }
  return platform::kCounterSuccess;
}

// The busy share of the processor time between the last two collections, in percent.
uint32_t GetFormattedCounterValue(platform::CounterHandle counter, uint32_t format, uint32_t *type,
                                  FormattedValue *value) {
  CounterSlot *slot = FindCounter(counter);
  if (slot == nullptr) return kPdhInvalidHandle;
  if (value == nullptr || (format & kPdhFormatDouble) == 0) return kPdhInvalidArgument;
  if (type != nullptr) *type = 0;
  const uint64_t total = slot->current.total - slot->previous.total;
  if (total == 0 || slot->current.busy < slot->previous.busy) {
    value->status = kPdhNoData;
    return kPdhNoData;
  }
  const uint64_t busy = slot->current.busy - slot->previous.busy;
  value->status = platform::kCounterSuccess;
  value->value = 100.0 * static_cast<double>(busy) / static_cast<double>(total);
  return platform::kCounterSuccess;
}

using OpenQueryFn = decltype(&OpenQuery);
using CloseQueryFn = decltype(&CloseQuery);
using AddCounterFn = decltype(&AddCounter);
using RemoveCounterFn = decltype(&RemoveCounter);

struct Export {
  const char *name;
  void *function;
};

const Export kExports[] = {
    {"PdhOpenQueryA", reinterpret_cast<void *>(&OpenQuery)},
    {"PdhCloseQuery", reinterpret_cast<void *>(&CloseQuery)},
    {"PdhAddCounterA", reinterpret_cast<void *>(&AddCounter)},
    {"PdhRemoveCounter", reinterpret_cast<void *>(&RemoveCounter)},
    {"PdhCollectQueryData", reinterpret_cast<void *>(&CollectQueryData)},
    {"PdhGetFormattedCounterValue", reinterpret_cast<void *>(&GetFormattedCounterValue)},
};

}  // namespace

namespace platform {

LibraryHandle OpenCounterLibrary() { return &g_libraryTag; }

void *CounterLibrarySymbol(LibraryHandle library, const char *name) {
  if (library != &g_libraryTag || name == nullptr) return nullptr;
  for (const Export &entry : kExports) {
    if (std::strcmp(entry.name, name) == 0) return entry.function;
  }
  return nullptr;
}

void OverrideCounterSource(const char *source) {
  std::snprintf(g_statsPath, sizeof(g_statsPath), "%s",
                source != nullptr ? source : kDefaultStatsPath);
}

// The functions are our own code here: nothing to guard.
bool CallOpenQuery(void *function, CounterHandle *query, CounterStatus *status) {
  *status = reinterpret_cast<OpenQueryFn>(function)(nullptr, 0, query);
  return true;
}

bool CallCloseQuery(void *function, CounterHandle query, CounterStatus *status) {
  *status = reinterpret_cast<CloseQueryFn>(function)(query);
  return true;
}

bool CallAddCounter(void *function, CounterHandle query, const char *path, CounterHandle *counter,
                    CounterStatus *status) {
  *status = reinterpret_cast<AddCounterFn>(function)(query, path, 0, counter);
  return true;
}

bool CallRemoveCounter(void *function, CounterHandle counter, CounterStatus *status) {
  *status = reinterpret_cast<RemoveCounterFn>(function)(counter);
  return true;
}

bool CallCollectQueryData(void *function, CounterHandle query, CounterStatus *status) {
  *status = reinterpret_cast<decltype(&CollectQueryData)>(function)(query);
  return true;
}

bool CallGetFormattedCounterValue(void *function, CounterHandle counter, double *value,
                                  CounterStatus *status) {
  FormattedValue formatted{};
  *status = reinterpret_cast<decltype(&GetFormattedCounterValue)>(function)(
      counter, kPdhFormatDouble, nullptr, &formatted);
  if (*status != kCounterSuccess) return true;
  if (formatted.status != kCounterSuccess) {
    *status = formatted.status;
    return true;
  }
  *value = formatted.value;
  return true;
}

}  // namespace platform
