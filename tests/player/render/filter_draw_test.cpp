// Filtered objects in self-built movies: where their bitmap lies on the pixel grid.
#include <gtest/gtest.h>

#include "display/player.h"
#include "swf_writer.h"

namespace quillon::player {
namespace {

using namespace test;

Canvas DrawFirstFrame(const Bytes& file) {
  const auto movie = LoadMovie(file).movie;
  EXPECT_TRUE(movie);
  Player player(movie);
  player.Tick();
  Canvas c(movie->StageWidth(), movie->StageHeight(), {});
  player.Render(c, Quality::Low);
  return c;
}

// A one-pixel blur: the filter list that changes no pixel but draws the object through a bitmap.
const Bytes kIdentityBlur = {1, 1, 0x00, 0x00, 0x01, 0x00, 0x00, 0x00, 0x01, 0x00, 1 << 3};

// A steep triangle, 10 by 20 pixels: its slanted edge v = 2u passes no pixel centre once its
// corner sits on a whole pixel, so which centres it covers shows where it was drawn.
Bytes Wedge(int id) { return PolygonShape(id, {{0, 0}, {200, 0}, {200, 400}}, {0, 0, 255}, 0, {0, 0, 0}, true); }

bool Covered(const Canvas& c, int x, int y) { return c.at(x, y) == Rgba{0, 0, 255, 255}; }

TEST(FilterPlacement, TheBitmapCornerMovesToTheNearestWholePixel) {
  // Both wedges' corners lie at x 10.45 (209 twips): the filtered one is drawn from x 10, the
  // plain one where it is. Pixel (14, 18) has its centre at u 4.5, v 8.5 from a corner at
  // (10, 10): inside, as 8.5 <= 9; from x 10.45 u is 4.05 and 8.5 > 8.1 leaves it out.
  const Bytes movie = MovieFile(60, 40, {Background({255, 255, 255}), Wedge(1),
                                         PlaceObject3({.depth = 1, .id = 1, .tx = 209, .ty = 200}, {.filters = kIdentityBlur}),
                                         PlaceObject2({.depth = 2, .id = 1, .tx = 209 + 600, .ty = 200}), ShowFrame()});
  const Canvas c = DrawFirstFrame(movie);
  EXPECT_TRUE(Covered(c, 14, 18)) << "filtered: drawn from the whole pixel";
  EXPECT_FALSE(Covered(c, 14 + 30, 18)) << "unfiltered: drawn where it was placed";
  EXPECT_TRUE(Covered(c, 14, 17));
  EXPECT_FALSE(Covered(c, 14, 19));
}

TEST(FilterPlacement, AHalfPixelOrMoreRoundsUp) {
  // Corner at y 10.7 (214 twips) moves down to 11. Pixel (14, 19): u 4.5, v 8.5 from (10, 11),
  // inside as 8.5 <= 9; from (10, 10) it would be v 9.5, outside. Row 10 stays clear either way.
  const Bytes movie = MovieFile(40, 40, {Background({255, 255, 255}), Wedge(1),
                                         PlaceObject3({.depth = 1, .id = 1, .tx = 200, .ty = 214}, {.filters = kIdentityBlur}),
                                         ShowFrame()});
  const Canvas c = DrawFirstFrame(movie);
  EXPECT_TRUE(Covered(c, 14, 19));
  EXPECT_FALSE(Covered(c, 14, 20));
  EXPECT_FALSE(Covered(c, 14, 10)) << "the first row is y 11";
  EXPECT_TRUE(Covered(c, 19, 11));
}

}  // namespace
}  // namespace quillon::player
