// A surface that passes every call on to another one; test recorders derive from it and
// override only the calls they note.
#pragma once

#include "surface.h"

namespace quillon::render::testing {

class ForwardingSurface : public Surface {
 public:
  explicit ForwardingSurface(Surface& inner) : inner_(inner) {}

  void DrawLine(int x1, int y1, int x2, int y2, Colour c) override { inner_.DrawLine(x1, y1, x2, y2, c); }
  void FrameRectangle(int x, int y, int w, int h, Colour c) override { inner_.FrameRectangle(x, y, w, h, c); }
  void FillRectangle(Colour c, const Rect& r) override { inner_.FillRectangle(c, r); }
  void DrawFocusRect(const Rect& r) override { inner_.DrawFocusRect(r); }
  Colour GetPixel(int x, int y) override { return inner_.GetPixel(x, y); }
  void SetPixel(int x, int y, Colour c) override { inner_.SetPixel(x, y, c); }
  void DrawEdge(const Rect& r, unsigned e, unsigned f) override { inner_.DrawEdge(r, e, f); }
  void Clear() override { inner_.Clear(); }
  void SetBackgroundColour(Colour c) override { inner_.SetBackgroundColour(c); }
  PixelBlock ReadPixels(int x, int y, int w, int h, int bpp) override { return inner_.ReadPixels(x, y, w, h, bpp); }
  void WritePixels(int x, int y, const PixelBlock& b) override { inner_.WritePixels(x, y, b); }
  Colour NearestColour(Colour c) override { return inner_.NearestColour(c); }
  bool IsTrueColour() override { return inner_.IsTrueColour(); }
  Size MeasureText(std::wstring_view t, const Rect& r, unsigned f, const FontDesc& d) override {
    return inner_.MeasureText(t, r, f, d);
  }
  void DrawString(std::wstring_view t, const Rect& r, unsigned f, const FontDesc& d) override {
    inner_.DrawString(t, r, f, d);
  }
  Colour TextColour() override { return inner_.TextColour(); }
  void SetTextColour(Colour c) override { inner_.SetTextColour(c); }
  bool DrawThemedButton(int st, const Rect& r, const Rect& clip, const Rect* region) override {
    return inner_.DrawThemedButton(st, r, clip, region);
  }

 private:
  Surface& inner_;
};

}  // namespace quillon::render::testing
