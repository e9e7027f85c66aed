// The filters' arithmetic on small layers whose results are worked out by hand.
#include <gtest/gtest.h>

#include <numbers>

#include "render/filters.h"

namespace quillon::player {
namespace {

constexpr Rgba kClear{0, 0, 0, 0};
constexpr Rgba kWhite{255, 255, 255, 255};
constexpr Rgba kBlack{0, 0, 0, 255};

// A row of pixels at device x = `left`, y = 0.
Layer Row(int left, std::initializer_list<Rgba> px) {
  Layer l(left, 0, static_cast<int>(px.size()), 1);
  std::copy(px.begin(), px.end(), l.pixels.begin());
  return l;
}

TEST(BlurKernel, SizesBecomeCentreWholeNeighboursAndAFractionalEdge) {
  EXPECT_TRUE(KernelFor(1).identity()) << "a blur of one pixel or less copies the image";
  EXPECT_TRUE(KernelFor(0.5).identity());
  const BoxKernel three = KernelFor(3);
  EXPECT_EQ(three.whole, 1);
  EXPECT_EQ(three.edge, 0);
  const BoxKernel two = KernelFor(2);
  EXPECT_EQ(two.whole, 0);
  EXPECT_EQ(two.edge, 128) << "a 2-pixel box is the centre and half of each neighbour";
  EXPECT_EQ(two.reach(), 1);
}

TEST(Blur, OnePixelBlurLeavesAStepEdgeSharp) {
  const Layer step = Row(0, {kClear, kClear, kWhite, kWhite});
  const Layer out = BlurLayer(step, 1, 1, 1);
  EXPECT_EQ(out.x, 0);
  EXPECT_EQ(out.width, 4);
  EXPECT_EQ(out.pixels, step.pixels);
}

TEST(Blur, ThreePixelBoxSpreadsAStepEdgeInThirds) {
  // Premultiplied white: every channel blurs alike. Vertically the single row spreads over
  // three rows, a third in each.
  const Layer out = BlurLayer(Row(0, {kClear, kClear, kWhite, kWhite}), 3, 1, 1);
  ASSERT_EQ(out.x, -1);
  ASSERT_EQ(out.width, 6) << "one pass of a 3-pixel box grows the layer by a pixel each side";
  ASSERT_EQ(out.height, 1);
  const int expected[] = {0, 0, 85, 170, 170, 85};  // (0+0+255)/3, (0+255+255)/3, ...
  for (int i = 0; i < 6; ++i) {
    EXPECT_EQ(out.at(i, 0).a, expected[i]) << "pixel " << i;
    EXPECT_EQ(out.at(i, 0).r, expected[i]) << "pixel " << i;
  }
}

TEST(Blur, TwoPixelBoxWeighsNeighboursByHalf) {
  const Layer out = BlurLayer(Row(0, {kWhite}), 2, 1, 1);
  ASSERT_EQ(out.width, 3);
  EXPECT_EQ(out.at(0, 0).a, 64);   // 255 * 0.5 / 2 = 63.75
  EXPECT_EQ(out.at(1, 0).a, 128);  // 255 / 2 = 127.5, rounded up
  EXPECT_EQ(out.at(2, 0).a, 64);
}

TEST(Blur, PassesRepeatTheBoxAndGrowTheLayerEachTime) {
  const Layer out = BlurLayer(Row(0, {kWhite}), 3, 1, 2);
  ASSERT_EQ(out.x, -2);
  ASSERT_EQ(out.width, 5);
  // 255 * (1, 2, 3, 2, 1) / 9.
  const int expected[] = {28, 57, 85, 57, 28};
  for (int i = 0; i < 5; ++i) EXPECT_EQ(out.at(i, 0).a, expected[i]) << "pixel " << i;
  EXPECT_EQ(ReachOf(BlurFilter{3, 1, 2}).left, 2);
  EXPECT_EQ(ReachOf(BlurFilter{3, 1, 2}).top, 0);
  EXPECT_EQ(ReachOf(BlurFilter{1.5, 1.5, 1}, 2, 2).right, 1) << "sizes follow the display's scale";
}

TEST(Blur, TwoPassesOverBothAxesRoundAfterEachBox) {
  // One white pixel, a 3-pixel box twice along each axis, rounded after every box: 255 / 3 =
  // 85 along x, 85 / 3 = 28.3 -> 28 down; the second pass gives the centre row 28 / 3 -> 9,
  // 56 / 3 -> 19, 28, and down again the corner 9 / 3 = 3, (1, 1) 38 / 3 -> 13, the centre 28.
  const Layer out = BlurLayer(Row(0, {kWhite}), 3, 3, 2);
  ASSERT_EQ(out.x, -2);
  ASSERT_EQ(out.y, -2);
  ASSERT_EQ(out.width, 5);
  ASSERT_EQ(out.height, 5);
  EXPECT_EQ(out.at(0, 0).a, 3);
  EXPECT_EQ(out.at(2, 0).a, 9);
  EXPECT_EQ(out.at(1, 1).a, 13);
  EXPECT_EQ(out.at(1, 2).a, 19);
  EXPECT_EQ(out.at(2, 2).a, 28);
  EXPECT_EQ(out.at(4, 4).a, 3);
  EXPECT_EQ(out.at(2, 2).g, 28) << "colour channels blur alike";
}

TEST(Blur, FollowsTheDisplayScale) {
  // The reach beyond the centre pixel doubles: 2 pixels become 1 + 2 * 1 = 3, and 10 become 19.
  const Layer scaled = ApplyFilter(Row(0, {kWhite}), BlurFilter{2, 1, 1}, 2, 2);
  EXPECT_EQ(scaled.width, 3) << "a 2-pixel blur drawn twice as large is a 3-pixel box";
  EXPECT_EQ(scaled.at(1, 0).a, 85);
  const Layer wide = ApplyFilter(Row(0, {kWhite}), BlurFilter{10, 1, 1}, 2, 2);
  EXPECT_EQ(wide.width, 19);
  EXPECT_EQ(wide.at(9, 0).a, 13);  // 255 / 19 = 13.4
}

TEST(ColorMatrix, MixesStraightColours) {
  ColorMatrixFilter f;
  const float grey[20] = {0.25f, 0.5f, 0.25f, 0, 0, 0.25f, 0.5f, 0.25f, 0, 0, 0.25f, 0.5f, 0.25f, 0, 0, 0, 0, 0, 1, 0};
  std::copy(std::begin(grey), std::end(grey), std::begin(f.matrix));
  const Layer out = ApplyFilter(Row(0, {Rgba{100, 200, 40, 255}}), f);
  EXPECT_EQ(out.at(0, 0), (Rgba{135, 135, 135, 255}));  // 25 + 100 + 10
}

TEST(ColorMatrix, OffsetsClampAndHalfTransparentPixelsWorkUnpremultiplied) {
  ColorMatrixFilter f;
  // Red inverted (255 - r), green plus 100, blue from alpha.
  const float m[20] = {-1, 0, 0, 0, 255, 0, 1, 0, 0, 100, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0};
  std::copy(std::begin(m), std::end(m), std::begin(f.matrix));
  // Straight (200, 200, 0, 128), premultiplied (100, 100, 0, 128).
  const Layer out = ApplyFilter(Row(0, {Rgba{100, 100, 0, 128}}), f);
  // Straight result (55, 255 clamped, 128, 128); premultiplied by 128/255.
  EXPECT_EQ(out.at(0, 0), (Rgba{28, 128, 64, 128}));
}

DropShadowFilter Shadow(double angle, double distance) {
  DropShadowFilter f;
  f.color = kBlack;
  f.blurX = f.blurY = 0;
  f.angle = angle;
  f.distance = distance;
  return f;
}

TEST(DropShadow, FallsAtItsDistanceAlongItsAngle) {
  const Layer out = ApplyFilter(Row(0, {kWhite}), Shadow(0, 3));
  ASSERT_EQ(out.x, 0);
  ASSERT_EQ(out.width, 4);
  EXPECT_EQ(out.at(0, 0), kWhite) << "the object stays above its shadow";
  EXPECT_EQ(out.at(1, 0), kClear);
  EXPECT_EQ(out.at(2, 0), kClear);
  EXPECT_EQ(out.at(3, 0), kBlack);

  const Layer down = ApplyFilter(Row(0, {kWhite}), Shadow(std::numbers::pi / 2, 2), 2, 2);
  ASSERT_EQ(down.height, 5) << "a 2-pixel distance at twice the size is 4 device pixels";
  EXPECT_EQ(down.y, 0);
  EXPECT_EQ(down.at(0, 4), kBlack);
  EXPECT_EQ(ReachOf(Shadow(0, 3)).right, 3);
  EXPECT_EQ(ReachOf(Shadow(0, 3)).left, 0);
}

TEST(DropShadow, KnockoutAndHiddenObjectLeaveTheShadowAlone) {
  DropShadowFilter f = Shadow(0, 0);
  f.color = Rgba{255, 0, 0, 255};
  f.blurX = 3;
  f.knockout = true;
  const Layer out = ApplyFilter(Row(0, {kWhite}), f);
  ASSERT_EQ(out.width, 3);
  EXPECT_EQ(out.at(1, 0), kClear) << "knockout cuts the object out of its shadow";
  EXPECT_EQ(out.at(0, 0), (Rgba{85, 0, 0, 85}));

  f.knockout = false;
  f.compositeSource = false;
  const Layer hidden = ApplyFilter(Row(0, {kWhite}), f);
  EXPECT_EQ(hidden.at(1, 0), (Rgba{85, 0, 0, 85})) << "a hidden object shows only its shadow";
}

TEST(DropShadow, InnerShadowFallsInsideFromTheEdgeFacingTheLight) {
  DropShadowFilter f = Shadow(0, 1);
  f.inner = true;
  const Layer out = ApplyFilter(Row(5, {kWhite, kWhite, kWhite}), f);
  ASSERT_EQ(out.x, 5);
  ASSERT_EQ(out.width, 3) << "an inner shadow stays within the object";
  EXPECT_EQ(out.at(0, 0), kBlack);
  EXPECT_EQ(out.at(1, 0), kWhite);
  EXPECT_EQ(out.at(2, 0), kWhite);
}

TEST(Glow, StrengthMultipliesTheBlurredAlpha) {
  GlowFilter f;
  f.color = Rgba{0, 255, 0, 255};
  f.blurX = 3;
  f.blurY = 1;
  f.strength = 2;
  const Layer out = ApplyFilter(Row(0, {kWhite}), f);
  ASSERT_EQ(out.width, 3);
  EXPECT_EQ(out.at(0, 0), (Rgba{0, 170, 0, 170}));  // 85 twice
  EXPECT_EQ(out.at(1, 0), kWhite);
}

TEST(Bevel, HighlightFacesTheLightAndShadowTheOtherSide) {
  BevelFilter f;
  f.highlight = Rgba{255, 0, 0, 255};
  f.shadow = Rgba{0, 0, 255, 255};
  f.blurX = f.blurY = 0;
  f.angle = 0;
  f.distance = 1;
  // The whole difference, 255 or -255, lands on index 128 +- 127.5: 255 (clamped) or 1 (0.5
  // rounded away from zero), 127 steps of 1/128 from the middle, (127 * 255 + 127) / 128 = 254.
  // Inner: atop opaque white, 254 of the colour and 1 of the white.
  const Layer out = ApplyFilter(Row(0, {kWhite, kWhite, kWhite}), f);
  ASSERT_EQ(out.width, 3) << "an inner bevel stays within the object";
  EXPECT_EQ(out.at(0, 0), (Rgba{255, 1, 1, 255}));
  EXPECT_EQ(out.at(1, 0), kWhite);
  EXPECT_EQ(out.at(2, 0), (Rgba{1, 1, 255, 255}));

  f.inner = false;  // outer: beside the object the colour alone, under it hidden
  const Layer outer = ApplyFilter(Row(0, {kWhite, kWhite, kWhite}), f);
  ASSERT_EQ(outer.x, -1);
  ASSERT_EQ(outer.width, 5);
  EXPECT_EQ(outer.at(0, 0), (Rgba{254, 0, 0, 254}));
  EXPECT_EQ(outer.at(1, 0), kWhite);
  EXPECT_EQ(outer.at(4, 0), (Rgba{0, 0, 254, 254}));

  // 128 - 255 = -127 at the middle pixel: index 128 - 63.5, rounded away from zero to 65,
  // (63 * 255 + 127) / 128 = 126 of red atop white: 126 + 129, 129.
  f.inner = true;
  const Layer part = ApplyFilter(Row(0, {Rgba{128, 128, 128, 128}, kWhite, kWhite}), f);
  EXPECT_EQ(part.at(1, 0), (Rgba{255, 129, 129, 255}));
  EXPECT_EQ(part.at(2, 0), (Rgba{1, 1, 255, 255})) << "shadow: 255 - 0 still";
}

TEST(Bevel, OverAHalfTransparentObjectTheInnerShadeLiesAtopAndTheOuterBeneath) {
  // Premultiplied white at alpha 128. With no blur the shade is the object's alpha one pixel
  // towards the light less one pixel away from it.
  const Rgba half{128, 128, 128, 128};
  BevelFilter f;
  f.highlight = Rgba{255, 0, 0, 255};
  f.shadow = Rgba{0, 0, 255, 255};
  f.blurX = f.blurY = 0;
  f.angle = 0;
  f.distance = 1;
  // Inner, first pixel: 0 - 128 is half the highlight's reach: index 64, amount
  // (64 * 255 + 127) / 128 = 128. Atop: red 128 * 128 / 255 + 128 * (255 - 128) / 255 = 64 + 64;
  // green and blue keep 128 * 127 / 255 = 64; alpha stays the object's.
  const Layer inner = ApplyFilter(Row(0, {half, half, half}), f);
  ASSERT_EQ(inner.width, 3);
  EXPECT_EQ(inner.at(0, 0), (Rgba{128, 64, 64, 128}));
  EXPECT_EQ(inner.at(1, 0), half) << "no shade where both sides see the object";

  // Outer: the object over the unmasked shade, 128 + 128 * 127 / 255 = 128 + 64.
  f.inner = false;
  const Layer outer = ApplyFilter(Row(0, {half, half, half}), f);
  ASSERT_EQ(outer.x, -1);
  EXPECT_EQ(outer.at(1, 0), (Rgba{192, 128, 128, 192}));
  EXPECT_EQ(outer.at(0, 0), (Rgba{128, 0, 0, 128})) << "beside the object the shade alone";
  f.knockout = true;
  const Layer cut = ApplyFilter(Row(0, {half, half, half}), f);
  EXPECT_EQ(cut.at(1, 0), (Rgba{64, 0, 0, 64})) << "knockout keeps the shade where the object is not: 128 * 127 / 255";
}

TEST(DropShadow, InnerShadowOverAHalfTransparentObjectLiesAtopIt) {
  DropShadowFilter f = Shadow(0, 1);
  f.inner = true;
  const Rgba half{128, 128, 128, 128};
  const Layer out = ApplyFilter(Row(0, {half, half}), f);
  ASSERT_EQ(out.width, 2);
  // The first pixel sees the clear surroundings: full black atop the object, 0 + 128 * 0.
  EXPECT_EQ(out.at(0, 0), (Rgba{0, 0, 0, 128}));
  // The second sees the object's own half transparency (255 - 128 = 127): 128 * 128 / 255.
  EXPECT_EQ(out.at(1, 0), (Rgba{64, 64, 64, 128}));
}

TEST(GradientGlow, StrengthIndexesTheGradient) {
  GradientFilter f;
  f.stops = {{Rgba{255, 0, 0, 0}, 0}, {Rgba{255, 0, 0, 255}, 255}};
  f.blurX = 3;
  f.blurY = 1;
  f.distance = 0;
  f.knockout = true;
  const Layer out = ApplyFilter(Row(0, {kWhite}), f);
  ASSERT_EQ(out.width, 3);
  EXPECT_EQ(out.at(0, 0), (Rgba{85, 0, 0, 85})) << "the gradient's colour at ratio 85";
  EXPECT_EQ(out.at(1, 0), kClear);
}

TEST(Convolution, SumsNeighboursOverTheDivisorPlusBias) {
  ConvolutionFilter f;
  f.columns = 3;
  f.rows = 1;
  f.matrix = {1, 0, -1};
  f.divisor = 1;
  f.bias = 128;
  f.clamp = true;
  f.preserveAlpha = true;
  const Layer out = ApplyFilter(Row(0, {kBlack, Rgba{100, 100, 100, 255}, kWhite}), f);
  EXPECT_EQ(out.at(1, 0), (Rgba{0, 0, 0, 255}));    // 0 - 255 + 128 clamps to 0
  EXPECT_EQ(out.at(0, 0), (Rgba{28, 28, 28, 255}));   // clamped edge: 0 - 100 + 128
  EXPECT_EQ(out.at(2, 0), (Rgba{0, 0, 0, 255}));    // 100 - 255 (clamped edge) + 128

  f.clamp = false;
  f.defaultColor = Rgba{200, 200, 200, 255};
  const Layer fallback = ApplyFilter(Row(0, {kBlack, Rgba{100, 100, 100, 255}, kWhite}), f);
  EXPECT_EQ(fallback.at(0, 0), (Rgba{228, 228, 228, 255})) << "beyond the edge reads the default colour: 200 - 100 + 128";
}

}  // namespace
}  // namespace quillon::player
