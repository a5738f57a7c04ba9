#pragma once
// The text shown when an error reaches the window procedure: its number and
// description. The window keeps running afterwards.
#include <cstdint>
#include <string>

// The number shown for a failure that carries no number of its own.
inline constexpr std::int32_t kInternalError = 51;

std::wstring ErrorReport(std::int32_t number, const std::wstring& description);
