#pragma once
// A kernel handle (file, thread, process, job, mutex) that is closed when its
// owner goes, as OwnedKey is for registry keys. For the module's own sources.
#include <memory>
#include <type_traits>

#include <windows.h>

namespace Ostravel {

struct HandleCloser {
  void operator()(HANDLE handle) const { CloseHandle(handle); }
};
using OwnedHandle = std::unique_ptr<std::remove_pointer_t<HANDLE>, HandleCloser>;

}  // namespace Ostravel
