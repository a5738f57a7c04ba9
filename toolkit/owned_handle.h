#pragma once
// Owners for what the system hands out, each released when its owner goes:
// kernel handles (files, threads, processes, jobs, events, pipes, mutexes),
// registry keys, loaded libraries, and the local memory some functions return
// (FormatMessage's buffer, CommandLineToArgvW's array). The one way the
// product holds them.
#include <memory>
#include <type_traits>

#include <windows.h>

namespace toolkit {

namespace detail {
struct HandleCloser {
  void operator()(HANDLE handle) const { CloseHandle(handle); }
};
struct KeyCloser {
  void operator()(HKEY key) const { RegCloseKey(key); }
};
struct LibraryFreer {
  void operator()(HMODULE module) const { FreeLibrary(module); }
};
struct LocalFreer {
  void operator()(void* memory) const { LocalFree(memory); }
};
}  // namespace detail

// Null when there is none. CreateFileW and CreateNamedPipeW fail with
// INVALID_HANDLE_VALUE instead: see OwnFile.
using OwnedHandle = std::unique_ptr<std::remove_pointer_t<HANDLE>, detail::HandleCloser>;
// A key this process opened or created, never a predefined root.
using OwnedKey = std::unique_ptr<std::remove_pointer_t<HKEY>, detail::KeyCloser>;
using OwnedLibrary = std::unique_ptr<std::remove_pointer_t<HMODULE>, detail::LibraryFreer>;
template <typename T>
using OwnedLocal = std::unique_ptr<T, detail::LocalFreer>;

// Owns what a function that fails with INVALID_HANDLE_VALUE returned.
inline OwnedHandle OwnFile(HANDLE file) {
  return OwnedHandle(file == INVALID_HANDLE_VALUE ? nullptr : file);
}

}  // namespace toolkit
