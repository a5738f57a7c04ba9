#pragma once
// Margins and font sizes come back from whole-number quotients rounded to the
// nearest integer, a half going to the even neighbour. The rounding is done in
// integers: a printer driver loaded by a dialog may change the floating-point
// rounding mode, and the results must not follow it.

#include <cstdint>

// numerator ÷ denominator (denominator > 0), rounded; a result outside 32 bits
// raises the overflow error.
std::int32_t RoundHalfEven(std::int64_t numerator, std::int64_t denominator);
