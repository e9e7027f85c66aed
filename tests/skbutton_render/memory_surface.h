// A pixel-buffer surface for native tests of the dispatcher and the caption composition: fills,
// frames, axis-parallel lines, pixels and block transfers are real; text is recorded, not drawn.
#pragma once

#include <string>
#include <vector>

#include "surface.h"

namespace quillon::render::testing {

struct TextCall {
  std::wstring text;
  Rect rect;
  unsigned format;
  Colour colour;
  FontDesc font;
};

class MemorySurface final : public Surface {
 public:
  MemorySurface(int w, int h) : w_(w), h_(h), pixels_(static_cast<std::size_t>(w * h), 0) {}

  Size measured{40, 13};
  std::vector<TextCall> texts;
  std::vector<Rect> measureBounds;
  std::vector<unsigned> measureFormats;
  int clears = 0;
  int focusRects = 0;

  void DrawLine(int x1, int y1, int x2, int y2, Colour c) override {
    if (x1 == x2) {
      for (int y = std::min(y1, y2); y < std::max(y1, y2); ++y) SetPixel(x1, y2 > y1 ? y : y + 1, c);
    } else if (y1 == y2) {
      for (int x = std::min(x1, x2); x < std::max(x1, x2); ++x) SetPixel(x2 > x1 ? x : x + 1, y1, c);
    }
  }
  void FrameRectangle(int x, int y, int w, int h, Colour c) override {
    if (w <= 0 || h <= 0) return;
    for (int i = x; i < x + w; ++i) SetPixel(i, y, c), SetPixel(i, y + h - 1, c);
    for (int j = y; j < y + h; ++j) SetPixel(x, j, c), SetPixel(x + w - 1, j, c);
  }
  void FillRectangle(Colour c, const Rect& r) override {
    for (int y = r.top; y < r.bottom; ++y)
      for (int x = r.left; x < r.right; ++x) SetPixel(x, y, c);
  }
  void DrawFocusRect(const Rect&) override { ++focusRects; }
  Colour GetPixel(int x, int y) override { return Inside(x, y) ? pixels_[Index(x, y)] : kBadColour; }
  void SetPixel(int x, int y, Colour c) override {
    if (Inside(x, y)) pixels_[Index(x, y)] = c & 0xFFFFFF;
  }
  void DrawEdge(const Rect&, unsigned, unsigned) override {}
  void Clear() override {
    ++clears;
    std::fill(pixels_.begin(), pixels_.end(), background_);
  }
  void SetBackgroundColour(Colour c) override { background_ = c; }
  PixelBlock ReadPixels(int x, int y, int w, int h, int bpp) override {
    PixelBlock b = PixelBlock::Make(w, h, bpp);
    for (int j = 0; j < h; ++j)
      for (int i = 0; i < w; ++i) {
        const Colour c = Inside(x + i, y + j) ? pixels_[Index(x + i, y + j)] : 0;
        std::uint8_t* p = b.bytes.data() + b.OffsetFromTop(i, j);
        p[0] = static_cast<std::uint8_t>(BlueOf(c));
        p[1] = static_cast<std::uint8_t>(GreenOf(c));
        p[2] = static_cast<std::uint8_t>(RedOf(c));
      }
    return b;
  }
  void WritePixels(int x, int y, const PixelBlock& b) override {
    for (int j = 0; j < b.height; ++j)
      for (int i = 0; i < b.width; ++i) {
        const std::uint8_t* p = b.bytes.data() + b.OffsetFromTop(i, j);
        SetPixel(x + i, y + j, Rgb(p[2], p[1], p[0]));
      }
  }
  Colour NearestColour(Colour c) override { return c; }
  bool IsTrueColour() override { return true; }
  Size MeasureText(std::wstring_view text, const Rect& bounds, unsigned format, const FontDesc&) override {
    measureBounds.push_back(bounds);
    measureFormats.push_back(format);
    return text.empty() ? Size{} : measured;
  }
  void DrawString(std::wstring_view text, const Rect& r, unsigned format, const FontDesc& font) override {
    texts.push_back({std::wstring(text), r, format, textColour_, font});
  }
  Colour TextColour() override { return textColour_; }
  void SetTextColour(Colour c) override { textColour_ = c; }
  bool DrawThemedButton(int, const Rect&, const Rect&, const Rect*) override { return false; }

  Colour At(int x, int y) const { return pixels_[Index(x, y)]; }

 private:
  bool Inside(int x, int y) const { return x >= 0 && y >= 0 && x < w_ && y < h_; }
  std::size_t Index(int x, int y) const { return static_cast<std::size_t>(y * w_ + x); }
  int w_, h_;
  std::vector<Colour> pixels_;
  Colour background_ = 0xF0F0F0;
  Colour textColour_ = 0;
};

}  // namespace quillon::render::testing
