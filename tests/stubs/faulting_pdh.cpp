// A stand-in for pdh.dll whose functions fault: each raises a processor exception unless a test
// has let it succeed. Built without one of the six names (QRV_STAND_IN_INCOMPLETE) it stands for
// a library that is present but incomplete.
#include <windows.h>

#include <cstring>

namespace {

LONG g_calls;
LONG g_openQueries;
bool g_succeeds[6];
int *volatile g_nowhere;  // null, but the compiler cannot know it
volatile int g_zero;
volatile int g_hundred = 100;  // a dividend of 1 would be folded into a comparison

enum { kOpen, kClose, kAdd, kRemove, kCollect, kFormat };
const char *const kNames[] = {"PdhOpenQueryA",       "PdhCloseQuery",
                              "PdhAddCounterA",      "PdhRemoveCounter",
                              "PdhCollectQueryData", "PdhGetFormattedCounterValue"};

// The ways a broken library fails: a write through a null pointer, or a division by zero.
LONG Fault(int function) {
  if (function == kClose) return g_hundred / g_zero;
  *g_nowhere = function;
  return -1;
}

}  // namespace

extern "C" {

__declspec(dllexport) void StandInLetSucceed(const char *name) {
  for (int i = 0; i < 6; ++i) {
    if (std::strcmp(kNames[i], name) == 0) g_succeeds[i] = true;
  }
}

__declspec(dllexport) LONG StandInCalls(void) { return g_calls; }
__declspec(dllexport) LONG StandInOpenQueries(void) { return g_openQueries; }

__declspec(dllexport) LONG WINAPI PdhOpenQueryA(LPCSTR, DWORD_PTR, HANDLE *query) {
  ++g_calls;
  if (!g_succeeds[kOpen]) return Fault(kOpen);
  *query = reinterpret_cast<HANDLE>(static_cast<DWORD_PTR>(0x51));
  ++g_openQueries;
  return 0;
}

__declspec(dllexport) LONG WINAPI PdhCloseQuery(HANDLE) {
  ++g_calls;
  if (!g_succeeds[kClose]) return Fault(kClose);
  --g_openQueries;
  return 0;
}

__declspec(dllexport) LONG WINAPI PdhAddCounterA(HANDLE, LPCSTR, DWORD_PTR, HANDLE *counter) {
  ++g_calls;
  if (!g_succeeds[kAdd]) return Fault(kAdd);
  *counter = reinterpret_cast<HANDLE>(static_cast<DWORD_PTR>(0xC1));
  return 0;
}

__declspec(dllexport) LONG WINAPI PdhRemoveCounter(HANDLE) {
  ++g_calls;
  return g_succeeds[kRemove] ? 0 : Fault(kRemove);
}

__declspec(dllexport) LONG WINAPI PdhCollectQueryData(HANDLE) {
  ++g_calls;
  return g_succeeds[kCollect] ? 0 : Fault(kCollect);
}

#if !defined(QRV_STAND_IN_INCOMPLETE)
__declspec(dllexport) LONG WINAPI PdhGetFormattedCounterValue(HANDLE, DWORD, DWORD *, void *) {
  ++g_calls;
  return g_succeeds[kFormat] ? 0 : Fault(kFormat);
}
#endif
}
