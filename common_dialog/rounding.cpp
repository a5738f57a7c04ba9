#include "rounding.h"

#include <limits>

#include "raised_error.h"

std::int32_t RoundHalfEven(std::int64_t numerator, std::int64_t denominator) {
  std::int64_t quotient = numerator / denominator;
  const std::int64_t remainder = numerator % denominator;  // carries the numerator's sign
  const std::int64_t twiceRest = 2 * (remainder < 0 ? -remainder : remainder);
  if (twiceRest > denominator || (twiceRest == denominator && quotient % 2 != 0)) {
    quotient += numerator < 0 ? -1 : 1;
  }
  if (quotient < std::numeric_limits<std::int32_t>::min() ||
      quotient > std::numeric_limits<std::int32_t>::max()) {
    toolkit::Raise(toolkit::kOverflow);
  }
  return static_cast<std::int32_t>(quotient);
}
