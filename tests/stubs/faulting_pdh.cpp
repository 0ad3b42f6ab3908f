// A stand-in for pdh.dll whose functions fault: each raises a processor exception unless a test
// has let it succeed, or has let it handle its fault itself, as a library with its own exception
// handling does. Built without one of the six names (QRV_STAND_IN_INCOMPLETE) it stands for a
// library that is present but incomplete.
#include <windows.h>

#include <cstring>

extern "C" {
EXCEPTION_DISPOSITION StandInOwnHandler(EXCEPTION_RECORD *, void *, CONTEXT *, void *);
void StandInRaiseInOwnFrame(void);
}

namespace {

LONG g_calls;
LONG g_openQueries;
LONG g_ownFaultsHandled;
bool g_succeeds[6];
bool g_handlesOwnFault[6];
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

// Whether the call goes ahead; a function that handles its own fault has done so by then.
bool Proceeds(int function) {
  if (g_handlesOwnFault[function]) StandInRaiseInOwnFrame();
  return g_succeeds[function] || g_handlesOwnFault[function];
}

void Select(bool *functions, const char *name) {
  for (int i = 0; i < 6; ++i) {
    if (std::strcmp(kNames[i], name) == 0) functions[i] = true;
  }
}

}  // namespace

extern "C" {

// An access violation that its own frame's handler takes, letting the raise return.
EXCEPTION_DISPOSITION StandInOwnHandler(EXCEPTION_RECORD *record, void *, CONTEXT *, void *) {
  if ((record->ExceptionFlags & EXCEPTION_UNWIND) != 0 ||
      record->ExceptionCode != EXCEPTION_ACCESS_VIOLATION) {
    return ExceptionContinueSearch;
  }
  ++g_ownFaultsHandled;
  return ExceptionContinueExecution;
}

void StandInRaise(void) { RaiseException(EXCEPTION_ACCESS_VIOLATION, 0, 0, nullptr); }

#if defined(__x86_64__)
// The frame names its handler in its unwind information.
__asm__(
    ".text\n"
    ".globl StandInRaiseInOwnFrame\n"
    ".def StandInRaiseInOwnFrame; .scl 2; .type 32; .endef\n"
    ".seh_proc StandInRaiseInOwnFrame\n"
    "StandInRaiseInOwnFrame:\n"
    "  subq $40, %rsp\n"
    "  .seh_stackalloc 40\n"
    "  .seh_endprologue\n"
    "  call StandInRaise\n"
    "  nop\n"
    "  addq $40, %rsp\n"
    "  ret\n"
    "  .seh_handler StandInOwnHandler, @except\n"
    ".seh_endproc\n");
#else
// The frame puts its handler at the head of the thread's chain for the raise.
void StandInRaiseInOwnFrame(void) {
  struct Registration {
    void *next;
    void *handler;
  } registration;
  __asm__ volatile("movl %%fs:0, %0" : "=r"(registration.next));
  registration.handler = reinterpret_cast<void *>(&StandInOwnHandler);
  __asm__ volatile("movl %0, %%fs:0" : : "r"(&registration) : "memory");
  StandInRaise();
  __asm__ volatile("movl %0, %%fs:0" : : "r"(registration.next) : "memory");
}
#endif

__declspec(dllexport) void StandInLetSucceed(const char *name) { Select(g_succeeds, name); }
__declspec(dllexport) void StandInHandleOwnFault(const char *name) {
  Select(g_handlesOwnFault, name);
}

__declspec(dllexport) LONG StandInCalls(void) { return g_calls; }
__declspec(dllexport) LONG StandInOpenQueries(void) { return g_openQueries; }
__declspec(dllexport) LONG StandInOwnFaultsHandled(void) { return g_ownFaultsHandled; }

__declspec(dllexport) LONG WINAPI PdhOpenQueryA(LPCSTR, DWORD_PTR, HANDLE *query) {
  ++g_calls;
  if (!Proceeds(kOpen)) return Fault(kOpen);
  *query = reinterpret_cast<HANDLE>(static_cast<DWORD_PTR>(0x51));
  ++g_openQueries;
  return 0;
}

__declspec(dllexport) LONG WINAPI PdhCloseQuery(HANDLE) {
  ++g_calls;
  if (!Proceeds(kClose)) return Fault(kClose);
  --g_openQueries;
  return 0;
}

__declspec(dllexport) LONG WINAPI PdhAddCounterA(HANDLE, LPCSTR, DWORD_PTR, HANDLE *counter) {
  ++g_calls;
  if (!Proceeds(kAdd)) return Fault(kAdd);
  *counter = reinterpret_cast<HANDLE>(static_cast<DWORD_PTR>(0xC1));
  return 0;
}

__declspec(dllexport) LONG WINAPI PdhRemoveCounter(HANDLE) {
  ++g_calls;
  return Proceeds(kRemove) ? 0 : Fault(kRemove);
}

__declspec(dllexport) LONG WINAPI PdhCollectQueryData(HANDLE) {
  ++g_calls;
  return Proceeds(kCollect) ? 0 : Fault(kCollect);
}

#if !defined(QRV_STAND_IN_INCOMPLETE)
__declspec(dllexport) LONG WINAPI PdhGetFormattedCounterValue(HANDLE, DWORD, DWORD *, void *) {
  ++g_calls;
  return Proceeds(kFormat) ? 0 : Fault(kFormat);
}
#endif
}
