// mingw-w64 GCC has no __try/__except. Instead a vectored exception handler, present only while
// a guarded call runs, answers a processor exception raised on the guarded thread by sending the
// thread to a small function that jumps back (__builtin_longjmp) to the point RunGuarded saved
// with __builtin_setjmp before the call. The compiler's own jump pair keeps the same meaning on
// i686 and x86_64 and needs no unwinding through the abandoned library frames.
#include <windows.h>

#include <cstdint>

#include "platform/fault_guard.h"

namespace {

struct Guard {
  void *jump[5];    // the __builtin_setjmp buffer
  uintptr_t stack;  // RunGuarded's stack pointer when it calls the body
  volatile LONG armed;
  DWORD thread;
  PVOID handler;
#if defined(__i386__)
  // 32-bit frame-based handlers live in a chain on the stack; the frames the library pushed are
  // abandoned with its stack, so the chain is put back as it was before the call.
  void *frameHandlers;
  // The fault may leave values on the x87 register stack: it is emptied and gets the caller's
  // control word back.
  unsigned short fpuControl;
#endif
};

Guard g_guard;

#if defined(__i386__)
// The head of the frame-based handler chain is the first word of the thread information block.
void *HandlerChain() {
  void *head;
  __asm__ volatile("movl %%fs:0, %0" : "=r"(head));
  return head;
}
void SetHandlerChain(void *head) { __asm__ volatile("movl %0, %%fs:0" : : "r"(head) : "memory"); }
#endif

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

[[noreturn]] __attribute__((noinline)) void ResumeAfterFault() {
  __builtin_longjmp(g_guard.jump, 1);
}

LONG CALLBACK DivertFault(EXCEPTION_POINTERS *info) {
  if (!g_guard.armed || GetCurrentThreadId() != g_guard.thread) return EXCEPTION_CONTINUE_SEARCH;
  if (!IsProcessorFault(info->ExceptionRecord->ExceptionCode)) return EXCEPTION_CONTINUE_SEARCH;
  g_guard.armed = 0;
  // The jump back runs on stack the abandoned calls used, just below RunGuarded's own frame:
  // committed memory even when the fault was a stack overflow. Entered as if called.
  const uintptr_t stack = (g_guard.stack - 256) & ~static_cast<uintptr_t>(15);
  CONTEXT *context = info->ContextRecord;
#if defined(__x86_64__)
  context->Rsp = stack - 8;
  context->Rip = reinterpret_cast<DWORD64>(&ResumeAfterFault);
#else
  context->Esp = stack - 4;
  context->Eip = reinterpret_cast<DWORD>(&ResumeAfterFault);
#endif
  context->EFlags &= ~0x400u;  // the direction flag, clear on entry to every function
  return EXCEPTION_CONTINUE_EXECUTION;
}

}  // namespace

namespace platform {

__attribute__((noinline)) bool RunGuarded(void (*body)(void *), void *context) {
  // Installed per call, so that nothing points into this library once it is unloaded.
  g_guard.handler = AddVectoredExceptionHandler(1, DivertFault);
  if (g_guard.handler == nullptr) return false;  // unguarded, the call is not made at all
  g_guard.thread = GetCurrentThreadId();
#if defined(__i386__)
  g_guard.frameHandlers = HandlerChain();
  __asm__ volatile("fnstcw %0" : "=m"(g_guard.fpuControl));
#endif
  if (__builtin_setjmp(g_guard.jump)) {
#if defined(__i386__)
    SetHandlerChain(g_guard.frameHandlers);
    __asm__ volatile("fninit\n\tfldcw %0" : : "m"(g_guard.fpuControl));
#endif
    RemoveVectoredExceptionHandler(g_guard.handler);
    return false;
  }
#if defined(__x86_64__)
  __asm__ volatile("movq %%rsp, %0" : "=r"(g_guard.stack));
#else
  __asm__ volatile("movl %%esp, %0" : "=r"(g_guard.stack));
#endif
  g_guard.armed = 1;
  body(context);
  g_guard.armed = 0;
  RemoveVectoredExceptionHandler(g_guard.handler);
  return true;
}

}  // namespace platform
