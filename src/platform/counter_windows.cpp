// The performance data helper, loaded at run time so that a server without it still starts. Its
// functions are declared here (WINAPI: stdcall on 32-bit) and every call runs under the guard.
#include <windows.h>

#include <cstddef>
#include <cstdio>

#include "platform/fault_guard.h"
#include "platform/platform.h"

namespace {

typedef LONG(WINAPI *PdhOpenQueryFn)(LPCSTR dataSource, DWORD_PTR userData, HANDLE *query);
typedef LONG(WINAPI *PdhCloseQueryFn)(HANDLE query);
typedef LONG(WINAPI *PdhAddCounterFn)(HANDLE query, LPCSTR path, DWORD_PTR userData,
                                      HANDLE *counter);
typedef LONG(WINAPI *PdhRemoveCounterFn)(HANDLE counter);
typedef LONG(WINAPI *PdhCollectQueryDataFn)(HANDLE query);

// PDH_FMT_COUNTERVALUE: the union holds a 64-bit integer and a double, so it starts at offset 8
// on 32-bit Windows too.
struct PdhFormattedValue {
  DWORD status;  // CStatus
  union {
    LONG longValue;
    double doubleValue;
    LONGLONG largeValue;
    LPCSTR ansiText;
  };
};
static_assert(offsetof(PdhFormattedValue, doubleValue) == 8, "PDH_FMT_COUNTERVALUE layout");
static_assert(sizeof(PdhFormattedValue) == 16, "PDH_FMT_COUNTERVALUE layout");
typedef LONG(WINAPI *PdhGetFormattedCounterValueFn)(HANDLE counter, DWORD format, DWORD *type,
                                                    PdhFormattedValue *value);
constexpr DWORD kPdhFormatDouble = 0x00000200;  // PDH_FMT_DOUBLE
constexpr DWORD kPdhValueValid = 0x00000000;    // PDH_CSTATUS_VALID_DATA
constexpr DWORD kPdhValueNew = 0x00000001;      // PDH_CSTATUS_NEW_DATA

constexpr char kDefaultLibrary[] = "pdh.dll";
char g_libraryName[MAX_PATH] = "pdh.dll";

// Runs a lambda under the guard.
template <typename Call>
bool Guarded(Call &call) {
  return platform::RunGuarded([](void *context) { (*static_cast<Call *>(context))(); }, &call);
}

// Until the library answers, the status says the call failed.
constexpr platform::CounterStatus kNoAnswer = 0xFFFFFFFF;

}  // namespace

namespace platform {

LibraryHandle OpenCounterLibrary() { return OpenLibrary(g_libraryName); }

void *CounterLibrarySymbol(LibraryHandle library, const char *name) {
  return LibrarySymbol(library, name);
}

void OverrideCounterSource(const char *source) {
  std::snprintf(g_libraryName, sizeof(g_libraryName), "%s",
                source != nullptr ? source : kDefaultLibrary);
}

bool CallOpenQuery(void *function, CounterHandle *query, CounterStatus *status) {
  *status = kNoAnswer;
  auto open = reinterpret_cast<PdhOpenQueryFn>(function);
  auto call = [&] { *status = static_cast<CounterStatus>(open(nullptr, 0, query)); };
  return Guarded(call);
}

bool CallCloseQuery(void *function, CounterHandle query, CounterStatus *status) {
  *status = kNoAnswer;
  auto close = reinterpret_cast<PdhCloseQueryFn>(function);
  auto call = [&] { *status = static_cast<CounterStatus>(close(query)); };
  return Guarded(call);
}

bool CallAddCounter(void *function, CounterHandle query, const char *path, CounterHandle *counter,
                    CounterStatus *status) {
  *status = kNoAnswer;
  auto add = reinterpret_cast<PdhAddCounterFn>(function);
  auto call = [&] { *status = static_cast<CounterStatus>(add(query, path, 0, counter)); };
  return Guarded(call);
}

bool CallRemoveCounter(void *function, CounterHandle counter, CounterStatus *status) {
  *status = kNoAnswer;
  auto remove = reinterpret_cast<PdhRemoveCounterFn>(function);
  auto call = [&] { *status = static_cast<CounterStatus>(remove(counter)); };
  return Guarded(call);
}

bool CallCollectQueryData(void *function, CounterHandle query, CounterStatus *status) {
  *status = kNoAnswer;
  auto collect = reinterpret_cast<PdhCollectQueryDataFn>(function);
  auto call = [&] { *status = static_cast<CounterStatus>(collect(query)); };
  return Guarded(call);
}

bool CallGetFormattedCounterValue(void *function, CounterHandle counter, double *value,
                                  CounterStatus *status) {
  *status = kNoAnswer;
  auto format = reinterpret_cast<PdhGetFormattedCounterValueFn>(function);
  PdhFormattedValue formatted{};
  DWORD type = 0;
  auto call = [&] {
    *status = static_cast<CounterStatus>(format(counter, kPdhFormatDouble, &type, &formatted));
  };
  if (!Guarded(call)) return false;
  if (*status != kCounterSuccess) return true;
  if (formatted.status != kPdhValueValid && formatted.status != kPdhValueNew) {
    *status = static_cast<CounterStatus>(formatted.status);
    return true;
  }
  *value = formatted.doubleValue;
  return true;
}

}  // namespace platform
