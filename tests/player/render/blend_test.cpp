// Blend modes, layers and compositing: expected pixels worked out by hand from each mode's
// formula on premultiplied colour (x / 255 rounded to the nearest).
#include <gtest/gtest.h>

#include "render/composite.h"
#include "render/layer.h"

namespace quillon::player {
namespace {

::testing::AssertionResult Same(Rgba got, Rgba want) {
  if (got == want) return ::testing::AssertionSuccess();
  return ::testing::AssertionFailure() << int(got.r) << "," << int(got.g) << "," << int(got.b) << "," << int(got.a)
                                       << " but should be " << int(want.r) << "," << int(want.g) << ","
                                       << int(want.b) << "," << int(want.a);
}

// Opaque source (255, 128, 0) over opaque destination (100, 200, 50).
constexpr Rgba kSrc{255, 128, 0, 255}, kDst{100, 200, 50, 255};

TEST(BlendModes, OpaqueColoursFollowEachFormula) {
  // multiply s d: 255*100/255, 128*200/255 = 100.4, 0.
  EXPECT_TRUE(Same(BlendPixel(kSrc, kDst, BlendMode::Multiply), {100, 100, 0, 255}));
  // screen s + d - s d: 255, 328 - 100.4 = 227.6, 50.
  EXPECT_TRUE(Same(BlendPixel(kSrc, kDst, BlendMode::Screen), {255, 228, 50, 255}));
  EXPECT_TRUE(Same(BlendPixel(kSrc, kDst, BlendMode::Lighten), {255, 200, 50, 255}));
  EXPECT_TRUE(Same(BlendPixel(kSrc, kDst, BlendMode::Darken), {100, 128, 0, 255}));
  EXPECT_TRUE(Same(BlendPixel(kSrc, kDst, BlendMode::Difference), {155, 72, 50, 255}));
  EXPECT_TRUE(Same(BlendPixel(kSrc, kDst, BlendMode::Add), {255, 255, 50, 255}));
  EXPECT_TRUE(Same(BlendPixel(kSrc, kDst, BlendMode::Subtract), {0, 72, 50, 255}));
  // invert ignores the source's colour: 255 - d.
  EXPECT_TRUE(Same(BlendPixel(kSrc, kDst, BlendMode::Invert), {155, 55, 205, 255}));
  // hardlight by the source: s > 1/2 gives 1 - 2 (1 - s)(1 - d): green 1 - 2 (127/255)(55/255) = 200.2;
  // s = 0 gives 2 s d = 0.
  EXPECT_TRUE(Same(BlendPixel(kSrc, kDst, BlendMode::Hardlight), {255, 200, 0, 255}));
  // overlay by the destination: d = 100 is below 1/2, so 2 s d = 200; d = 200 above, 200.2 again.
  EXPECT_TRUE(Same(BlendPixel(kSrc, kDst, BlendMode::Overlay), {200, 200, 0, 255}));
  EXPECT_TRUE(Same(BlendPixel(kSrc, kDst, BlendMode::Normal), kSrc));
  EXPECT_TRUE(Same(BlendPixel(kSrc, kDst, BlendMode::Layer), kSrc));
}

TEST(BlendModes, PartlyTransparentSourceMixesWithWhatItCovers) {
  // Half-covering red over blue: 128 + 0, blue 255 * 127/255, alpha 128 + 127.
  EXPECT_TRUE(Same(BlendPixel({128, 0, 0, 128}, {0, 0, 255, 255}, BlendMode::Normal), {128, 0, 127, 255}));
  // Grey at half alpha multiplied onto (200, 100, 0): (200 * 127 + 64 * 200) / 255 = 149.8 red,
  // (100 * 127 + 64 * 100) / 255 = 74.9 green.
  EXPECT_TRUE(Same(BlendPixel({64, 64, 64, 128}, {200, 100, 0, 255}, BlendMode::Multiply), {150, 75, 0, 255}));
  // Where the destination is transparent the source shows as it is.
  EXPECT_TRUE(Same(BlendPixel({255, 0, 0, 255}, {0, 0, 0, 0}, BlendMode::Multiply), {255, 0, 0, 255}));
  EXPECT_TRUE(Same(BlendPixel({0, 0, 0, 0}, kDst, BlendMode::Difference), kDst));
}

TEST(BlendModes, AlphaAndEraseScaleTheLayerBelow) {
  const Rgba below{100, 50, 200, 255};
  // alpha keeps 128/255 of it: 50.2, 25.1, 100.4; erase keeps 127/255: 49.8, 24.9, 99.6.
  EXPECT_TRUE(Same(BlendPixel({0, 0, 0, 128}, below, BlendMode::Alpha), {50, 25, 100, 128}));
  EXPECT_TRUE(Same(BlendPixel({0, 0, 0, 128}, below, BlendMode::Erase), {50, 25, 100, 127}));
  EXPECT_TRUE(Same(BlendPixel({9, 9, 9, 255}, below, BlendMode::Erase), {0, 0, 0, 0}));
  EXPECT_TRUE(Same(BlendPixel({9, 9, 9, 255}, below, BlendMode::Alpha), below));
}

TEST(BlendModes, NamesAndStoredBytesMatch) {
  EXPECT_EQ(BlendModeFromByte(0), BlendMode::Normal);
  EXPECT_EQ(BlendModeFromByte(3), BlendMode::Multiply);
  EXPECT_EQ(BlendModeFromByte(14), BlendMode::Hardlight);
  EXPECT_EQ(BlendModeFromByte(15), BlendMode::Normal);
  EXPECT_EQ(BlendModeFromName("erase"), BlendMode::Erase);
  EXPECT_EQ(BlendModeFromName("bogus"), BlendMode::Normal);
  EXPECT_EQ(BlendModeName(BlendMode::Difference), "difference");
  EXPECT_EQ(BlendModeName(BlendModeFromName("overlay")), "overlay");
}

TEST(Layers, TrimKeepsDevicePositions) {
  Layer l(10, 20, 8, 6);
  l.at(2, 1) = {1, 2, 3, 255};
  l.at(5, 4) = {4, 5, 6, 128};
  TrimToContent(l);
  EXPECT_EQ(l.x, 12);
  EXPECT_EQ(l.y, 21);
  EXPECT_EQ(l.width, 4);
  EXPECT_EQ(l.height, 4);
  EXPECT_TRUE(Same(l.at(0, 0), {1, 2, 3, 255}));
  EXPECT_TRUE(Same(l.at(3, 3), {4, 5, 6, 128}));
  Layer none(0, 0, 3, 3);
  TrimToContent(none);
  EXPECT_TRUE(none.empty());
}

TEST(Layers, CompositeLandsAtTheLayerOriginWithItsAlphaAndMask) {
  Canvas canvas(4, 1, {0, 0, 255, 255});
  Layer red(1, 0, 2, 1);
  red.at(0, 0) = red.at(1, 0) = {255, 0, 0, 255};
  ColorTransform half;
  half.am = 0.5;
  MaskBuffer mask = {255, 255, 0, 255};
  Composite(CompositeTarget::Of(canvas), red, BlendMode::Normal, half, &mask);
  EXPECT_TRUE(Same(canvas.at(0, 0), {0, 0, 255, 255}));
  // Half of red over blue, unrounded until the end: 127.5 each, to the nearest 128.
  EXPECT_TRUE(Same(canvas.at(1, 0), {128, 0, 128, 255}));
  EXPECT_TRUE(Same(canvas.at(2, 0), {0, 0, 255, 255}));  // masked off
  EXPECT_TRUE(Same(canvas.at(3, 0), {0, 0, 255, 255}));  // beyond the layer
}

TEST(Layers, EraseCutsItsShapeOutOfTheEnclosingLayer) {
  Layer group(0, 0, 3, 1);
  for (int i = 0; i < 3; ++i) group.at(i, 0) = {0, 200, 0, 255};
  Layer eraser(1, 0, 1, 1);
  eraser.at(0, 0) = {0, 0, 0, 255};
  Composite(CompositeTarget::Of(group), eraser, BlendMode::Erase, {});
  EXPECT_TRUE(Same(group.at(0, 0), {0, 200, 0, 255}));
  EXPECT_TRUE(Same(group.at(1, 0), {0, 0, 0, 0}));
  // The group then lands on white with the hole showing white.
  Canvas canvas(3, 1, {255, 255, 255, 255});
  Composite(CompositeTarget::Of(canvas), group, BlendMode::Layer, {});
  EXPECT_TRUE(Same(canvas.at(0, 0), {0, 200, 0, 255}));
  EXPECT_TRUE(Same(canvas.at(1, 0), {255, 255, 255, 255}));
}

TEST(Layers, ColourTransformWorksOnStraightColour) {
  // Premultiplied (64, 0, 0, 128) is straight red 127.5; doubled it is 255, premultiplied
  // again at alpha 128: 128.
  ColorTransform redder;
  redder.rm = 2;
  EXPECT_TRUE(Same(TransformPremultiplied({64, 0, 0, 128}, redder), {128, 0, 0, 128}));
  EXPECT_TRUE(Same(TransformPremultiplied({0, 0, 0, 0}, redder), {0, 0, 0, 0}));
}

}  // namespace
}  // namespace quillon::player
