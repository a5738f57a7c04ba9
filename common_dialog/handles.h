#pragma once
// Window and device-context handles travel through the object's interface as
// 32-bit signed integers; these turn them back and forth. An owner of -1 means
// no owner window.

#include <cstdint>

#include <windows.h>

inline HWND OwnerWindow(std::int32_t owner) {
  return owner == -1 ? nullptr : reinterpret_cast<HWND>(static_cast<std::intptr_t>(owner));
}

inline HDC DeviceContext(std::int32_t handle) {
  return reinterpret_cast<HDC>(static_cast<std::intptr_t>(handle));
}

inline std::int32_t HandleValue(HDC dc) {
  return static_cast<std::int32_t>(reinterpret_cast<std::intptr_t>(dc));
}
