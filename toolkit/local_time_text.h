#pragma once
// The current local time of day as text, in the user's time format (hours,
// minutes and seconds), without a date.
#include <string>

namespace toolkit {

std::wstring LocalTimeText();

}  // namespace toolkit
