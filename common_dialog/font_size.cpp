#include "font_size.h"

#include <cmath>

#include "raised_error.h"

namespace font_size {
namespace {

constexpr double kTwipsPerPoint = 20;
constexpr double kCurrencyScale = 10000;  // the currency type counts ten-thousandths

// Halves go to the even neighbour; NaN and infinities fail the range test.
std::int32_t RoundHalfEven(double value) {
  const double nearest = std::fabs(value - std::trunc(value)) == 0.5 ? 2 * std::round(value / 2)
                                                                     : std::round(value);
  if (!(nearest >= INT32_MIN && nearest <= INT32_MAX)) toolkit::Raise(toolkit::kOverflow);
  return static_cast<std::int32_t>(nearest);
}

}  // namespace

std::int32_t LogicalHeight(CY points, double twipsPerPixel) {
  return RoundHalfEven(-(static_cast<double>(points.int64) / kCurrencyScale *
                         (kTwipsPerPoint / twipsPerPixel)));
}

std::int32_t TenthsOfPoint(CY points) {
  return RoundHalfEven(static_cast<double>(points.int64) / (kCurrencyScale / 10));
}

}  // namespace font_size
