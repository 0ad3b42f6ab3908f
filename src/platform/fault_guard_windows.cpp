// mingw-w64 GCC has no __try/__except. Instead a vectored exception handler, present only while
// a guarded call runs, answers a processor exception raised on the guarded thread by resuming
// at a context captured (RtlCaptureContext) just before the call: the capture "returns" a second
// time with the fault flag set, much as setjmp does, and the guard reports the failure.
#include <windows.h>

#include "platform/fault_guard.h"

namespace {

struct Guard {
  CONTEXT resume;  // registers and stack of RunGuarded right after the capture
  volatile LONG armed;
  volatile LONG faulted;
  DWORD thread;
  PVOID handler;
#if defined(__i386__)
  // 32-bit frame-based handlers live in a chain on the stack; the frames the library pushed are
  // abandoned with its stack, so the chain is put back as it was before the call.
  struct _EXCEPTION_REGISTRATION_RECORD *frameHandlers;
#endif
};

Guard g_guard;

bool IsProcessorFault(DWORD code) {
  switch (code) {
    case EXCEPTION_ACCESS_VIOLATION:
    case EXCEPTION_ARRAY_BOUNDS_EXCEEDED:
    case EXCEPTION_DATATYPE_MISALIGNMENT:
    case EXCEPTION_FLT_DENORMAL_OPERAND:
    case EXCEPTION_FLT_DIVIDE_BY_ZERO:
    case EXCEPTION_FLT_INEXACT_RESULT:
    case EXCEPTION_FLT_INVALID_OPERATION:
    case EXCEPTION_FLT_OVERFLOW:
    case EXCEPTION_FLT_STACK_CHECK:
    case EXCEPTION_FLT_UNDERFLOW:
    case EXCEPTION_ILLEGAL_INSTRUCTION:
    case EXCEPTION_IN_PAGE_ERROR:
    case EXCEPTION_INT_DIVIDE_BY_ZERO:
    case EXCEPTION_INT_OVERFLOW:
    case EXCEPTION_PRIV_INSTRUCTION:
    case EXCEPTION_STACK_OVERFLOW:
      return true;
    default:  // software exceptions (C++, RPC, debug output) belong to whoever raised them
      return false;
  }
}

LONG CALLBACK ResumeAfterFault(EXCEPTION_POINTERS *info) {
  if (!g_guard.armed || GetCurrentThreadId() != g_guard.thread) return EXCEPTION_CONTINUE_SEARCH;
  if (!IsProcessorFault(info->ExceptionRecord->ExceptionCode)) return EXCEPTION_CONTINUE_SEARCH;
  g_guard.armed = 0;
  g_guard.faulted = 1;
  *info->ContextRecord = g_guard.resume;
  return EXCEPTION_CONTINUE_EXECUTION;
}

}  // namespace

namespace platform {

// Kept out of line so that the captured frame is this function's own and stays alive for the
// whole call. After a resumption only globals are read: the registers hold their values from
// the moment of the capture.
__attribute__((noinline)) bool RunGuarded(void (*body)(void *), void *context) {
  // Installed per call, so that nothing points into this library once it is unloaded.
  g_guard.handler = AddVectoredExceptionHandler(1, ResumeAfterFault);
  if (g_guard.handler == nullptr) return false;  // unguarded, the call is not made at all
  g_guard.thread = GetCurrentThreadId();
  g_guard.faulted = 0;
#if defined(__i386__)
  g_guard.frameHandlers = NtCurrentTeb()->NtTib.ExceptionList;
#endif
  RtlCaptureContext(&g_guard.resume);
  if (g_guard.faulted) {
#if defined(__i386__)
    NtCurrentTeb()->NtTib.ExceptionList = g_guard.frameHandlers;
#endif
    RemoveVectoredExceptionHandler(g_guard.handler);
    return false;
  }
  g_guard.armed = 1;
  body(context);
  g_guard.armed = 0;
  RemoveVectoredExceptionHandler(g_guard.handler);
  return true;
}

}  // namespace platform
