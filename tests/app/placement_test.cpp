// The topmost placement's twips-to-pixels arithmetic, including its rounding ties.
#include "placement.h"

#include <gtest/gtest.h>

#include <limits>

namespace quillon::app {
namespace {

TEST(RoundHalfEven, TiesGoToTheEvenNeighbour) {
  EXPECT_EQ(RoundHalfEven(2.5), 2);
  EXPECT_EQ(RoundHalfEven(3.5), 4);
  EXPECT_EQ(RoundHalfEven(-2.5), -2);
  EXPECT_EQ(RoundHalfEven(-3.5), -4);
  EXPECT_EQ(RoundHalfEven(0.5), 0);
  EXPECT_EQ(RoundHalfEven(2.4999), 2);
  EXPECT_EQ(RoundHalfEven(2.5001), 3);
  EXPECT_EQ(RoundHalfEven(-0.4), 0);
  EXPECT_EQ(RoundHalfEven(7.0), 7);
}

TEST(RoundHalfEven, OutOfRangeValuesClampInsteadOfOverflowing) {
  EXPECT_EQ(RoundHalfEven(1e12), std::numeric_limits<int>::max());
  EXPECT_EQ(RoundHalfEven(-1e12), std::numeric_limits<int>::min());
  EXPECT_EQ(RoundHalfEven(std::numeric_limits<double>::quiet_NaN()), 0);
}

TEST(TwipsPerPixel, FollowsTheScreenResolution) {
  EXPECT_DOUBLE_EQ(TwipsPerPixel(96), 15.0);
  EXPECT_DOUBLE_EQ(TwipsPerPixel(120), 12.0);
  EXPECT_DOUBLE_EQ(TwipsPerPixel(192), 7.5);
}

TEST(TopmostPlace, TheStoredFormKeepsItsPixelsAtFifteenTwipsPerPixel) {
  // The form's client area is 4785 x 2940 twips; 15 twips per pixel gives 319 x 196.
  const PixelPlace p = TopmostPlace({3000, 1500, 4785, 2940}, 15, 15);
  EXPECT_EQ(p, (PixelPlace{200, 100, 319, 196}));
}

TEST(TopmostPlace, LeftIsDividedThenRoundedWithTiesToEven) {
  // 337.5 / 15 = 22.5 -> 22; 352.5 / 15 = 23.5 -> 24; 345 / 15 = 23 exactly.
  EXPECT_EQ(TopmostPlace({337.5, 0, 0, 0}, 15, 15).x, 22);
  EXPECT_EQ(TopmostPlace({352.5, 0, 0, 0}, 15, 15).x, 24);
  EXPECT_EQ(TopmostPlace({345, 0, 0, 0}, 15, 15).x, 23);
  // 344 / 15 = 22.93 rounds up, where a truncating division would give 22.
  EXPECT_EQ(TopmostPlace({344, 0, 0, 0}, 15, 15).x, 23);
  EXPECT_EQ(TopmostPlace({-337.5, 0, 0, 0}, 15, 15).x, -22);
  EXPECT_EQ(TopmostPlace({-344, 0, 0, 0}, 15, 15).x, -23);
}

TEST(TopmostPlace, TopWidthAndHeightAreRoundedFirstThenDividedWithTheQuotientTruncated) {
  // 44 / 15 = 2.93 keeps 2: the quotient is truncated, not rounded.
  EXPECT_EQ(TopmostPlace({0, 44, 0, 0}, 15, 15).y, 2);
  // 29.5 rounds to 30 (even) before dividing: 2; 30.5 rounds to 30 as well: 2.
  EXPECT_EQ(TopmostPlace({0, 29.5, 0, 0}, 15, 15).y, 2);
  EXPECT_EQ(TopmostPlace({0, 30.5, 0, 0}, 15, 15).y, 2);
  // 44.5 rounds to 44 (even): 2, where dividing first would give 2.97 and rounding 3.
  EXPECT_EQ(TopmostPlace({0, 44.5, 0, 0}, 15, 15).y, 2);
  // 45.5 rounds to 46: 3.
  EXPECT_EQ(TopmostPlace({0, 45.5, 0, 0}, 15, 15).y, 3);
  // Truncation goes toward zero above the screen's top edge: -44 / 15 = -2.93 keeps -2.
  EXPECT_EQ(TopmostPlace({0, -44, 0, 0}, 15, 15).y, -2);
  EXPECT_EQ(TopmostPlace({0, 0, 4799, 0}, 15, 15).width, 319);
  EXPECT_EQ(TopmostPlace({0, 0, 4800, 0}, 15, 15).width, 320);
  EXPECT_EQ(TopmostPlace({0, 0, 0, 2954.5}, 15, 15).height, 196);  // 2954 / 15 = 196.93
}

TEST(TopmostPlace, EachAxisUsesItsOwnTwipsPerPixel) {
  // Horizontal 12, vertical 15: left and width by 12, top and height by 15.
  const PixelPlace p = TopmostPlace({1200, 1500, 3828, 2940}, 12, 15);
  EXPECT_EQ(p, (PixelPlace{100, 100, 319, 196}));
}

TEST(TopmostPlace, FractionalTwipsPerPixelFollowTheSameSteps) {
  // At 192 dpi (7.5 twips per pixel) a 319-pixel form reads 2392.5 twips wide; rounded to
  // 2392 (even) and divided, 318.93 keeps 318.
  const TwipsPlace twips = PlaceInTwips({3, 3, 319, 196}, 7.5, 7.5);
  EXPECT_DOUBLE_EQ(twips.width, 2392.5);
  const PixelPlace p = TopmostPlace(twips, 7.5, 7.5);
  EXPECT_EQ(p.x, 3);       // 22.5 / 7.5 = 3 exactly
  EXPECT_EQ(p.y, 2);       // 22.5 -> 22, 22 / 7.5 = 2.93 -> 2
  EXPECT_EQ(p.width, 318);
  EXPECT_EQ(p.height, 196);  // 1470 / 7.5 = 196
}

TEST(TopmostPlace, AVanishingTwipsPerPixelDoesNotDivideByZero) {
  const PixelPlace p = TopmostPlace({10, 20, 30, 40}, 0, 0);
  EXPECT_EQ(p, (PixelPlace{10, 20, 30, 40}));
}

TEST(PlaceInTwips, RoundTripsAtWholeTwipsPerPixel) {
  for (double perPixel : {15.0, 12.0, 10.0}) {
    const PixelPlace start{-7, 413, 319, 196};
    EXPECT_EQ(TopmostPlace(PlaceInTwips(start, perPixel, perPixel), perPixel, perPixel), start)
        << perPixel << " twips per pixel";
  }
}

}  // namespace
}  // namespace quillon::app
