// Gradient step tables and the bottom-up 32-bit block they expand into.
#include <gtest/gtest.h>

#include "gradient.h"

namespace quillon::render {
namespace {

// The pixel at column c, row r counted from the TOP, as 0x00RRGGBB.
std::uint32_t At(const PixelBlock& b, int c, int r) {
  const std::uint8_t* p = b.bytes.data() + b.OffsetFromTop(c, r);
  return static_cast<std::uint32_t>(p[0] | (p[1] << 8) | (p[2] << 16) | (p[3] << 24));
}

TEST(GradientSteps, TopToBottomHeightThree) {
  // Red 0 -> 255 over 3 rows: 0, 1 * 255 div 2 = 127, 255.
  const PixelBlock b = GradientBlock(2, 3, 0x000000, 0x0000FF, 1);
  for (int c = 0; c < 2; ++c) {
    EXPECT_EQ(At(b, c, 0), 0x000000u);
    EXPECT_EQ(At(b, c, 1), 127u << 16);
    EXPECT_EQ(At(b, c, 2), 255u << 16);
  }
}

TEST(GradientSteps, RisingAndFallingChannelsTruncateTowardFrom) {
  const auto rising = GradientSteps(Rgb(0, 0, 0), Rgb(10, 0, 0), 3);
  ASSERT_EQ(rising.size(), 4u);
  EXPECT_EQ(rising[0] >> 16, 0u);
  EXPECT_EQ(rising[1] >> 16, 3u);
  EXPECT_EQ(rising[2] >> 16, 6u);
  EXPECT_EQ(rising[3] >> 16, 10u);
  const auto falling = GradientSteps(Rgb(10, 0, 0), Rgb(0, 0, 0), 3);
  EXPECT_EQ(falling[1] >> 16, 7u);  // 10 + (-10 div 3) = 10 - 3
  EXPECT_EQ(falling[2] >> 16, 4u);
  EXPECT_EQ(falling[3] >> 16, 0u);
}

TEST(GradientSteps, ChannelsPackedRedHighBlueLow) {
  const auto steps = GradientSteps(Rgb(1, 2, 3), Rgb(1, 2, 3), 1);
  EXPECT_EQ(steps[0], 0x010203u);
}

TEST(GradientSteps, SingleStepHalvesEachColourSeparately) {
  EXPECT_EQ(GradientSteps(0x010101, 0x010101, 0)[0], 0u);
  // (to div 2) + (from div 2): red 200/2 + 101/2 = 150, green 3/2 + 3/2 = 2.
  EXPECT_EQ(GradientSteps(Rgb(101, 3, 0), Rgb(200, 3, 9), 0)[0], (150u << 16) | (2u << 8) | 4u);
  const PixelBlock row = GradientBlock(3, 1, 0x010101, 0x010101, 1);
  for (int c = 0; c < 3; ++c) EXPECT_EQ(At(row, c, 0), 0u);
  const PixelBlock column = GradientBlock(1, 3, Rgb(4, 0, 0), Rgb(8, 0, 0), 0);
  for (int r = 0; r < 3; ++r) EXPECT_EQ(At(column, 0, r), 6u << 16);
}

TEST(GradientBlock, LeftToRightColumns) {
  const PixelBlock b = GradientBlock(4, 2, Rgb(0, 0, 0), Rgb(10, 0, 0), 0);
  const std::uint32_t expected[] = {0, 3, 6, 10};
  for (int r = 0; r < 2; ++r)
    for (int c = 0; c < 4; ++c) EXPECT_EQ(At(b, c, r), expected[c] << 16) << c << "," << r;
}

TEST(GradientBlock, DiagonalsCountStepsAlongBothAxes) {
  // 3 x 2: n = 3; blue 0 -> 30 gives steps 0, 10, 20, 30.
  const PixelBlock down = GradientBlock(3, 2, 0, Rgb(0, 0, 30), 2);
  EXPECT_EQ(At(down, 0, 0), 0u);
  EXPECT_EQ(At(down, 2, 0), 20u);
  EXPECT_EQ(At(down, 0, 1), 10u);
  EXPECT_EQ(At(down, 2, 1), 30u);
  const PixelBlock up = GradientBlock(3, 2, 0, Rgb(0, 0, 30), 3);
  EXPECT_EQ(At(up, 0, 1), 0u);   // bottom-left is step 0
  EXPECT_EQ(At(up, 0, 0), 10u);
  EXPECT_EQ(At(up, 2, 0), 30u);  // top-right is step n
  EXPECT_EQ(At(up, 2, 1), 20u);
}

TEST(GradientBlock, BufferIsBottomUp) {
  // The first bytes of the buffer are the bottom row: the to colour for direction 1.
  const PixelBlock b = GradientBlock(1, 2, Rgb(0, 0, 0), Rgb(255, 0, 0), 1);
  EXPECT_EQ(b.bytes[2], 255);
  EXPECT_EQ(b.bytes[6], 0);
}

TEST(GradientBlock, TopByteOfColoursIsIgnored) {
  const PixelBlock b = GradientBlock(1, 1, 0xFF000000u | Rgb(2, 4, 6), 0x80000000u | Rgb(2, 4, 6), 1);
  EXPECT_EQ(At(b, 0, 0), 0x020406u);  // single step: 2 div 2 + 2 div 2 per channel
}

TEST(GradientBlock, EmptySizesAndUnknownDirection) {
  EXPECT_TRUE(GradientBlock(0, 5, 0, 0xFFFFFF, 1).bytes.empty());
  EXPECT_TRUE(GradientBlock(5, 0, 0, 0xFFFFFF, 1).bytes.empty());
  EXPECT_TRUE(GradientBlock(-2, 5, 0, 0xFFFFFF, 1).bytes.empty());
  const PixelBlock b = GradientBlock(2, 2, 0xFFFFFF, 0xFFFFFF, 7);
  for (auto byte : b.bytes) EXPECT_EQ(byte, 0);
}

}  // namespace
}  // namespace quillon::render
