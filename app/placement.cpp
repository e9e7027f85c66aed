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
