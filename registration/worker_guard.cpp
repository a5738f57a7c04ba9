#include "worker_guard.h"

namespace Ostravel::detail {

#if defined(_MSC_VER)

HRESULT CallGuarded(ServerEntryPoint entry, const CrashReport& report) {
  __try {
    return entry();
  } __except (EXCEPTION_EXECUTE_HANDLER) {
    report.notify(report.context, GetExceptionCode());
  }
  ExitThread(0);
}

#elif defined(__i386__)

// GCC has no __try on x86, so register a frame handler on the thread's
// exception chain by hand. The system calls it only for exceptions that no
// handler of the server claimed.
namespace {

struct GuardFrame {
  EXCEPTION_REGISTRATION_RECORD record;  // first: the chain points here
  const CrashReport* report;
  bool crashed;
};

EXCEPTION_DISPOSITION NTAPI OnUnhandled(EXCEPTION_RECORD* exception, void* establisher, CONTEXT*,
                                        void*) {
  if (exception->ExceptionFlags & EXCEPTION_UNWIND) {
    return ExceptionContinueSearch;
  }
  auto* frame = static_cast<GuardFrame*>(establisher);
  if (frame->crashed) {
    // A second fault while the thread ends (a broken DLL_THREAD_DETACH): end it
    // without running any more of the server.
    TerminateThread(GetCurrentThread(), exception->ExceptionCode);
  }
  frame->crashed = true;
  frame->report->notify(frame->report->context, exception->ExceptionCode);
  ExitThread(exception->ExceptionCode);
}

// fs:[0] heads the thread's chain of exception registrations.
EXCEPTION_REGISTRATION_RECORD* ChainHead() {
  EXCEPTION_REGISTRATION_RECORD* head;
  asm volatile("movl %%fs:0, %0" : "=r"(head));
  return head;
}

void SetChainHead(EXCEPTION_REGISTRATION_RECORD* head) {
  asm volatile("movl %0, %%fs:0" : : "r"(head) : "memory");
}

}  // namespace

HRESULT CallGuarded(ServerEntryPoint entry, const CrashReport& report) {
  GuardFrame frame{};
  frame.record.Handler = OnUnhandled;
  frame.report = &report;
  frame.record.Next = ChainHead();
  SetChainHead(&frame.record);
  const HRESULT hr = entry();
  SetChainHead(frame.record.Next);
  return hr;
}

#else
#error "Only 32-bit x86 is supported."
#endif

}  // namespace Ostravel::detail
