#include "font_size.h"

#include <limits>

#include "raised_error.h"
#include "rounding.h"

namespace font_size {
namespace {

// The currency type counts ten-thousandths of a point, a point is 20 twips and
// an inch 1440 twips: the height in pixels is points.int64 × dpi ÷ 720000.
constexpr std::int64_t kCurrencyPerPixelInch = 10000 * 1440 / 20;
constexpr std::int64_t kCurrencyPerTenth = 1000;

}  // namespace

std::int32_t LogicalHeight(CY points, int pixelsPerInch) {
  // Without a resolution, or past the 64-bit product, there is no height to give.
  if (pixelsPerInch <= 0) toolkit::Raise(toolkit::kOverflow);
  const std::int64_t limit = std::numeric_limits<std::int64_t>::max() / pixelsPerInch;
  if (points.int64 > limit || points.int64 < -limit) toolkit::Raise(toolkit::kOverflow);
  return RoundHalfEven(-points.int64 * pixelsPerInch, kCurrencyPerPixelInch);
}

std::int32_t TenthsOfPoint(CY points) { return RoundHalfEven(points.int64, kCurrencyPerTenth); }

}  // namespace font_size
