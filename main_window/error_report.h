#pragma once
// What the window shows when a handler fails, called from the catch block that
// holds the failure: a raised error's number and description, or, for
// anything else, the internal-error number. It allocates nothing and throws
// nothing, so the report itself cannot fail on the way out of a callback.
#include <cstdint>

#include <windows.h>

// The number shown for a failure that carries no number of its own.
inline constexpr std::int32_t kInternalError = 51;

void ReportCurrentException(HWND owner) noexcept;
