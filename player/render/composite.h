// Compositing a layer onto the frame or onto another layer, with a blend mode.
#pragma once

#include "render/layer.h"
#include "render/raster.h"

namespace quillon::player {

// One pixel: `src` over `dst` by `mode`, both premultiplied. Normal and layer are source over;
// alpha keeps the destination by the source's alpha and erase by its complement; the other
// modes mix the colours by their formula where both are present, and each shows alone where
// the other is transparent.
Rgba BlendPixel(Rgba src, Rgba dst, BlendMode mode);

// Applies a colour transform to a premultiplied pixel (the transform works on straight colour).
Rgba TransformPremultiplied(Rgba c, const ColorTransform& cx);

// What a composite works against: the frame (opaque, which is premultiplied with alpha 255)
// or a layer, with its device origin.
struct CompositeTarget {
  Rgba* pixels = nullptr;
  int x = 0, y = 0, width = 0, height = 0;
  int rowTop = 0, rowBottom = kAllRows;  // the target's rows that may change (its own numbering)
  static CompositeTarget Of(Canvas& c) { return {c.pixels.data(), 0, 0, c.width, c.height}; }
  static CompositeTarget Of(Layer& l) { return {l.pixels.data(), l.x, l.y, l.width, l.height}; }
};

// Composites `src` (after `cx`) onto `dst` by `mode`; `clip`, when set, is a coverage mask the
// size of `dst` that scales the source; `part`, when set, is the only part of `src` taken.
void Composite(const CompositeTarget& dst, const Layer& src, BlendMode mode, const ColorTransform& cx,
               const MaskBuffer* clip = nullptr, const LayerRect* part = nullptr);

}  // namespace quillon::player
