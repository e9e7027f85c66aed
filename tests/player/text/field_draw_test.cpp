// A text field from DefineEditText, drawn at low quality: its border on whole pixels and its
// embedded glyphs two pixels inside the box.
#include <gtest/gtest.h>

#include "display/player.h"
#include "text_writer.h"

namespace quillon::player {
namespace {

using namespace test;

TEST(FieldDrawing, BorderAndEmbeddedGlyphsSitWhereTheGutterPutsThem) {
  // A 20 px font: squares of 10 px on a baseline 2 + 0.8 * 20 = 18 px down, advancing 10 px.
  EditText e;
  e.xMax = 2000;  // 100 px
  e.yMax = 600;   // 30 px
  e.fontId = 1;
  e.height = 400;
  e.outlines = true;
  e.border = true;
  e.text = "AA";
  Place p;
  p.depth = 1;
  p.id = 2;
  const auto loaded = LoadMovie(MovieFile(120, 50, {FontTag(TestFont{}), EditTextTag(e), PlaceObject2(p), ShowFrame()}));
  ASSERT_TRUE(loaded.movie);
  Player player(loaded.movie);
  player.Tick();
  Canvas c(120, 50, {});
  player.Render(c, Quality::Low);
  const Rgba black{0, 0, 0, 255}, white{255, 255, 255, 255};
  EXPECT_EQ(c.at(50, 0), black) << "top border";
  EXPECT_EQ(c.at(0, 20), black) << "left border";
  EXPECT_EQ(c.at(100, 20), black) << "right border on the pixel of the far edge";
  EXPECT_EQ(c.at(50, 30), black) << "bottom border";
  EXPECT_EQ(c.at(100, 30), white) << "the bottom-right corner stays out";
  EXPECT_EQ(c.at(50, 15), white) << "the tag's border flag gives a white background";
  EXPECT_EQ(c.at(2, 8), black) << "first glyph's top-left";
  EXPECT_EQ(c.at(11, 17), black) << "first glyph's bottom-right";
  EXPECT_EQ(c.at(1, 12), white) << "the gutter left of the text";
  EXPECT_EQ(c.at(12, 12), black) << "second glyph one advance on";
  EXPECT_EQ(c.at(22, 12), white) << "after the text";
  EXPECT_EQ(c.at(6, 18), white) << "below the baseline";
}

}  // namespace
}  // namespace quillon::player
