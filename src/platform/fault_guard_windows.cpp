// mingw-w64 GCC has no __try/__except. RunGuarded puts a frame-based handler of its own around
// the call instead: on i686 a registration record at the head of the thread's handler chain, on
// x86_64 a small trampoline whose unwind information names the handler. The system offers a
// fault to the handlers of the frames nearest to it first, so a library that catches its own
// faults (its __try/__except, its C++ handlers) does so undisturbed, with its locks in its own
// hands, and ours sees only a fault nobody inside the call took. It then sends the thread to a
// small function that jumps back (__builtin_longjmp) to the point RunGuarded saved with
// __builtin_setjmp before the call; the compiler's own jump pair keeps the same meaning on i686
// and x86_64 and needs no unwinding through the abandoned library frames.
//
// A stack overflow alone is taken before any frame is searched, by a vectored handler present
// only while a guarded call runs: the search needs more stack than an overflow leaves (under
// wine64 the search overflows again and the process is killed), and no library recovers from
// overflowing its own stack.
#include <windows.h>

#include <cstdint>

#include "platform/fault_guard.h"

extern "C" {
// Named by the trampoline's unwind information (x86_64) or the registration record (i686).
EXCEPTION_DISPOSITION QrvGuardFrameHandler(EXCEPTION_RECORD *record, void *frame, CONTEXT *context,
                                           void *dispatcher);
#if defined(__x86_64__)
// body(context), called from a frame that QrvGuardFrameHandler guards.
void QrvGuardedCall(void (*body)(void *), void *context);
#endif
}

