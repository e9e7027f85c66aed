// A button painted through the real GDI surface into a memory DIB section, with the standard
// painters, so that its pixels can be read back.
#pragma once

#include <gtest/gtest.h>

#include <memory>
#include <vector>

#include "expected_face.h"
#include "fake_host.h"
#include "gdi_surface.h"
#include "redraw.h"

namespace quillon::render::testing {

class DibButton {
 public:
  DibButton(int w, int h, int style) { Resize(w, h), in.buttonStyle = style; }

  void Resize(int w, int h) {
    w_ = w;
    h_ = h;
    host.width = w;
    host.height = h;
    dib = std::make_unique<DibCanvas>(w, h);
  }
  void Paint(int state) {
    in.state = state;
    GdiSurface surface(dib->Dc(), w_, h_);
    renderer.Redraw(surface, host, in);
  }
  Colour At(int x, int y) const { return dib->Pixel(x, y); }
  std::vector<Colour> Pixels() const {
    std::vector<Colour> all;
    for (int y = 0; y < h_; ++y)
      for (int x = 0; x < w_; ++x) all.push_back(At(x, y));
    return all;
  }
  int Width() const { return w_; }
  int Height() const { return h_; }

  PaintInput in;
  FakeHost host;
  ButtonRenderer renderer;  // the standard painters
  std::unique_ptr<DibCanvas> dib;

 private:
  int w_ = 0, h_ = 0;
};

// Every pixel as expected; reports the first few that are not.
inline ::testing::AssertionResult LooksLike(const DibButton& b, const ExpectedFace& e) {
  int wrong = 0;
  std::string report;
  for (int y = 0; y < e.Height(); ++y)
    for (int x = 0; x < e.Width(); ++x)
      if (b.At(x, y) != e.At(x, y) && ++wrong <= 8)
        report += "\n  (" + std::to_string(x) + ", " + std::to_string(y) + ") is " + Describe(b.At(x, y)) +
                  ", expected " + Describe(e.At(x, y));
  if (wrong == 0) return ::testing::AssertionSuccess();
  return ::testing::AssertionFailure() << wrong << " pixels differ:" << report;
}

}  // namespace quillon::render::testing
