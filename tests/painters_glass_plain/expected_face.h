// An expected picture of a button face, built step by step from a style's published numbers
// (fills, frames, lines that stop short of their end point, and the gradient steps
// from + i * (to - from) / n per channel, truncated toward zero). Pixels off the face are
// dropped, as a device context clips them.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "colour.h"

namespace quillon::render::testing {

// Step i of n of a gradient (n > 0), one channel at a time.
inline Colour GradientStep(Colour from, Colour to, int n, int i) {
  auto ch = [&](int f, int t) { return f + (i * (t - f)) / n; };
  return Rgb(ch(RedOf(from), RedOf(to)), ch(GreenOf(from), GreenOf(to)), ch(BlueOf(from), BlueOf(to)));
}

inline std::string Describe(Colour c) {
  return "rgb(" + std::to_string(RedOf(c)) + ", " + std::to_string(GreenOf(c)) + ", " +
         std::to_string(BlueOf(c)) + ")";
}

class ExpectedFace {
 public:
  ExpectedFace(int w, int h, Colour background = 0)
      : w_(w), h_(h), px_(static_cast<std::size_t>(w * h), background) {}

  int Width() const { return w_; }
  int Height() const { return h_; }
  Colour At(int x, int y) const { return px_[static_cast<std::size_t>(y * w_ + x)]; }

  void Set(int x, int y, Colour c) {
    if (x >= 0 && y >= 0 && x < w_ && y < h_) px_[static_cast<std::size_t>(y * w_ + x)] = c;
  }
  void Fill(int left, int top, int right, int bottom, Colour c) {
    for (int y = top; y < bottom; ++y)
      for (int x = left; x < right; ++x) Set(x, y, c);
  }
  void Frame(int x, int y, int w, int h, Colour c) {
    for (int i = x; i < x + w; ++i) Set(i, y, c), Set(i, y + h - 1, c);
    for (int j = y; j < y + h; ++j) Set(x, j, c), Set(x + w - 1, j, c);
  }
  // Rows from y1 up to, not including, y2 (or columns x1 .. x2 - 1).
  void VLine(int x, int y1, int y2, Colour c) {
    for (int y = y1; y < y2; ++y) Set(x, y, c);
  }
  void HLine(int x1, int x2, int y, Colour c) {
    for (int x = x1; x < x2; ++x) Set(x, y, c);
  }
  void TopToBottom(int x, int y, int w, int h, Colour from, Colour to) {
    for (int r = 0; r < h; ++r) HLine(x, x + w, y + r, GradientStep(from, to, h - 1, r));
  }
  void LeftToRight(int x, int y, int w, int h, Colour from, Colour to) {
    for (int c = 0; c < w; ++c) VLine(x + c, y, y + h, GradientStep(from, to, w - 1, c));
  }
  void Corners(Colour c) {
    Set(1, 1, c), Set(1, h_ - 2, c), Set(w_ - 2, 1, c), Set(w_ - 2, h_ - 2, c);
  }

 private:
  int w_, h_;
  std::vector<Colour> px_;
};

}  // namespace quillon::render::testing
