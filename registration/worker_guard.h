#pragma once
// Runs a server's entry point so that a hardware exception it does not handle
// itself ends only the calling worker thread, never the process. This is the one
// compiler-specific piece of the module.

#include <windows.h>

namespace Ostravel::detail {

using ServerEntryPoint = HRESULT(STDAPICALLTYPE*)();

struct CrashReport {
  void (*notify)(void* context, DWORD exceptionCode);
  void* context;
};

// Returns what `entry` returns. If `entry` crashes, `report.notify` runs on this
// thread and the thread then ends: nothing of the crashed stack is resumed.
HRESULT CallGuarded(ServerEntryPoint entry, const CrashReport& report);

}  // namespace Ostravel::detail
