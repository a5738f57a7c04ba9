#pragma once
// Owners for what the system hands out, each released when its owner goes:
// kernel handles (files, threads, processes, jobs, events, pipes, mutexes,
// file mappings), views of a mapping, find handles, registry keys, loaded
// libraries, menus, GDI objects and device contexts, COM interface pointers,
// and the local memory some functions return (FormatMessage's buffer,
// CommandLineToArgvW's array). The one way the product holds them.
#include <memory>
#include <type_traits>

#include <windows.h>
#include <unknwn.h>

namespace toolkit {

namespace detail {
struct HandleCloser {
  void operator()(HANDLE handle) const { CloseHandle(handle); }
};
struct ViewUnmapper {
  void operator()(const void* view) const { UnmapViewOfFile(view); }
};
struct FindCloser {
  void operator()(HANDLE search) const { FindClose(search); }
};
struct KeyCloser {
  void operator()(HKEY key) const { RegCloseKey(key); }
};
struct LibraryFreer {
  void operator()(HMODULE module) const { FreeLibrary(module); }
};
struct MenuDestroyer {
  void operator()(HMENU menu) const { DestroyMenu(menu); }
};
struct GdiObjectDeleter {
  void operator()(HGDIOBJ object) const { DeleteObject(object); }
};
struct DCDeleter {
  void operator()(HDC dc) const { DeleteDC(dc); }
};
struct Releaser {
  void operator()(IUnknown* object) const { object->Release(); }
};
struct LocalFreer {
  void operator()(void* memory) const { LocalFree(memory); }
};
}  // namespace detail

// Null when there is none. CreateFileW and CreateNamedPipeW fail with
// INVALID_HANDLE_VALUE instead: see OwnFile.
using OwnedHandle = std::unique_ptr<std::remove_pointer_t<HANDLE>, detail::HandleCloser>;
// What MapViewOfFile returned; the view keeps its mapping open.
using OwnedView = std::unique_ptr<const void, detail::ViewUnmapper>;
// A FindFirstFileW search: see OwnFind.
using OwnedFind = std::unique_ptr<std::remove_pointer_t<HANDLE>, detail::FindCloser>;
// A key this process opened or created, never a predefined root.
using OwnedKey = std::unique_ptr<std::remove_pointer_t<HKEY>, detail::KeyCloser>;
using OwnedLibrary = std::unique_ptr<std::remove_pointer_t<HMODULE>, detail::LibraryFreer>;
// A menu no window holds: one set as a window's menu goes with the window.
using OwnedMenu = std::unique_ptr<std::remove_pointer_t<HMENU>, detail::MenuDestroyer>;
// A font, brush, pen or bitmap (HFONT, ...), deleted once no DC selects it.
template <typename GdiHandle>
using OwnedGdiObject = std::unique_ptr<std::remove_pointer_t<GdiHandle>, detail::GdiObjectDeleter>;
// A DC from CreateDCW, never one from GetDC.
using OwnedDC = std::unique_ptr<std::remove_pointer_t<HDC>, detail::DCDeleter>;
// One reference to a COM object.
template <typename Interface>
using OwnedCom = std::unique_ptr<Interface, detail::Releaser>;
template <typename T>
using OwnedLocal = std::unique_ptr<T, detail::LocalFreer>;

// Owns what a function that fails with INVALID_HANDLE_VALUE returned.
inline OwnedHandle OwnFile(HANDLE file) {
  return OwnedHandle(file == INVALID_HANDLE_VALUE ? nullptr : file);
}

// Owns what FindFirstFileW returned; null when it found nothing.
inline OwnedFind OwnFind(HANDLE search) {
  return OwnedFind(search == INVALID_HANDLE_VALUE ? nullptr : search);
}

}  // namespace toolkit
