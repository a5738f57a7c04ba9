#include "worker_guard.h"

namespace Ostravel::detail {

#if defined(_MSC_VER)

// The compiler's own frame handler unwinds before it enters the __except block.
GuardedCall CallGuarded(ServerEntryPoint entry) {
  GuardedCall call;
  __try {
    call.result = entry();
  } __except (call.exceptionCode = GetExceptionCode(), EXCEPTION_EXECUTE_HANDLER) {
    call.crashed = true;
  }
  return call;
}

#elif defined(__i386__)

// GCC has no __try on x86, so a frame handler goes on the thread's exception
// chain by hand. The system calls it only for exceptions that every handler the
// server put above it passed on.
namespace {

struct GuardFrame {
  EXCEPTION_REGISTRATION_RECORD record;  // first: the chain points here
  GuardedCall* call;
  void* resume[5];  // where the guard picks up again, for __builtin_longjmp
};

// fs:[0] heads the thread's chain of exception registrations.
EXCEPTION_REGISTRATION_RECORD* ChainHead() {
  EXCEPTION_REGISTRATION_RECORD* head;
  asm volatile("movl %%fs:0, %0" : "=r"(head));
  return head;
}

void SetChainHead(EXCEPTION_REGISTRATION_RECORD* head) {
  asm volatile("movl %0, %%fs:0" : : "r"(head) : "memory");
}

EXCEPTION_DISPOSITION NTAPI OnUnhandled(EXCEPTION_RECORD* exception, void* establisher, CONTEXT*,
                                        void*) {
  if (IS_UNWINDING(exception->ExceptionFlags)) return ExceptionContinueSearch;
  auto* frame = static_cast<GuardFrame*>(establisher);
  frame->call->crashed = true;
  frame->call->exceptionCode = exception->ExceptionCode;
  // Every frame the server stacked above ours sees the unwind and leaves the
  // chain; then the guard's own frame carries on, on its own stack. The
  // handlers see a plain unwind, as on x64.
  RtlUnwind(&frame->record, nullptr, nullptr, nullptr);
  __builtin_longjmp(frame->resume, 1);
}

}  // namespace

GuardedCall CallGuarded(ServerEntryPoint entry) {
  GuardedCall call;
  GuardFrame frame{};
  frame.record.Handler = OnUnhandled;
  frame.call = &call;
  frame.record.Next = ChainHead();
  SetChainHead(&frame.record);
  if (__builtin_setjmp(frame.resume) == 0) call.result = entry();
  SetChainHead(frame.record.Next);
  return call;
}

#elif defined(__x86_64__)

// On x64 a frame handler belongs to a function's unwind data, which GCC cannot
// be asked for: this small function is written by hand. It keeps the caller's
// GuardedCall in the slot just above the callee's register space, where the
// handler finds it from the frame address the system hands it.
extern "C" {
HRESULT corvantis_guarded_call(ServerEntryPoint entry, GuardedCall* call);
EXCEPTION_DISPOSITION corvantis_guard_handler(EXCEPTION_RECORD*, void*, CONTEXT*,
                                              DISPATCHER_CONTEXT*);
extern char corvantis_guard_resume[];
}

asm(R"(
    .text
    .p2align 4
    .globl corvantis_guarded_call
    .def corvantis_guarded_call; .scl 2; .type 32; .endef
    .seh_proc corvantis_guarded_call
corvantis_guarded_call:
    .seh_handler corvantis_guard_handler, @except
    subq $40, %rsp
    .seh_stackalloc 40
    .seh_endprologue
    movq %rdx, 32(%rsp)
    callq *%rcx
    .globl corvantis_guard_resume
corvantis_guard_resume:
    nop
    addq $40, %rsp
    retq
    .seh_endproc
)");

namespace {
constexpr int kCallSlot = 32;  // bytes above the frame address, as the function lays it out
}

extern "C" EXCEPTION_DISPOSITION corvantis_guard_handler(EXCEPTION_RECORD* exception, void* frame,
                                                         CONTEXT*, DISPATCHER_CONTEXT* dispatch) {
  if (IS_UNWINDING(exception->ExceptionFlags)) return ExceptionContinueSearch;
  GuardedCall* call = *reinterpret_cast<GuardedCall**>(static_cast<char*>(frame) + kCallSlot);
  call->crashed = true;
  call->exceptionCode = exception->ExceptionCode;
  // Runs the termination handlers of every crashed frame, then resumes the
  // guard function right after its call, with its own stack. The handlers see
  // a plain unwind, not the server's exception: a runtime that saw its own
  // exception unwound would look for the catch that started the unwind, and
  // GCC's then unwinds again and again.
  RtlUnwindEx(frame, corvantis_guard_resume, nullptr, nullptr, dispatch->ContextRecord,
              dispatch->HistoryTable);
  return ExceptionContinueSearch;  // not reached: the unwind never returns
}

GuardedCall CallGuarded(ServerEntryPoint entry) {
  GuardedCall call;
  const HRESULT result = corvantis_guarded_call(entry, &call);
  if (!call.crashed) call.result = result;
  return call;
}

#else
#error "Only x86 and x64 are supported."
#endif

}  // namespace Ostravel::detail
