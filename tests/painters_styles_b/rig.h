// A button of one style drawn through the real dispatcher and the registered painters: under
// Wine onto a memory DIB section through the GDI surface, natively onto a pixel buffer.
#pragma once

#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <vector>

#include "forwarding_surface.h"
#include "redraw.h"
#ifdef _WIN32
#include "gdi_surface.h"
#else
#include "memory_surface.h"
#endif

namespace quillon::render::styles_b {

// What Clear leaves behind: a colour no painter of these styles uses.
inline constexpr Colour kCleared = Rgb(1, 2, 3);

// The control as rendering sees it: a fixed size, the classic system colours, and a record of
// the window regions handed over.
struct Host final : RenderHost {
  double width = 60;
  double height = 24;
  FixedSystemColours colours;
  std::vector<RegionShape> regions;

  double SurfaceWidth() override { return width; }
  double SurfaceHeight() override { return height; }
  const SystemColours& Colours() override { return colours; }
  bool IsThemed() override { return false; }
  void StoreButtonState(int) override {}
  void StoreForeColor(OleColour) override {}
  void FallBackToRounded(PaintInput&) override {}
  void SetWindowRegion(const RegionShape& shape) override { regions.push_back(shape); }
};

#ifdef _WIN32
class Canvas {
 public:
  Canvas(int w, int h) : dib_(w, h), surface_(dib_.Dc(), w, h, nullptr, kCleared) {}
  Surface& surface() { return surface_; }
  Colour At(int x, int y) const { return dib_.Pixel(x, y) & 0xFFFFFFu; }

 private:
  DibCanvas dib_;
  GdiSurface surface_;
};
#else
class Canvas {
 public:
  Canvas(int w, int h) : surface_(w, h) { surface_.SetBackgroundColour(kCleared); }
  Surface& surface() { return surface_; }
  Colour At(int x, int y) const { return surface_.At(x, y); }

 private:
  testing::MemorySurface surface_;
};
#endif

// Passes everything on and notes the focus frames, which are exclusive-or and so cannot be
// told from the pixels alone.
class FocusRecorder final : public testing::ForwardingSurface {
 public:
  using ForwardingSurface::ForwardingSurface;
  std::vector<Rect> focusFrames;

  void DrawFocusRect(const Rect& r) override {
    focusFrames.push_back(r);
    ForwardingSurface::DrawFocusRect(r);
  }
};

// "rgb(r, g, b)", the way the colours are written down in the tests.
inline std::string RgbText(Colour c) {
  char text[32];
  std::snprintf(text, sizeof text, "rgb(%d, %d, %d)", RedOf(c), GreenOf(c), BlueOf(c));
  return text;
}

class Rig {
 public:
  Rig(int style, OleColour backColor, int w = 60, int h = 24) : canvas_(w, h), surface_(canvas_.surface()) {
    host.width = w;
    host.height = h;
    in.buttonStyle = style;
    in.backColor = backColor;
  }
  Rig(const Rig&) = delete;
  Rig& operator=(const Rig&) = delete;

  Host host;
  PaintInput in;

  // One paint of the stored state, through the registered painters.
  void Draw(int state) {
    in.state = state;
    surface_.focusFrames.clear();
    renderer_.Redraw(surface_, host, in);
  }
  std::string At(int x, int y) const { return RgbText(canvas_.At(x, y)); }
  Colour Raw(int x, int y) const { return canvas_.At(x, y); }
  const std::vector<Rect>& FocusFrames() const { return surface_.focusFrames; }
  int W() const { return static_cast<int>(host.width); }
  int H() const { return static_cast<int>(host.height); }

  std::vector<Colour> Snapshot() const {
    std::vector<Colour> all;
    for (int y = 0; y < H(); ++y)
      for (int x = 0; x < W(); ++x) all.push_back(canvas_.At(x, y));
    return all;
  }

  // Every pixel of row y from x0 to x1 - 1 has the colour.
  ::testing::AssertionResult Row(int y, int x0, int x1, const std::string& expected) const {
    for (int x = x0; x < x1; ++x) {
      if (At(x, y) != expected)
        return ::testing::AssertionFailure() << "(" << x << ", " << y << ") is " << At(x, y) << ", not " << expected;
    }
    return ::testing::AssertionSuccess();
  }
  // Every pixel of column x from y0 to y1 - 1 has the colour.
  ::testing::AssertionResult Column(int x, int y0, int y1, const std::string& expected) const {
    for (int y = y0; y < y1; ++y) {
      if (At(x, y) != expected)
        return ::testing::AssertionFailure() << "(" << x << ", " << y << ") is " << At(x, y) << ", not " << expected;
    }
    return ::testing::AssertionSuccess();
  }
  // The four pixels one step inside the corners.
  ::testing::AssertionResult Corners(const std::string& expected) const {
    const int w = W(), h = H();
    for (auto [x, y] : {std::pair{1, 1}, {w - 2, 1}, {1, h - 2}, {w - 2, h - 2}}) {
      if (At(x, y) != expected)
        return ::testing::AssertionFailure() << "corner (" << x << ", " << y << ") is " << At(x, y) << ", not " << expected;
    }
    return ::testing::AssertionSuccess();
  }

  // A picture as large as the control: with no caption it is centred, so it covers the whole
  // face and shows what is drawn before and after it.
  void CoverWithPicture(Colour colour) {
    const std::uint32_t argb = 0xFF000000u | (static_cast<std::uint32_t>(RedOf(colour)) << 16) |
                               (static_cast<std::uint32_t>(GreenOf(colour)) << 8) |
                               static_cast<std::uint32_t>(BlueOf(colour));
    std::vector<std::uint32_t> px(static_cast<std::size_t>(W() * H()), argb);
    in.pictureNormal = container::MakePicture(PictureKind::Bitmap, W(), H(), 24, false, px);
  }

 private:
  Canvas canvas_;
  FocusRecorder surface_;
  ButtonRenderer renderer_;
};

}  // namespace quillon::render::styles_b