namespace {

struct Guard {
  void *jump[5];    // the __builtin_setjmp buffer
  uintptr_t stack;  // RunGuarded's stack pointer when it calls the body
  volatile LONG armed;
  DWORD thread;
  PVOID overflowHandler;
  DWORD code;  // of the fault that ended the call
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
// An entry of the frame-based handler chain, whose head is the first word of the thread
// information block.
struct Registration {
  void *next;
  void *handler;
};
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

// A stack overflow uses up the stack's guard page, and the system sets none again: the next
// overflow would run into memory with no room left to report it, and the process would end. A
// guard page goes back just below the running frame, where the stack grows from again.
void RestoreStackGuard() {
  SYSTEM_INFO system;
  GetSystemInfo(&system);
  const uintptr_t page = system.dwPageSize;
  MEMORY_BASIC_INFORMATION stack;
  if (VirtualQuery(&system, &stack, sizeof(stack)) == 0) return;
  const uintptr_t bottom = reinterpret_cast<uintptr_t>(stack.AllocationBase);
  const uintptr_t guard = (reinterpret_cast<uintptr_t>(&system) & ~(page - 1)) - page;
  if (guard < bottom + 2 * page) return;  // no room left for one
  MEMORY_BASIC_INFORMATION below;
  if (VirtualQuery(reinterpret_cast<void *>(guard), &below, sizeof(below)) == 0) return;
  if (below.State != MEM_COMMIT || (below.Protect & PAGE_GUARD) != 0) return;
  DWORD previous = 0;
  VirtualProtect(reinterpret_cast<void *>(guard), page, PAGE_READWRITE | PAGE_GUARD, &previous);
}

// Ends the guarded call: the thread goes on in ResumeAfterFault.
void Divert(CONTEXT *context, DWORD code) {
  g_guard.armed = 0;
  g_guard.code = code;
  // The jump back runs on stack the abandoned calls used, just below RunGuarded's own frame:
  // committed memory even when the fault was a stack overflow. Entered as if called.
  const uintptr_t stack = (g_guard.stack - 256) & ~static_cast<uintptr_t>(15);
#if defined(__x86_64__)
  context->Rsp = stack - 8;
  context->Rip = reinterpret_cast<DWORD64>(&ResumeAfterFault);
#else
  context->Esp = stack - 4;
  context->Eip = reinterpret_cast<DWORD>(&ResumeAfterFault);
#endif
  context->EFlags &= ~0x400u;  // the direction flag, clear on entry to every function
}

LONG CALLBACK DivertStackOverflow(EXCEPTION_POINTERS *info) {
  if (info->ExceptionRecord->ExceptionCode != EXCEPTION_STACK_OVERFLOW) {
    return EXCEPTION_CONTINUE_SEARCH;
  }
  if (!g_guard.armed || GetCurrentThreadId() != g_guard.thread) return EXCEPTION_CONTINUE_SEARCH;
  Divert(info->ContextRecord, EXCEPTION_STACK_OVERFLOW);
  return EXCEPTION_CONTINUE_EXECUTION;
}

}  // namespace

extern "C" EXCEPTION_DISPOSITION QrvGuardFrameHandler(EXCEPTION_RECORD *record, void *,
                                                      CONTEXT *context, void *) {
  // Unwinds pass here too (a handler further out, the end of the thread): nothing to do then.
  if ((record->ExceptionFlags & EXCEPTION_UNWIND) != 0) return ExceptionContinueSearch;
  if (!g_guard.armed || !IsProcessorFault(record->ExceptionCode)) return ExceptionContinueSearch;
  Divert(context, record->ExceptionCode);
  return ExceptionContinueExecution;
}

#if defined(__x86_64__)
// The call from a frame of its own that names the handler; the nop keeps the return address
// inside the frame's body, where the system looks for the handler.
__asm__(
    ".text\n"
    ".globl QrvGuardedCall\n"
    ".def QrvGuardedCall; .scl 2; .type 32; .endef\n"
    ".seh_proc QrvGuardedCall\n"
    "QrvGuardedCall:\n"
    "  subq $40, %rsp\n"
    "  .seh_stackalloc 40\n"
    "  .seh_endprologue\n"
    "  movq %rcx, %rax\n"
    "  movq %rdx, %rcx\n"
    "  call *%rax\n"
    "  nop\n"
    "  addq $40, %rsp\n"
    "  ret\n"
    "  .seh_handler QrvGuardFrameHandler, @except\n"
    ".seh_endproc\n");
#endif

namespace platform {

__attribute__((noinline)) bool RunGuarded(void (*body)(void *), void *context) {
  // Installed per call, so that nothing points into this library once it is unloaded.
  g_guard.overflowHandler = AddVectoredExceptionHandler(1, DivertStackOverflow);
  if (g_guard.overflowHandler == nullptr) return false;  // unguarded, the call is not made at all
  g_guard.thread = GetCurrentThreadId();
  g_guard.code = 0;
#if defined(__i386__)
  g_guard.frameHandlers = HandlerChain();
  Registration registration = {g_guard.frameHandlers,
                               reinterpret_cast<void *>(&QrvGuardFrameHandler)};
  __asm__ volatile("fnstcw %0" : "=m"(g_guard.fpuControl));
#endif
  if (__builtin_setjmp(g_guard.jump)) {
#if defined(__i386__)
    SetHandlerChain(g_guard.frameHandlers);
    __asm__ volatile("fninit\n\tfldcw %0" : : "m"(g_guard.fpuControl));
#endif
    RemoveVectoredExceptionHandler(g_guard.overflowHandler);
    if (g_guard.code == EXCEPTION_STACK_OVERFLOW) RestoreStackGuard();
    return false;
  }
#if defined(__x86_64__)
  __asm__ volatile("movq %%rsp, %0" : "=r"(g_guard.stack));
#else
  __asm__ volatile("movl %%esp, %0" : "=r"(g_guard.stack));
#endif
  g_guard.armed = 1;
#if defined(__x86_64__)
  QrvGuardedCall(body, context);
#else
  SetHandlerChain(&registration);
  body(context);
  SetHandlerChain(g_guard.frameHandlers);
#endif
  g_guard.armed = 0;
  RemoveVectoredExceptionHandler(g_guard.overflowHandler);
  return true;
}

}  // namespace platform
