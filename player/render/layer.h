// Offscreen layers: a display object drawn on its own into a transparent buffer, then
// composited onto what lies below it (the frame, or the enclosing layer) with a blend mode.
//
// The player (Player::DrawLayered in display/layered.cpp) uses one for an object that has a
// blend mode other than normal, filters, cacheAsBitmap, an opaque background or a scroll rect:
//   1. the object's device bounds (clipped to what can show; the whole target when something
//      inside it has filters) give the layer's rectangle;
//   2. the object and its children are drawn into it through the usual drawing code, with a
//      DrawContext whose `layer` is set (matrices already moved by -x, -y), without the
//      object's own colour transform;
//   3. filters run: each is `Layer ApplyFilter(const Layer& in, const Filter& f, double sx, double sy)`
//      (render/filters.h), taking the layer and returning a new one, possibly larger, its
//      origin moved up and left by what the filter grows; sx and sy are device pixels per
//      stage pixel along x and y, which filter sizes follow;
//   4. the result is composited (render/composite.h) with the object's colour transform,
//      blend mode and any mask around it. Alpha and erase act on the enclosing layer; with
//      none (straight onto the frame) they draw nothing.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string_view>
#include <vector>

#include "geometry.h"

namespace quillon::player {

// `count` clear pixels, in a buffer that an earlier layer on this thread gave back when one
// is big enough: a frame draws much the same layers as the last one, and fresh large buffers
// cost the system's page clearing each time.
std::vector<Rgba> ClearPixels(std::size_t count);
// Keeps a dropped layer's buffer for ClearPixels (a few, the large ones, up to a budget).
void GiveBackPixels(std::vector<Rgba>&& pixels);

// Premultiplied RGBA; pixel (i, j) covers device pixel (x + i, y + j).
struct Layer {
  int x = 0, y = 0;
  int width = 0, height = 0;
  std::vector<Rgba> pixels;

  Layer() = default;
  Layer(int left, int top, int w, int h)
      : x(left), y(top), width(w), height(h), pixels(ClearPixels(static_cast<std::size_t>(w) * static_cast<std::size_t>(h))) {}
  Layer(const Layer&) = default;
  Layer(Layer&&) noexcept = default;
  Layer& operator=(const Layer&) = default;
  Layer& operator=(Layer&& other) noexcept {
    if (this == &other) return *this;
    GiveBackPixels(std::move(pixels));
    x = other.x, y = other.y, width = other.width, height = other.height;
    pixels = std::move(other.pixels);
    return *this;
  }
  ~Layer() { GiveBackPixels(std::move(pixels)); }
  bool empty() const { return width <= 0 || height <= 0; }
  Rgba& at(int i, int j) { return pixels[static_cast<std::size_t>(j) * static_cast<std::size_t>(width) + static_cast<std::size_t>(i)]; }
  const Rgba& at(int i, int j) const {
    return pixels[static_cast<std::size_t>(j) * static_cast<std::size_t>(width) + static_cast<std::size_t>(i)];
  }
};

// Pixels [x0, x1) x [y0, y1) of a layer, in its own numbering.
struct LayerRect {
  int x0 = 0, y0 = 0, x1 = 0, y1 = 0;
  bool empty() const { return x1 <= x0 || y1 <= y0; }
};

// The smallest rectangle holding every pixel that is not fully transparent; empty when none is.
LayerRect ContentRect(const Layer& layer);

// Shrinks a layer to its ContentRect (to nothing when that is empty), keeping the pixels'
// device positions.
void TrimToContent(Layer& layer);

// In the order of PlaceObject3's blend mode byte (0 and 1 are both normal).
enum class BlendMode : std::uint8_t {
  Normal = 1, Layer, Multiply, Screen, Lighten, Darken, Difference, Add, Subtract, Invert, Alpha, Erase,
  Overlay, Hardlight
};

inline BlendMode BlendModeFromByte(std::uint8_t b) {
  return b >= 2 && b <= 14 ? static_cast<BlendMode>(b) : BlendMode::Normal;
}

// The names scripts use (MovieClip.blendMode); unknown names are normal.
BlendMode BlendModeFromName(std::string_view name);
std::string_view BlendModeName(BlendMode mode);

}  // namespace quillon::player
