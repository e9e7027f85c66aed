// The arithmetic that turns the form's place, kept in twips, into the pixels handed to
// SetWindowPos when the window is made topmost. Portable.
#pragma once

#include "../support/rounding.h"

namespace quillon::app {

inline constexpr double kTwipsPerInch = 1440.0;

// Twips per pixel at a screen resolution in dots per inch (15 at 96 dpi).
double TwipsPerPixel(int dotsPerInch);

using quillon::RoundHalfEven;

struct TwipsPlace {
  double left = 0, top = 0, width = 0, height = 0;
};

struct PixelPlace {
  int x = 0, y = 0, width = 0, height = 0;
  friend bool operator==(const PixelPlace&, const PixelPlace&) = default;
};

// x is the left edge divided by the horizontal twips per pixel and rounded; y, width and
// height are rounded to whole twips first and then divided with the quotient truncated
// toward zero (vertical twips per pixel for y and height).
PixelPlace TopmostPlace(const TwipsPlace& place, double twipsPerPixelX, double twipsPerPixelY);

// The form's place in twips as the window system reports it in pixels.
TwipsPlace PlaceInTwips(const PixelPlace& pixels, double twipsPerPixelX, double twipsPerPixelY);

}  // namespace quillon::app
