#pragma once
// A font object's size in points (the currency type's fixed point) as the font
// dialog wants it: a logical height in screen pixels and tenths of a point.
// Both round halves to the even neighbour; a result outside 32 bits raises
// the overflow error.

#include <cstdint>

#include <windows.h>
#include <wtypes.h>

namespace font_size {

// minus points × 20 twips ÷ the twips of one pixel (1440 ÷ pixelsPerInch): a
// negative height asks for the character height, without the internal leading.
std::int32_t LogicalHeight(CY points, int pixelsPerInch);

std::int32_t TenthsOfPoint(CY points);

}  // namespace font_size
