// Compositing whole rows (four pixels at a time, reusing a repeated pixel's result) gives
// what compositing each pixel on its own gives; drawing under a mask keeps to the mask's rows.
#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

#include "display/player.h"
#include "render/composite.h"
#include "render/mask_rows.h"
#include "swf_writer.h"

namespace quillon::player {
namespace {

// A small deterministic generator: the same pixels on every run.
struct Noise {
  std::uint32_t state = 12345;
  std::uint8_t Next() {
    state = state * 1103515245u + 12345u;
    return static_cast<std::uint8_t>(state >> 16);
  }
};

// Pixels in runs of repeats (flat fills), with clear and opaque ones among them; some break
// the premultiplied rule (colour above alpha), which compositing must take as it comes.
std::vector<Rgba> Pixels(Noise& n, std::size_t count, bool premultiplied) {
  std::vector<Rgba> out;
  while (out.size() < count) {
    Rgba p{n.Next(), n.Next(), n.Next(), n.Next()};
    const int kind = n.Next() % 4;
    if (kind == 0) p.a = 0;
    if (kind == 1) p.a = 255;
    if (premultiplied) p = {std::min(p.r, p.a), std::min(p.g, p.a), std::min(p.b, p.a), p.a};
    const std::size_t run = 1 + n.Next() % 9;
    for (std::size_t i = 0; i < run && out.size() < count; ++i) out.push_back(p);
  }
  return out;
}

constexpr BlendMode kModes[] = {BlendMode::Normal,     BlendMode::Layer,    BlendMode::Multiply, BlendMode::Screen,
                                BlendMode::Lighten,    BlendMode::Darken,   BlendMode::Difference, BlendMode::Add,
                                BlendMode::Subtract,   BlendMode::Invert,   BlendMode::Alpha,    BlendMode::Erase,
                                BlendMode::Overlay,    BlendMode::Hardlight};

TEST(CompositeRows, WholeRowsEqualEachPixelCompositedAlone) {
  constexpr int w = 37, h = 5;  // rows of four and a remainder
  ColorTransform tinted;
  tinted.rm = 0.75, tinted.ga = 40, tinted.am = 0.6, tinted.aa = 10;
  for (const bool premultiplied : {true, false})
    for (const bool clipped : {false, true})
      for (const bool tint : {false, true})
        for (const BlendMode mode : kModes) {
          Noise n;
          Layer src(3, 2, w, h);
          src.pixels = Pixels(n, src.pixels.size(), premultiplied);
          Layer below(0, 0, w + 6, h + 4);
          below.pixels = Pixels(n, below.pixels.size(), true);
          MaskBuffer clip(below.pixels.size());
          for (auto& c : clip) c = n.Next() % 3 == 0 ? 0 : n.Next() % 2 ? 255 : n.Next();
          const ColorTransform cx = tint ? tinted : ColorTransform{};
          Layer whole = below;
          Composite(CompositeTarget::Of(whole), src, mode, cx, clipped ? &clip : nullptr);
          // One pixel at a time: a 1 x 1 layer each, so no row work and nothing to reuse.
          Layer single = below;
          for (int j = 0; j < h; ++j)
            for (int i = 0; i < w; ++i) {
              Layer one(src.x + i, src.y + j, 1, 1);
              one.pixels[0] = src.at(i, j);
              Composite(CompositeTarget::Of(single), one, mode, cx, clipped ? &clip : nullptr);
            }
          std::size_t differ = 0;
          for (std::size_t i = 0; i < whole.pixels.size(); ++i) differ += !(whole.pixels[i] == single.pixels[i]);
          EXPECT_EQ(differ, 0u) << "mode " << BlendModeName(mode) << (clipped ? " clipped" : "")
                                << (tint ? " tinted" : "") << (premultiplied ? "" : " unpremultiplied");
        }
}

TEST(CompositeRows, CoveredSourceOverFollowsTheFormula) {
  // Half-alpha red over opaque blue, eight pixels in a row: red 128, blue 255 * 127/255 = 127.
  // Where the clip is 128 the source is first scaled: 128 * 128/255 = 64.25 -> 64, and blue
  // keeps 255 * 191/255 = 191.
  Canvas frame(8, 1, {0, 0, 255, 255});
  Layer red(0, 0, 8, 1);
  for (auto& p : red.pixels) p = {128, 0, 0, 128};
  MaskBuffer clip = {255, 255, 128, 0, 255, 128, 128, 255};
  Composite(CompositeTarget::Of(frame), red, BlendMode::Normal, ColorTransform{}, &clip);
  const Rgba full{128, 0, 127, 255}, half{64, 0, 191, 255}, none{0, 0, 255, 255};
  const Rgba want[8] = {full, full, half, none, full, half, half, full};
  for (int x = 0; x < 8; ++x) EXPECT_EQ(frame.at(x, 0), want[x]) << x;
}

TEST(MaskRows, CoveredRowsAreTheFirstAndLastWithAnythingSet) {
  MaskBuffer mask(10 * 6, 0);
  EXPECT_TRUE(CoveredRows(mask, 10, 0, 6).empty());
  mask[2 * 10 + 9] = 1;  // the last byte of row 2
  mask[4 * 10 + 0] = 200;
  const RowSpan all = CoveredRows(mask, 10, 0, kAllRows);
  EXPECT_EQ(all.top, 2);
  EXPECT_EQ(all.bottom, 5);
  // Within a band of rows 3 and 4 only row 4 shows; rows 0 and 1 show nothing.
  EXPECT_EQ(CoveredRows(mask, 10, 3, 5).top, 4);
  EXPECT_EQ(CoveredRows(mask, 10, 3, 5).bottom, 5);
  EXPECT_TRUE(CoveredRows(mask, 10, 0, 2).empty());
}

TEST(MaskRows, ZeroRunStopsAtTheFirstSetByte) {
  std::vector<std::uint8_t> bytes(40, 0);
  EXPECT_EQ(ZeroRun(bytes.data(), 40), 40);
  bytes[19] = 3;
  EXPECT_EQ(ZeroRun(bytes.data(), 40), 19);
  EXPECT_EQ(ZeroRun(bytes.data() + 19, 21), 0);
  EXPECT_EQ(ZeroRun(bytes.data(), 7), 7);
  EXPECT_EQ(ZeroRun(bytes.data() + 20, 20), 20);
}

using namespace test;

// A stage-wide green bar seen through a mask of rows 40 to 60 (of 120) and columns 20 to 100.
Bytes MaskedBar() {
  return MovieFile(160, 120,
                   {Background({255, 255, 255}), RectShape(1, 400, 800, 1600, 400, {0, 0, 0}),
                    RectShape(2, 0, 0, 3200, 2400, {0, 160, 0}), PlaceObject2({.depth = 1, .id = 1, .clipDepth = 2}),
                    PlaceObject2({.depth = 2, .id = 2}), ShowFrame()});
}

TEST(MaskRows, ContentUnderAMaskShowsOnlyInsideItInEveryBand) {
  const auto movie = LoadMovie(MaskedBar()).movie;
  ASSERT_TRUE(movie);
  for (const int threads : {1, 2, 5}) {
    Player player(movie);
    player.SetDrawThreads(threads);
    player.Tick();
    Canvas c(160, 120, {});
    player.Render(c, Quality::Low, 1);
    const Rgba green{0, 160, 0, 255}, white{255, 255, 255, 255};
    std::size_t wrong = 0;
    for (int y = 0; y < 120; ++y)
      for (int x = 0; x < 160; ++x) wrong += !(c.at(x, y) == (x >= 20 && x < 100 && y >= 40 && y < 60 ? green : white));
    EXPECT_EQ(wrong, 0u) << threads << " threads";
  }
}

}  // namespace
}  // namespace quillon::player
