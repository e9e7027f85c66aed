// A fill's colours laid onto a row by their coverage: over the opaque frame, or over a layer's
// premultiplied pixels. The row forms give what the pixel forms give, byte for byte.
#pragma once

#include <algorithm>
#include <cstdint>

#include "geometry.h"

namespace quillon::player {

// Source over destination at the source's alpha, then a partly covered pixel takes the
// covered share of that and the rest of the destination (an average of its samples).
inline void Blend(Rgba& dst, Rgba src, unsigned coverage) {
  if (coverage == 0 || src.a == 0) return;
  if (src.a == 255 && coverage >= 255) {  // what the mix below gives then (stored whole)
    dst = src;
    return;
  }
  const unsigned a = src.a;
  auto over = [a](unsigned s, unsigned d) { return (s * a + d * (255u - a) + 127u) / 255u; };
  const Rgba full{static_cast<std::uint8_t>(over(src.r, dst.r)), static_cast<std::uint8_t>(over(src.g, dst.g)),
                  static_cast<std::uint8_t>(over(src.b, dst.b)), 255};
  if (coverage >= 255) {
    dst = full;
    return;
  }
  auto part = [coverage](unsigned f, unsigned d) {
    return static_cast<std::uint8_t>((f * coverage + d * (256u - coverage)) >> 8);
  };
  dst = {part(full.r, dst.r), part(full.g, dst.g), part(full.b, dst.b), 255};
}

// Source over a transparent layer's premultiplied pixel, the source's alpha scaled by coverage.
inline void BlendPremultiplied(Rgba& dst, Rgba src, unsigned coverage) {
  if (src.a == 255 && coverage >= 255) {  // what the mix below gives then (stored whole)
    dst = src;
    return;
  }
  const unsigned a = (src.a * std::min(coverage, 255u) + 127u) / 255u;
  if (a == 0) return;
  auto over = [a](unsigned s, unsigned d) {
    return static_cast<std::uint8_t>((s * a + d * (255u - a) + 127u) / 255u);
  };
  dst = {over(src.r, dst.r), over(src.g, dst.g), over(src.b, dst.b), static_cast<std::uint8_t>(a + (dst.a * (255u - a) + 127u) / 255u)};
}

// Blend (or, into a layer, BlendPremultiplied) of src[i] by coverage[i] onto dst[i], i < n.
void BlendRow(Rgba* dst, const Rgba* src, const std::uint8_t* coverage, int n);
void BlendPremultipliedRow(Rgba* dst, const Rgba* src, const std::uint8_t* coverage, int n);

}  // namespace quillon::player
