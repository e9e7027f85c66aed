// A script-owned bitmap. Colours are kept premultiplied as the reference player keeps them, so a
// semi-transparent colour reads back rounded as it does there; colours in and out of the API
// are straight 0xAARRGGBB. The pixels live in a bitmap character that the display can show
// while scripts keep changing it: each premultiplied value is stored as the one straight colour
// that premultiplies back to it, so nothing is lost.
#pragma once

#include <cstdint>
#include <memory>
#include <vector>

#include "render/layer.h"
#include "swf/movie.h"

namespace quillon::player {

struct PixelRect {
  int x = 0, y = 0, width = 0, height = 0;
  bool empty() const { return width <= 0 || height <= 0; }
};

// The channel flags of copyChannel.
enum BitmapChannel : int { kRedChannel = 1, kGreenChannel = 2, kBlueChannel = 4, kAlphaChannel = 8 };

class BitmapSurface {
 public:
  // The largest bitmap: each side at most this, and fewer than kMaxPixels pixels.
  static constexpr int kMaxSide = 8191;
  static constexpr long long kMaxPixels = 16777216;
  static bool SizeAllowed(double width, double height);

  BitmapSurface(int width, int height, bool transparent, std::uint32_t fill);
  // A copy of a decoded bitmap (straight colours); transparent.
  explicit BitmapSurface(const BitmapDef& def);
  // A copy has pixels of its own.
  BitmapSurface(const BitmapSurface& other);
  BitmapSurface& operator=(const BitmapSurface&) = delete;

  int width() const { return def().width; }
  int height() const { return def().height; }
  bool transparent() const { return transparent_; }
  bool Contains(int x, int y) const { return x >= 0 && y >= 0 && x < width() && y < height(); }

  // Straight ARGB; 0 outside the bitmap.
  std::uint32_t GetPixel32(int x, int y) const;
  void SetPixel32(int x, int y, std::uint32_t argb);
  // Changes the colour and keeps the pixel's alpha.
  void SetPixel(int x, int y, std::uint32_t rgb);
  // The stored premultiplied value.
  std::uint32_t Premultiplied(int x, int y) const { return Premultiply(Pack(def().pixels[Index(x, y)])); }

  void FillRect(PixelRect r, std::uint32_t argb);
  // Copies `r` of `src` to (dx, dy). `alpha` (optional) scales the source by its alpha channel,
  // read from (alphaX, alphaY) on, and only what it covers is copied. With `merge`, or onto an
  // opaque bitmap, the source is laid over the destination, else it replaces it.
  void CopyPixels(const BitmapSurface& src, PixelRect r, int dx, int dy, const BitmapSurface* alpha, int alphaX,
                  int alphaY, bool merge);
  // One channel (a BitmapChannel flag) of `src` into one of this bitmap's.
  void CopyChannel(const BitmapSurface& src, PixelRect r, int dx, int dy, int srcChannel, int dstChannel);
  // Fills the 4-connected area of pixels equal to (x, y).
  void FloodFill(int x, int y, std::uint32_t argb);
  // The smallest rectangle holding every pixel whose (colour & mask) equals (with `find`) or
  // differs from (without) `color & mask`; empty at (0, 0) when there is none.
  PixelRect ColorBounds(std::uint32_t mask, std::uint32_t color, bool find) const;
  // Multipliers then offsets for red, green, blue and alpha, on straight colours.
  void ColorTransform(PixelRect r, const double ct[8]);
  // threshold(): where `test(src pixel & mask, threshold & mask)` holds, the pixel at the
  // destination becomes `color`; elsewhere it becomes the source pixel when `copySource`.
  // `op` is one of "<", "<=", ">", ">=", "==", "!=". Returns how many pixels passed.
  int Threshold(const BitmapSurface& src, PixelRect r, int dx, int dy, std::string_view op, std::uint32_t threshold,
                std::uint32_t color, std::uint32_t mask, bool copySource);
  // Whether some pixel of `r` (clipped) has at least `alpha` of alpha; an opaque bitmap's all have 255.
  bool AnyAlphaAtLeast(PixelRect r, int alpha) const;
  // Whether this bitmap at (x, y) and `other` at (ox, oy) share a pixel where each has at least
  // its threshold of alpha.
  bool Overlaps(int x, int y, int alpha, const BitmapSurface& other, int ox, int oy, int otherAlpha) const;
  // Moves the pixels by (dx, dy); what is uncovered keeps its old pixels.
  void Scroll(int dx, int dy);

  // The pixels differing between two bitmaps of the same size, as compare() reports them:
  // colours apart give 0xFFrrggbb of the differences, alpha alone 0xaaFFFFFF; null when all are
  // equal.
  static std::unique_ptr<BitmapSurface> Differences(const BitmapSurface& a, const BitmapSurface& b);

  // A premultiplied copy of `r` (clipped), placed at its own position, and the way back: the
  // layer's pixels land where its position says, within this bitmap.
  Layer ToLayer(PixelRect r) const;
  void FromLayer(const Layer& layer);

  // Pixels of `r` inside the bitmap.
  PixelRect Clip(PixelRect r) const;

  // Frees the pixels: the bitmap is empty and shows nothing.
  void Dispose();

  // The character the display shows: it follows every change.
  std::shared_ptr<const Character> character() const { return store_; }

  static std::uint32_t Premultiply(std::uint32_t argb);
  static std::uint32_t Unmultiply(std::uint32_t premultiplied);

 private:
  static std::uint32_t Pack(Rgba c) {
    return (std::uint32_t{c.a} << 24) | (std::uint32_t{c.r} << 16) | (std::uint32_t{c.g} << 8) | c.b;
  }
  static Rgba Unpack(std::uint32_t argb) {
    return {static_cast<std::uint8_t>(argb >> 16), static_cast<std::uint8_t>(argb >> 8),
            static_cast<std::uint8_t>(argb), static_cast<std::uint8_t>(argb >> 24)};
  }
  BitmapDef& def() { return std::get<BitmapDef>(*store_); }
  const BitmapDef& def() const { return std::get<BitmapDef>(*store_); }
  std::size_t Index(int x, int y) const {
    return static_cast<std::size_t>(y) * static_cast<std::size_t>(width()) + static_cast<std::size_t>(x);
  }
  // Stores a premultiplied value (its alpha forced up in an opaque bitmap).
  void PutPremultiplied(int x, int y, std::uint32_t p);
  // Stores a straight colour.
  void PutStraight(int x, int y, std::uint32_t argb);

  bool transparent_;
  std::shared_ptr<Character> store_;
};

}  // namespace quillon::player
