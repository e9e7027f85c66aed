// The filters' arithmetic over premultiplied layers: blurs, shadows and glows, bevels, their
// gradient forms, convolution and the colour matrix. Pure functions; the player runs them on
// an object's layer (see layer.h).
#pragma once

#include <cstdint>
#include <vector>

#include "render/filter.h"
#include "render/layer.h"

namespace quillon::player {

// Applies one filter. `sx` and `sy` are device pixels per stage pixel: blur sizes and
// distances follow them. The result may be larger than `in`, its origin moved accordingly.
Layer ApplyFilter(const Layer& in, const Filter& f, double sx = 1, double sy = 1);

// How far a filter can reach past an object's device bounds, per side, in device pixels.
struct FilterReach {
  int left = 0, top = 0, right = 0, bottom = 0;
};
FilterReach ReachOf(const Filter& f, double sx = 1, double sy = 1);

// One axis of a box blur of `size` pixels: the centre pixel and `whole` pixels each side at
// full weight, the next one each side at `edge` / 256 of it, so the weights sum to `size`.
struct BoxKernel {
  int whole = 0;
  int edge = 0;      // 0..255
  int reach() const { return whole + (edge > 0 ? 1 : 0); }
  bool identity() const { return reach() == 0; }
};
BoxKernel KernelFor(double size);

// Blurs every channel of a premultiplied layer, `passes` box passes along each axis; the
// result grows by each pass's reach on every side.
Layer BlurLayer(const Layer& in, double blurX, double blurY, int passes);

// A single 8-bit plane (alpha, or a filter's strength) over a rectangle of device pixels.
struct Plane {
  int x = 0, y = 0, width = 0, height = 0;
  std::vector<std::uint8_t> values;
  Plane() = default;
  Plane(int left, int top, int w, int h, std::uint8_t fill)
      : x(left), y(top), width(w), height(h),
        values(static_cast<std::size_t>(w > 0 ? w : 0) * static_cast<std::size_t>(h > 0 ? h : 0), fill) {}
  // Values outside the rectangle read as `outside`.
  std::uint8_t At(int dx, int dy, std::uint8_t outside) const {
    const int i = dx - x, j = dy - y;
    if (i < 0 || j < 0 || i >= width || j >= height) return outside;
    return values[static_cast<std::size_t>(j) * static_cast<std::size_t>(width) + static_cast<std::size_t>(i)];
  }
};

// Blurs a plane whose surroundings hold `outside`; it grows as BlurLayer's layers do.
Plane BlurPlane(const Plane& in, double blurX, double blurY, int passes, std::uint8_t outside);

// The straight colour matrix on a premultiplied layer, results rounded and clamped per channel.
Layer ColorMatrixLayer(const Layer& in, const float (&m)[20]);

}  // namespace quillon::player
