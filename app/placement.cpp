#include "placement.h"

#include <cmath>
#include <limits>

namespace quillon::app {
namespace {

// Integer quotient truncated toward zero, of twips rounded to whole twips.
int WholeTwipsDiv(double twips, double twipsPerPixel) {
  const double quotient = std::trunc(static_cast<double>(RoundHalfEven(twips)) / twipsPerPixel);
  return RoundHalfEven(quotient);
}

}  // namespace

double TwipsPerPixel(int dotsPerInch) { return dotsPerInch > 0 ? kTwipsPerInch / dotsPerInch : 15.0; }

int RoundHalfEven(double value) {
  if (std::isnan(value)) return 0;
  constexpr double kLow = std::numeric_limits<int>::min(), kHigh = std::numeric_limits<int>::max();
  if (value <= kLow) return std::numeric_limits<int>::min();
  if (value >= kHigh) return std::numeric_limits<int>::max();
  const double lower = std::floor(value);
  const double fraction = value - lower;
  double result = lower;
  if (fraction > 0.5 || (fraction == 0.5 && std::fmod(lower, 2.0) != 0.0)) result = lower + 1.0;
  return static_cast<int>(result);
}

PixelPlace TopmostPlace(const TwipsPlace& place, double twipsPerPixelX, double twipsPerPixelY) {
  // A resolution past 1440 dpi would make the divisor vanish; one twip per pixel is the floor.
  if (!(twipsPerPixelX > 0)) twipsPerPixelX = 1.0;
  if (!(twipsPerPixelY > 0)) twipsPerPixelY = 1.0;
  PixelPlace pixels;
  pixels.x = RoundHalfEven(place.left / twipsPerPixelX);
  pixels.y = WholeTwipsDiv(place.top, twipsPerPixelY);
  pixels.width = WholeTwipsDiv(place.width, twipsPerPixelX);
  pixels.height = WholeTwipsDiv(place.height, twipsPerPixelY);
  return pixels;
}

TwipsPlace PlaceInTwips(const PixelPlace& pixels, double twipsPerPixelX, double twipsPerPixelY) {
  return {pixels.x * twipsPerPixelX, pixels.y * twipsPerPixelY, pixels.width * twipsPerPixelX,
          pixels.height * twipsPerPixelY};
}

}  // namespace quillon::app
