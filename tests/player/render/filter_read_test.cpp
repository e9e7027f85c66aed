// Filter lists as PlaceObject3 stores them: each field from its documented layout.
#include <gtest/gtest.h>

#include <vector>

#include "swf/records.h"

namespace quillon::player {
namespace {

TEST(FilterList, ReadsBlurAndGlowFields) {
  const std::vector<std::uint8_t> bytes = {
      2,                                     // two filters
      1, 0x00, 0x00, 0x05, 0x00,             // blur: x 5.0 (16.16, little end first)
      0x00, 0x80, 0x02, 0x00, 3 << 3,        // y 2.5, three passes in the top five bits
      2, 10, 20, 30, 40,                     // glow: colour
      0x00, 0x00, 0x01, 0x00, 0x00, 0x00, 0x02, 0x00,  // x 1.0, y 2.0
      0x80, 0x01,                            // strength 1.5 (8.8)
      0x80 | 0x20 | 2};                      // inner, composite source, two passes
  Reader r(bytes);
  const std::vector<Filter> list = ReadFilters(r);
  ASSERT_EQ(list.size(), 2u);
  const auto* blur = std::get_if<BlurFilter>(&list[0]);
  ASSERT_TRUE(blur);
  EXPECT_EQ(blur->blurX, 5.0);
  EXPECT_EQ(blur->blurY, 2.5);
  EXPECT_EQ(blur->passes, 3);
  const auto* glow = std::get_if<GlowFilter>(&list[1]);
  ASSERT_TRUE(glow);
  EXPECT_EQ(glow->color, (Rgba{10, 20, 30, 40}));
  EXPECT_EQ(glow->blurX, 1.0);
  EXPECT_EQ(glow->blurY, 2.0);
  EXPECT_EQ(glow->strength, 1.5);
  EXPECT_TRUE(glow->inner);
  EXPECT_FALSE(glow->knockout);
  EXPECT_TRUE(glow->compositeSource);
  EXPECT_EQ(glow->passes, 2);
  EXPECT_FALSE(r.failed());
}

TEST(FilterList, CutShortKeepsTheFiltersReadWhole) {
  const std::vector<std::uint8_t> bytes = {2, 1, 0, 0, 1, 0, 0, 0, 1, 0, 8, 6, 0, 0};
  Reader r(bytes);
  const std::vector<Filter> list = ReadFilters(r);
  ASSERT_EQ(list.size(), 1u);
  EXPECT_TRUE(std::holds_alternative<BlurFilter>(list[0]));
  EXPECT_EQ(std::get<BlurFilter>(list[0]).passes, 1);
}

}  // namespace
}  // namespace quillon::player
