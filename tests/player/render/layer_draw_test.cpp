// Objects drawn through offscreen layers in self-built movies: blend modes placed by the
// timeline, erase against its layer, bitmap caching with alpha, scroll rects and script masks.
#include <gtest/gtest.h>

#include "display/player.h"
#include "swf_writer.h"

namespace quillon::player {
namespace {

using namespace test;

struct Played {
  std::shared_ptr<const Movie> movie;
  std::unique_ptr<Player> player;
  Canvas Draw() const {
    Canvas c(movie->StageWidth(), movie->StageHeight(), {});
    player->Render(c, Quality::Low);
    return c;
  }
};

Played Play(const Bytes& file) {
  Played p;
  p.movie = LoadMovie(file).movie;
  EXPECT_TRUE(p.movie);
  p.player = std::make_unique<Player>(p.movie);
  p.player->Tick();
  return p;
}

::testing::AssertionResult Is(const Canvas& c, int x, int y, Rgba want) {
  const Rgba got = c.at(x, y);
  if (got == want) return ::testing::AssertionSuccess();
  return ::testing::AssertionFailure() << "pixel (" << x << ", " << y << ") is " << int(got.r) << "," << int(got.g)
                                       << "," << int(got.b) << " but should be " << int(want.r) << ","
                                       << int(want.g) << "," << int(want.b);
}

Bytes Square(int id, int x, int y, int size, Rgb color) { return RectShape(id, x * 20, y * 20, size * 20, size * 20, color); }

TEST(LayerDrawing, MultiplyPlacedByTheTimelineMixesWithTheStage) {
  // (255, 128, 0) multiplied onto the background (200, 100, 50): 200, 100 * 128 / 255 = 50.2, 0.
  const Bytes movie = MovieFile(40, 40, {Background({200, 100, 50}), Square(1, 10, 10, 20, {255, 128, 0}),
                                         PlaceObject3({.depth = 1, .id = 1}, {.blendMode = 3}), ShowFrame()});
  const Canvas c = Play(movie).Draw();
  EXPECT_TRUE(Is(c, 15, 15, {200, 50, 0, 255}));
  EXPECT_TRUE(Is(c, 29, 29, {200, 50, 0, 255}));
  EXPECT_TRUE(Is(c, 5, 5, {200, 100, 50, 255}));
  EXPECT_TRUE(Is(c, 30, 30, {200, 100, 50, 255}));
}

TEST(LayerDrawing, DifferenceAndScreenOfOpaqueColours) {
  const Bytes movie = MovieFile(40, 20, {Background({100, 200, 50}), Square(1, 0, 0, 20, {255, 128, 0}),
                                         Square(2, 20, 0, 20, {255, 128, 0}),
                                         PlaceObject3({.depth = 1, .id = 1}, {.blendMode = 7}),
                                         PlaceObject3({.depth = 2, .id = 2}, {.blendMode = 4}), ShowFrame()});
  const Canvas c = Play(movie).Draw();
  EXPECT_TRUE(Is(c, 10, 10, {155, 72, 50, 255}));   // |s - d|
  EXPECT_TRUE(Is(c, 30, 10, {255, 228, 50, 255}));  // s + d - s d
}

// A sprite holding a green square over all of [0, 30) and, above it, a square at [10, 20)
// drawn with `mode`; the sprite is placed with `spriteMode` (-1: none) on a white stage.
Bytes CutOut(int mode, int spriteMode) {
  const Bytes inner = Sprite(3, {PlaceObject2({.depth = 1, .id = 1}), PlaceObject3({.depth = 2, .id = 2}, {.blendMode = mode}),
                                 ShowFrame()});
  return MovieFile(30, 30, {Background({255, 255, 255}), Square(1, 0, 0, 30, {0, 160, 0}), Square(2, 10, 10, 10, {9, 9, 9}),
                            inner, PlaceObject3({.depth = 1, .id = 3}, {.blendMode = spriteMode}), ShowFrame()});
}

TEST(LayerDrawing, EraseCutsThroughItsLayerAndWithoutOneDrawsNothing) {
  const Canvas layered = Play(CutOut(12, 2)).Draw();
  EXPECT_TRUE(Is(layered, 5, 5, {0, 160, 0, 255}));
  EXPECT_TRUE(Is(layered, 15, 15, {255, 255, 255, 255}));  // the stage shows through the hole
  const Canvas bare = Play(CutOut(12, -1)).Draw();
  EXPECT_TRUE(Is(bare, 15, 15, {0, 160, 0, 255}));
}

TEST(LayerDrawing, AlphaKeepsOnlyWhatItsShapeCoversOfTheLayer) {
  // The alpha square is opaque: inside it the layer stays, outside it nothing is touched.
  const Canvas c = Play(CutOut(11, 2)).Draw();
  EXPECT_TRUE(Is(c, 15, 15, {0, 160, 0, 255}));
  EXPECT_TRUE(Is(c, 5, 5, {0, 160, 0, 255}));
}

TEST(LayerDrawing, CachedClipTakesItsAlphaAfterItsChildrenAreFlattened) {
  // Red [0, 20) and blue [10, 30) overlapping; the sprite at half alpha (128/256) on white.
  auto movie = [](int cache) {
    const Bytes inner = Sprite(3, {PlaceObject2({.depth = 1, .id = 1}), PlaceObject2({.depth = 2, .id = 2}), ShowFrame()});
    return MovieFile(30, 10, {Background({255, 255, 255}), RectShape(1, 0, 0, 400, 200, {255, 0, 0}),
                              RectShape(2, 200, 0, 400, 200, {0, 0, 255}), inner,
                              PlaceObject3({.depth = 1, .id = 3, .hasCx = true, .am = 128}, {.cacheAsBitmap = cache}),
                              ShowFrame()});
  };
  // Flattened first: the overlap is plain blue at half alpha over white: 127.5 red and green,
  // to the nearest 128.
  EXPECT_TRUE(Is(Play(movie(1)).Draw(), 15, 5, {128, 128, 255, 255}));
  // Each child on its own: red at 128 gives (255, 127, 127), then blue at 128 over that
  // gives 127 * 255 / 255, 127 * 127 / 255 = 63.3, (255 * 128 + 127 * 127) / 255 = 191.3.
  EXPECT_TRUE(Is(Play(movie(0)).Draw(), 15, 5, {127, 63, 191, 255}));
}

// A square whose declared bounds are its own edges (the writer's shapes declare huge ones).
Bytes BoundedSquare(int id, int x, int y, int size, Rgb color) {
  const Bytes tag = Square(id, x, y, size, color);
  const std::size_t head = (tag[0] | (tag[1] << 8)) & 0x3F;
  const std::size_t start = head == 0x3F ? 6 : 2;
  const std::size_t oldRect = Rect(-100000, 100000, -100000, 100000).size();
  Bytes body(tag.begin() + static_cast<long>(start), tag.begin() + static_cast<long>(start) + 2);
  Append(body, Rect(x * 20, (x + size) * 20, y * 20, (y + size) * 20));
  body.insert(body.end(), tag.begin() + static_cast<long>(start + 2 + oldRect), tag.end());
  return Tag(32, body);
}

TEST(LayerDrawing, OpaqueBackgroundFillsTheBoundsBehindTheClip) {
  const Bytes inner = Sprite(3, {PlaceObject2({.depth = 1, .id = 1}), PlaceObject2({.depth = 2, .id = 2}), ShowFrame()});
  const Bytes movie = MovieFile(40, 40, {Background({255, 255, 255}), BoundedSquare(1, 0, 0, 10, {255, 0, 0}),
                                         BoundedSquare(2, 20, 20, 10, {0, 0, 255}), inner,
                                         PlaceObject3({.depth = 1, .id = 3}, {.hasBackground = true, .background = {0, 90, 0}}),
                                         ShowFrame()});
  const Canvas c = Play(movie).Draw();
  EXPECT_TRUE(Is(c, 5, 5, {255, 0, 0, 255}));
  EXPECT_TRUE(Is(c, 15, 15, {0, 90, 0, 255}));  // between the squares, inside the bounds [0, 30)
  EXPECT_TRUE(Is(c, 25, 5, {0, 90, 0, 255}));
  EXPECT_TRUE(Is(c, 35, 35, {255, 255, 255, 255}));
}

TEST(LayerDrawing, ScrollRectMovesTheContentAndCutsItToTheRectangle) {
  // A sprite at (5, 5) holding a red square at [10, 30); the scroll rect (10, 10, 10 x 10)
  // shows the square's top-left quarter at the sprite's origin: [5, 15) on the stage.
  const Bytes inner = Sprite(3, {PlaceObject2({.depth = 1, .id = 1}), ShowFrame()});
  const Bytes movie = MovieFile(40, 40, {Background({255, 255, 255}), Square(1, 10, 10, 20, {255, 0, 0}), inner,
                                         PlaceObject2({.depth = 1, .id = 3, .tx = 100, .ty = 100}), ShowFrame()});
  Played p = Play(movie);
  DisplayObject& placed = p.player->rootInstance().displayList.at(1);
  placed.scrollRect = DisplayObject::ScrollRect{10, 10, 10, 10};
  const Canvas c = p.Draw();
  EXPECT_TRUE(Is(c, 5, 5, {255, 0, 0, 255}));
  EXPECT_TRUE(Is(c, 14, 14, {255, 0, 0, 255}));
  EXPECT_TRUE(Is(c, 15, 15, {255, 255, 255, 255}));
  EXPECT_TRUE(Is(c, 4, 10, {255, 255, 255, 255}));
  EXPECT_TRUE(Is(c, 20, 20, {255, 255, 255, 255}));  // the rest of the square is cut away
}

TEST(LayerDrawing, ScriptMaskShowsTheClipOnlyInsideTheMaskAndHidesTheMask) {
  const Bytes content = Sprite(3, {PlaceObject2({.depth = 1, .id = 1}), ShowFrame()});
  const Bytes cover = Sprite(4, {PlaceObject2({.depth = 1, .id = 2}), ShowFrame()});
  const Bytes movie = MovieFile(40, 40, {Background({255, 255, 255}), Square(1, 0, 0, 40, {255, 0, 0}),
                                         Square(2, 10, 10, 10, {0, 0, 255}), content, cover,
                                         PlaceObject2({.depth = 1, .id = 3}), PlaceObject2({.depth = 2, .id = 4}),
                                         ShowFrame()});
  Played p = Play(movie);
  Instance& root = p.player->rootInstance();
  auto masked = root.displayList.at(1).sprite, mask = root.displayList.at(2).sprite;
  masked->mask = mask;
  mask->maskOf = masked;
  const Canvas c = p.Draw();
  EXPECT_TRUE(Is(c, 15, 15, {255, 0, 0, 255}));  // the red clip inside; the blue mask unseen
  EXPECT_TRUE(Is(c, 5, 5, {255, 255, 255, 255}));
  EXPECT_TRUE(Is(c, 25, 25, {255, 255, 255, 255}));
}

}  // namespace
}  // namespace quillon::player
