// A row of shaded colours laid on at once gives what laying each pixel on alone gives.
#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

#include "render/span_blend.h"

namespace quillon::player {
namespace {

struct Noise {
  std::uint32_t state = 987654321u;
  std::uint8_t Next() {
    state = state * 1664525u + 1013904223u;
    return static_cast<std::uint8_t>(state >> 24);
  }
  // Mostly the values with shortcuts (0 and 255), the rest anywhere.
  std::uint8_t Edgy() {
    const int kind = Next() % 4;
    return kind == 0 ? 0 : kind == 1 ? 255 : Next();
  }
};

TEST(SpanBlend, RowsEqualEachPixelBlendedAlone) {
  Noise n;
  for (int width = 1; width <= 37; ++width)
    for (int round = 0; round < 20; ++round) {
      std::vector<Rgba> src(static_cast<std::size_t>(width)), frame(src.size()), layer(src.size());
      std::vector<std::uint8_t> cover(src.size());
      for (std::size_t i = 0; i < src.size(); ++i) {
        src[i] = {n.Next(), n.Next(), n.Next(), n.Edgy()};
        frame[i] = {n.Next(), n.Next(), n.Next(), 255};
        const std::uint8_t a = n.Edgy();
        // Layer pixels are premultiplied: no colour above alpha.
        layer[i] = {static_cast<std::uint8_t>(n.Next() % (a + 1)), static_cast<std::uint8_t>(n.Next() % (a + 1)),
                    static_cast<std::uint8_t>(n.Next() % (a + 1)), a};
        cover[i] = n.Edgy();
      }
      std::vector<Rgba> frameRow = frame, layerRow = layer;
      BlendRow(frameRow.data(), src.data(), cover.data(), width);
      BlendPremultipliedRow(layerRow.data(), src.data(), cover.data(), width);
      for (std::size_t i = 0; i < src.size(); ++i) {
        Rgba f = frame[i], l = layer[i];
        Blend(f, src[i], cover[i]);
        BlendPremultiplied(l, src[i], cover[i]);
        ASSERT_EQ(frameRow[i], f) << "frame, width " << width << " pixel " << i;
        ASSERT_EQ(layerRow[i], l) << "layer, width " << width << " pixel " << i;
      }
    }
}

TEST(SpanBlend, PartlyCoveredPixelsFollowTheFormulas) {
  // Over the frame: opaque orange at 64/256 over blue keeps 192/256 of the blue.
  std::vector<Rgba> frame(5, Rgba{0, 0, 255, 255});
  const std::vector<Rgba> orange(5, Rgba{200, 100, 0, 255});
  const std::vector<std::uint8_t> quarter(5, 64);
  BlendRow(frame.data(), orange.data(), quarter.data(), 5);
  for (const Rgba& p : frame) EXPECT_EQ(p, (Rgba{50, 25, 191, 255}));  // 200*64/256, 100*64/256, 255*192/256
  // Into a clear layer: opaque red at 128/255 is red premultiplied by 128.
  std::vector<Rgba> layer(6, Rgba{0, 0, 0, 0});
  const std::vector<Rgba> red(6, Rgba{255, 0, 0, 255});
  const std::vector<std::uint8_t> half(6, 128);
  BlendPremultipliedRow(layer.data(), red.data(), half.data(), 6);
  for (const Rgba& p : layer) EXPECT_EQ(p, (Rgba{128, 0, 0, 128}));
  // Nothing covered, nothing changed.
  std::vector<Rgba> kept(4, Rgba{1, 2, 3, 4});
  const std::vector<std::uint8_t> none(4, 0);
  BlendPremultipliedRow(kept.data(), red.data(), none.data(), 4);
  BlendRow(kept.data(), red.data(), none.data(), 4);
  for (const Rgba& p : kept) EXPECT_EQ(p, (Rgba{1, 2, 3, 4}));
}

}  // namespace
}  // namespace quillon::player
