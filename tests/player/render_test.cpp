// Drawing self-built movies: every expected pixel follows from the geometry placed.
#include <gtest/gtest.h>

#include "display/player.h"
#include "swf_writer.h"

namespace quillon::player {
namespace {

using namespace test;

constexpr Rgba kWhite{255, 255, 255, 255}, kRed{255, 0, 0, 255}, kBlue{0, 0, 255, 255};

Canvas Play(const Bytes& file, int ticks, Quality q = Quality::Low) {
  const auto loaded = LoadMovie(file);
  EXPECT_TRUE(loaded.movie);
  Player player(loaded.movie);
  for (int i = 0; i < ticks; ++i) player.Tick();
  Canvas c(loaded.movie->StageWidth(), loaded.movie->StageHeight(), {});
  player.Render(c, q);
  return c;
}

// Pixels inside [x0, x1) x [y0, y1) have `in`, all others `out`; reports the first mismatch.
::testing::AssertionResult CoversExactly(const Canvas& c, int x0, int y0, int x1, int y1, Rgba in, Rgba out) {
  for (int y = 0; y < c.height; ++y)
    for (int x = 0; x < c.width; ++x) {
      const bool inside = x >= x0 && x < x1 && y >= y0 && y < y1;
      const Rgba want = inside ? in : out;
      const Rgba got = c.at(x, y);
      if (!(got == want))
        return ::testing::AssertionFailure() << "pixel (" << x << ", " << y << ") is " << int(got.r) << ","
                                             << int(got.g) << "," << int(got.b) << " but should be "
                                             << int(want.r) << "," << int(want.g) << "," << int(want.b);
    }
  return ::testing::AssertionSuccess();
}

Bytes Square(int id, int xPx, int yPx, int sizePx, Rgb color) {
  return RectShape(id, xPx * 20, yPx * 20, sizePx * 20, sizePx * 20, color);
}

TEST(Render, SquareCoversExactlyItsPixelsAtBothQualities) {
  const Bytes movie = MovieFile(40, 40, {Background({255, 255, 255}), Square(1, 10, 10, 20, {255, 0, 0}),
                                     PlaceObject2({.depth = 1, .id = 1}), ShowFrame()});
  EXPECT_TRUE(CoversExactly(Play(movie, 1, Quality::Low), 10, 10, 30, 30, kRed, kWhite));
  EXPECT_TRUE(CoversExactly(Play(movie, 1, Quality::High), 10, 10, 30, 30, kRed, kWhite));
}

TEST(Render, LowQualityTakesPixelCentresAndHighQualityBlendsPartialPixels) {
  // A square from x = 10.5 to 30.5 pixels (210 .. 610 twips), y 10 .. 30.
  const Bytes movie = MovieFile(40, 40, {Background({255, 255, 255}), RectShape(1, 210, 200, 400, 400, {255, 0, 0}),
                                     PlaceObject2({.depth = 1, .id = 1}), ShowFrame()});
  // Column 10's centre (10.5) lies on the left edge and is inside; column 30's centre is on the
  // right edge and is outside.
  EXPECT_TRUE(CoversExactly(Play(movie, 1, Quality::Low), 10, 10, 30, 30, kRed, kWhite));
  const Canvas high = Play(movie, 1, Quality::High);
  for (int x : {10, 30}) {  // half covered: halfway between white and red
    EXPECT_EQ(high.at(x, 20).r, 255);
    EXPECT_NEAR(high.at(x, 20).g, 127.5, 1.0) << "column " << x;
  }
  EXPECT_EQ(high.at(20, 20), kRed);
  EXPECT_EQ(high.at(9, 20), kWhite);
}

TEST(Render, HigherDepthsDrawAboveLowerOnes) {
  const Bytes movie = MovieFile(40, 40, {Background({255, 255, 255}), Square(1, 0, 0, 20, {255, 0, 0}),
                                     Square(2, 10, 10, 20, {0, 0, 255}), PlaceObject2({.depth = 5, .id = 2}),
                                     PlaceObject2({.depth = 3, .id = 1}), ShowFrame()});
  const Canvas c = Play(movie, 1);
  EXPECT_EQ(c.at(5, 5), kRed);
  EXPECT_EQ(c.at(15, 15), kBlue) << "the deeper blue square must cover the red one";
  EXPECT_EQ(c.at(25, 25), kBlue);
  EXPECT_EQ(c.at(35, 5), kWhite);
}

TEST(Render, ColourTransformMultipliesAddsAndBlendsAlpha) {
  // Grey 200 scaled by 128/256 plus 10 gives 110; blue add 300 clamps at 255.
  Place p{.depth = 1, .id = 1};
  p.hasCx = true;
  p.rm = 128;
  p.ra = 10;
  p.ba = 300;
  const Bytes movie = MovieFile(20, 20, {Background({0, 0, 0}), Square(1, 0, 0, 10, {200, 200, 200}), PlaceObject2(p),
                                     Square(2, 10, 0, 10, {255, 0, 0}),
                                     PlaceObject2({.depth = 2, .id = 2, .hasCx = true, .am = 128}), ShowFrame()});
  const Canvas c = Play(movie, 1);
  EXPECT_EQ(c.at(5, 5), (Rgba{110, 200, 255, 255}));
  // Red at alpha 128/255 over black: 255 * 128 / 255 = 128.
  EXPECT_EQ(c.at(15, 5), (Rgba{128, 0, 0, 255}));
}

TEST(Render, ClipDepthMasksTheDepthsUpToItOnly) {
  // Mask: square (0,0)-(20,20) at depth 1 clipping depths 2..3; content covers (10,10)-(30,30)
  // at depth 2; a blue square at depth 4 is outside the mask's reach.
  const Bytes movie = MovieFile(40, 40, {Background({255, 255, 255}), Square(1, 0, 0, 20, {0, 255, 0}),
                                     Square(2, 10, 10, 20, {255, 0, 0}), Square(3, 30, 30, 10, {0, 0, 255}),
                                     PlaceObject2({.depth = 1, .id = 1, .clipDepth = 3}),
                                     PlaceObject2({.depth = 2, .id = 2}), PlaceObject2({.depth = 4, .id = 3}),
                                     ShowFrame()});
  const Canvas c = Play(movie, 1);
  for (int y = 0; y < 30; ++y)
    for (int x = 0; x < 30; ++x) {
      const bool shown = x >= 10 && x < 20 && y >= 10 && y < 20;
      ASSERT_EQ(c.at(x, y), shown ? kRed : kWhite) << "at " << x << ", " << y << " (the mask itself never shows)";
    }
  EXPECT_EQ(c.at(35, 35), kBlue);
}

TEST(Render, SpriteContentFollowsThePlacementMatrix) {
  // A 5 x 5 square at the sprite's origin, sprite placed at (8, 4) pixels scaled by 2.
  const Bytes movie = MovieFile(40, 40, {Background({255, 255, 255}), Square(1, 0, 0, 5, {255, 0, 0}),
                                     Sprite(2, {PlaceObject2({.depth = 1, .id = 1}), ShowFrame()}),
                                     PlaceObject2({.depth = 1, .id = 2, .tx = 160, .ty = 80, .scale = 2}),
                                     ShowFrame()});
  EXPECT_TRUE(CoversExactly(Play(movie, 1), 8, 4, 18, 14, kRed, kWhite));
}

TEST(Render, TriangleFollowsItsEdgesAtPixelCentres) {
  // Right triangle (0,0), (20,0), (0,20) px: pixel (x, y) is inside when x + y + 1 < 20
  // (its centre lies strictly left of the hypotenuse) -- centres exactly on it are not.
  const Bytes movie = MovieFile(20, 20, {Background({255, 255, 255}),
                                     PolygonShape(1, {{0, 0}, {400, 0}, {0, 400}}, {255, 0, 0}),
                                     PlaceObject2({.depth = 1, .id = 1}), ShowFrame()});
  const Canvas c = Play(movie, 1);
  for (int y = 0; y < 20; ++y)
    for (int x = 0; x < 20; ++x) ASSERT_EQ(c.at(x, y), x + y + 1 < 20 ? kRed : kWhite) << x << ", " << y;
}

TEST(Render, LinesHaveTheirWidthAndShowAtLeastOnePixel) {
  // A square outline from (10,10) to (30,30) with a 4-pixel line: it covers 8..12 around each side.
  const Bytes movie = MovieFile(40, 40, {Background({255, 255, 255}),
                                     PolygonShape(1, {{200, 200}, {600, 200}, {600, 600}, {200, 600}},
                                                  {255, 255, 255}, 80, {0, 0, 255}),
                                     PlaceObject2({.depth = 1, .id = 1}), ShowFrame()});
  const Canvas c = Play(movie, 1);
  EXPECT_EQ(c.at(8, 20), kBlue);
  EXPECT_EQ(c.at(11, 20), kBlue);
  EXPECT_EQ(c.at(7, 20), kWhite);
  EXPECT_EQ(c.at(12, 20), kWhite);
  EXPECT_EQ(c.at(20, 31), kBlue);
  EXPECT_EQ(c.at(20, 32), kWhite);
  // Round joins: the corner pixel (8, 8) has its centre 2.12 px from the corner, beyond the
  // 2 px half-width, so it stays white, while (9, 9) at 0.71 px is covered.
  EXPECT_EQ(c.at(8, 8), kWhite);
  EXPECT_EQ(c.at(9, 9), kBlue);
  // A hairline (width 1 twip) still draws one pixel row.
  const Bytes thin = MovieFile(40, 40, {Background({255, 255, 255}),
                                    PolygonShape(1, {{200, 210}, {600, 210}, {600, 610}, {200, 610}},
                                                 {255, 255, 255}, 1, {0, 0, 255}),
                                    PlaceObject2({.depth = 1, .id = 1}), ShowFrame()});
  const Canvas t = Play(thin, 1);
  EXPECT_EQ(t.at(20, 10), kBlue);
  EXPECT_EQ(t.at(20, 9), kWhite);
  EXPECT_EQ(t.at(20, 11), kWhite);
}

}  // namespace
}  // namespace quillon::player
