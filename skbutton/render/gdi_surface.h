// The drawing surface over a Win32 device context, and the window region and system colours
// that go with it.
#pragma once

#include <windows.h>

#include <optional>

#include "gdi_objects.h"
#include "redraw.h"
#include "surface.h"

namespace quillon::render {

class GdiSurface final : public Surface {
 public:
  // `window` is the control's window (theme data and the themed region); may be null.
  // `direct` gives the pixels of the DIB section selected into dc, which block reads then
  // take in place instead of copying through a temporary bitmap.
  GdiSurface(HDC dc, int width, int height, HWND window = nullptr, Colour background = 0xF0F0F0,
             const DibPixels* direct = nullptr);
  // Over an off-screen canvas, reading its pixels in place.
  explicit GdiSurface(const DibCanvas& canvas, HWND window = nullptr, Colour background = 0xF0F0F0);

  void DrawLine(int x1, int y1, int x2, int y2, Colour colour) override;
  void FrameRectangle(int x, int y, int width, int height, Colour colour) override;
  void FillRectangle(Colour colour, const Rect& rect) override;
  void DrawFocusRect(const Rect& rect) override;
  Colour GetPixel(int x, int y) override;
  void SetPixel(int x, int y, Colour colour) override;
  void DrawEdge(const Rect& rect, unsigned edgeFlags, unsigned sideFlags) override;
  void Clear() override;
  void SetBackgroundColour(Colour colour) override { background_ = colour; }
  PixelBlock ReadPixels(int x, int y, int width, int height, int bitsPerPixel) override;
  void WritePixels(int x, int y, const PixelBlock& block) override;
  Colour NearestColour(Colour colour) override;
  bool IsTrueColour() override;
  Size MeasureText(std::wstring_view text, const Rect& bounds, unsigned format,
                   const FontDesc& font) override;
  void DrawString(std::wstring_view text, const Rect& rect, unsigned format,
                const FontDesc& font) override;
  Colour TextColour() override;
  void SetTextColour(Colour colour) override;
  bool DrawThemedButton(int themeState, const Rect& rect, const Rect& clip,
                        const Rect* regionRect) override;

  HDC Dc() const { return dc_; }

 private:
  HFONT FontFor(const FontDesc& desc);

  HDC dc_;
  int width_;
  int height_;
  HWND window_;
  Colour background_;
  const DibPixels* direct_;
  // The control's font, kept for the paint so that measuring and drawing don't recreate it.
  std::optional<FontDesc> fontDesc_;
  Font font_;
};

// The current system colours (GetSysColor).
class LiveSystemColours final : public SystemColours {
 public:
  Colour Get(int index) const override { return ::GetSysColor(index); }
};

// The region for a shape, owned by the caller.
Region MakeRegion(const RegionShape& shape);
// Hands the region for a shape to the window (SetWindowRgn, redraw); the window owns it after.
void ApplyWindowRegion(HWND window, const RegionShape& shape);

}  // namespace quillon::render
