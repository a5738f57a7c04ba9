#pragma once
// Runs a server's entry point so that a hardware exception that no handler of
// the server claims ends only that call, never the process. The crashed frames
// are unwound first, so that the server's own termination handlers release
// what they hold (locks above all). The one compiler- and architecture-specific
// piece of the module.

#include <windows.h>

namespace Ostravel::detail {

using ServerEntryPoint = HRESULT(STDAPICALLTYPE*)();

struct GuardedCall {
  HRESULT result = E_UNEXPECTED;  // what the entry point returned, unless it crashed
  bool crashed = false;
  DWORD exceptionCode = 0;  // the exception that ended a crashed call
};

GuardedCall CallGuarded(ServerEntryPoint entry);

}  // namespace Ostravel::detail
