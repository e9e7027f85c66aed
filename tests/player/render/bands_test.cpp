// A frame drawn in bands by several threads is the frame one thread draws, byte for byte.
#include <gtest/gtest.h>

#include <atomic>

#include "display/player.h"
#include "render/band_pool.h"
#include "swf_writer.h"

namespace quillon::player {
namespace {

using namespace test;

// A DefineShape3 rectangle (twips) filled with a gradient: `type` 0x10 linear or 0x12 radial,
// the gradient square (32768 twips wide) scaled by `scale` and moved to (tx, ty).
Bytes GradientRect(int id, int x, int y, int w, int h, int type, double scale, int tx, int ty,
                   const std::vector<std::pair<int, Rgb>>& stops, int spread = 0) {
  Bytes body;
  U16(body, static_cast<unsigned>(id));
  Append(body, Rect(x, x + w, y, y + h));
  body.push_back(1);
  body.push_back(static_cast<std::uint8_t>(type));
  Append(body, MatrixBytes(tx, ty, scale, scale / 3, -scale / 5));
  body.push_back(static_cast<std::uint8_t>(spread << 6 | static_cast<int>(stops.size())));
  for (const auto& [ratio, c] : stops) body.insert(body.end(), {static_cast<std::uint8_t>(ratio), c.r, c.g, c.b, c.a});
  body.push_back(0);  // no lines
  Bits b;
  b.u(1, 4);
  b.u(0, 4);
  b.u(0, 1);  // style change: fill1 = 1, move to the corner
  b.u(0, 1);
  b.u(0, 1);
  b.u(1, 1);
  b.u(0, 1);
  b.u(1, 1);
  b.u(31, 5);
  b.s(x, 31);
  b.s(y, 31);
  b.u(1, 1);
  const std::pair<int, int> steps[] = {{w, 0}, {0, h}, {-w, 0}, {0, -h}};
  for (const auto& [dx, dy] : steps) {
    b.u(1, 1);
    b.u(1, 1);
    b.u(15, 4);
    b.u(1, 1);
    b.s(dx, 17);
    b.s(dy, 17);
  }
  b.u(0, 6);
  Append(body, b.done());
  return Tag(32, body);
}

Bytes BlurFilter(double size) {
  Bytes f{1, 1};  // one filter: blur
  for (int i = 0; i < 2; ++i) U32(f, static_cast<std::uint32_t>(size * 65536));
  f.push_back(2 << 3);  // two passes
  return f;
}

// Overlapping gradients of every kind of placement: plain, through a mask, in a multiply
// layer, and blurred (a layer whose filter reads across any band's edge).
Bytes GradientScene() {
  const std::vector<std::pair<int, Rgb>> warm = {{0, {255, 0, 0, 255}}, {128, {255, 200, 0, 180}}, {255, {20, 0, 90, 255}}};
  const std::vector<std::pair<int, Rgb>> cool = {{0, {0, 255, 255, 90}}, {90, {0, 0, 255, 255}}, {255, {0, 80, 0, 40}}};
  return MovieFile(
      160, 120,
      {Background({250, 250, 240}), GradientRect(1, 0, 0, 3200, 2400, 0x12, 0.12, 1600, 1200, warm),
       GradientRect(2, 300, 200, 2400, 1900, 0x10, 0.05, 1400, 1100, cool, 2),
       GradientRect(3, 900, 100, 1500, 2200, 0x12, 0.04, 1500, 1000, cool, 1), RectShape(4, 400, 300, 1800, 1500, {0, 0, 0}),
       PlaceObject2({.depth = 1, .id = 1}), PlaceObject2({.depth = 2, .id = 4, .clipDepth = 3}),
       PlaceObject2({.depth = 3, .id = 2}), PlaceObject3({.depth = 4, .id = 3}, {.blendMode = 3}),
       PlaceObject3({.depth = 5, .id = 2, .tx = 200, .ty = -300}, {.filters = BlurFilter(6)}), ShowFrame()});
}

Canvas Draw(const Bytes& file, int threads, int width, int height, double scale) {
  const auto movie = LoadMovie(file).movie;
  EXPECT_TRUE(movie);
  Player player(movie);
  player.SetDrawThreads(threads);
  player.Tick();
  Canvas c(width, height, {});
  player.Render(c, Quality::High, scale);
  return c;
}

TEST(Bands, ManyThreadsDrawTheFrameOneThreadDraws) {
  const Bytes scene = GradientScene();
  for (const double scale : {1.0, 2.5}) {
    const int w = static_cast<int>(160 * scale), h = static_cast<int>(120 * scale);
    const Canvas one = Draw(scene, 1, w, h, scale);
    // The scene shows: the gradients differ across it.
    EXPECT_NE(one.at(w / 4, h / 2), one.at(3 * w / 4, h / 2));
    for (const int threads : {2, 3, 7}) {
      const Canvas many = Draw(scene, threads, w, h, scale);
      ASSERT_EQ(many.pixels.size(), one.pixels.size());
      std::size_t differ = 0;
      for (std::size_t i = 0; i < one.pixels.size(); ++i) differ += !(one.pixels[i] == many.pixels[i]);
      EXPECT_EQ(differ, 0u) << threads << " threads at scale " << scale;
    }
  }
}

TEST(Bands, PoolRunsEveryJobOnceAndWaitsForAll) {
  BandPool pool(3);
  EXPECT_EQ(pool.threads(), 3);
  for (int round = 0; round < 50; ++round) {
    std::vector<std::atomic<int>> runs(11);
    pool.Run(11, [&](int i) { runs[static_cast<std::size_t>(i)].fetch_add(1); });
    for (const auto& r : runs) ASSERT_EQ(r.load(), 1) << "round " << round;
  }
  EXPECT_EQ(BandPool::Resolve(5), 5);
  EXPECT_GE(BandPool::Resolve(0), 1);
}

}  // namespace
}  // namespace quillon::player
