#pragma once
// Window and device-context handles travel through the dialog object's
// interface as 32-bit signed integers. Windows keeps such handles meaningful in
// their low 32 bits on every architecture, so a value widens with its sign and
// a handle narrows to its low half; these are the only places that convert.

#include <cstdint>
#include <type_traits>

#include <windows.h>

namespace toolkit {

template <class Handle>
Handle ToHandle(std::int32_t value) {
  static_assert(std::is_pointer_v<Handle>, "a window or GDI handle");
  return reinterpret_cast<Handle>(static_cast<std::intptr_t>(value));
}

template <class Handle>
std::int32_t HandleValue(Handle handle) {
  static_assert(std::is_pointer_v<Handle>, "a window or GDI handle");
  return static_cast<std::int32_t>(reinterpret_cast<std::intptr_t>(handle));
}

// An owner of -1 asks for no owner window.
inline HWND OwnerWindow(std::int32_t owner) {
  return owner == -1 ? nullptr : ToHandle<HWND>(owner);
}

}  // namespace toolkit
