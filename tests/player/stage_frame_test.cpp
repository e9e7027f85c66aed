// The view drawn as the window shows it: the stage scaled to fit, centred between black bars.
#include <gtest/gtest.h>

#include "display/stage_frame.h"
#include "swf_writer.h"

namespace quillon::player {
namespace {

using namespace test;

constexpr Rgba kBlack{0, 0, 0, 255}, kWhite{255, 255, 255, 255}, kRed{255, 0, 0, 255};

// A 100 x 50 stage, white, its left half red.
Bytes HalfRedStage() {
  return MovieFile(100, 50, {Background({255, 255, 255}), RectShape(1, 0, 0, 50 * 20, 50 * 20, {255, 0, 0}),
                             PlaceObject2({.depth = 1, .id = 1}), ShowFrame()});
}

// What the half-red stage shows at view pixel (x, y) when its corner sits at (left, top) and
// each stage pixel is `scale` view pixels wide.
Rgba Expected(int x, int y, int left, int top, int scale) {
  const int sx = x - left, sy = y - top;
  if (sx < 0 || sy < 0 || sx >= 100 * scale || sy >= 50 * scale) return kBlack;
  return sx < 50 * scale ? kRed : kWhite;
}

::testing::AssertionResult Shows(const Canvas& view, int left, int top, int scale) {
  for (int y = 0; y < view.height; ++y)
    for (int x = 0; x < view.width; ++x)
      if (!(view.at(x, y) == Expected(x, y, left, top, scale)))
        return ::testing::AssertionFailure() << "pixel (" << x << ", " << y << ") is " << int(view.at(x, y).r) << ","
                                             << int(view.at(x, y).g) << "," << int(view.at(x, y).b);
  return ::testing::AssertionSuccess();
}

struct Played {
  std::shared_ptr<const Movie> movie;
  std::unique_ptr<Player> player;
};

Played Play(const Bytes& file) {
  Played p;
  p.movie = LoadMovie(file).movie;
  EXPECT_TRUE(p.movie);
  p.player = std::make_unique<Player>(p.movie);
  p.player->Tick();
  return p;
}

TEST(StageFrame, ScalesTheStageToFitAndCentresItBetweenBars) {
  const Played p = Play(HalfRedStage());
  StageFrame frame;
  // A square view: the stage doubles to 200 x 100, 50 rows of bar above and below.
  Canvas tall(200, 200, kWhite);
  frame.Render(*p.player, tall, Quality::Low);
  EXPECT_EQ(frame.placed().scale, 2);
  EXPECT_TRUE(Shows(tall, 0, 50, 2));
  // A wide view: the height limits the scale to 2, 100 columns of bar on each side.
  Canvas wide(400, 100, kWhite);
  frame.Render(*p.player, wide, Quality::Low);
  EXPECT_TRUE(Shows(wide, 100, 0, 2));
  // A view the stage's own shape: no bars at all.
  Canvas exact(300, 150, kWhite);
  frame.Render(*p.player, exact, Quality::High);
  EXPECT_TRUE(Shows(exact, 0, 0, 3));
}

TEST(StageFrame, UnscaledStageIsCentredAndCutWhenTheViewIsSmaller) {
  const Played p = Play(HalfRedStage());
  StageFrame frame;
  Canvas larger(140, 70, kWhite);
  frame.Render(*p.player, larger, Quality::Low, false);
  EXPECT_TRUE(Shows(larger, 20, 10, 1));
  // Half as wide as the stage: its middle shows, the red half's right part then white.
  Canvas narrow(50, 50, kWhite);
  frame.Render(*p.player, narrow, Quality::Low, false);
  EXPECT_TRUE(Shows(narrow, -25, 0, 1));
}

}  // namespace
}  // namespace quillon::player
