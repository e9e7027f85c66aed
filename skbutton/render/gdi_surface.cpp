#include "gdi_surface.h"

#include <uxtheme.h>

#include <algorithm>
#include <cstring>
#include <string>

namespace quillon::render {

namespace {

RECT ToRect(const Rect& r) { return RECT{r.left, r.top, r.right, r.bottom}; }

BITMAPINFO BottomUpHeader(int width, int height, int bitsPerPixel) {
  BITMAPINFO info{};
  info.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
  info.bmiHeader.biWidth = width;
  info.bmiHeader.biHeight = height;  // positive: bottom-up
  info.bmiHeader.biPlanes = 1;
  info.bmiHeader.biBitCount = static_cast<WORD>(bitsPerPixel);
  info.bmiHeader.biCompression = BI_RGB;
  return info;
}

// Keeps the DC's background mode for the duration of a text call.
class TransparentText {
 public:
  explicit TransparentText(HDC dc) : dc_(dc), previous_(::SetBkMode(dc, TRANSPARENT)) {}
  ~TransparentText() {
    if (previous_) ::SetBkMode(dc_, previous_);
  }
  TransparentText(const TransparentText&) = delete;
  TransparentText& operator=(const TransparentText&) = delete;

 private:
  HDC dc_;
  int previous_;
};

Font CreateFontFor(const FontDesc& desc) {
  LOGFONTW lf{};
  lf.lfHeight = desc.height;
  lf.lfWeight = desc.weight;
  lf.lfItalic = desc.italic ? TRUE : FALSE;
  lf.lfUnderline = desc.underline ? TRUE : FALSE;
  lf.lfStrikeOut = desc.strikeOut ? TRUE : FALSE;
  lf.lfCharSet = desc.charset;
  const std::size_t n = std::min<std::size_t>(desc.face.size(), LF_FACESIZE - 1);
  for (std::size_t i = 0; i < n; ++i) lf.lfFaceName[i] = desc.face[i];
  return Font(::CreateFontIndirectW(&lf));
}

}  // namespace

GdiSurface::GdiSurface(HDC dc, int width, int height, HWND window, Colour background,
                       const DibPixels* direct)
    : dc_(dc), width_(width), height_(height), window_(window), background_(background), direct_(direct) {}

GdiSurface::GdiSurface(const DibCanvas& canvas, HWND window, Colour background)
    : GdiSurface(canvas.Dc(), canvas.Width(), canvas.Height(), window, background, &canvas.Pixels()) {}

void GdiSurface::DrawLine(int x1, int y1, int x2, int y2, Colour colour) {
  Pen pen(::CreatePen(PS_SOLID, 1, colour));
  Selection selected(dc_, pen.Get());
  ::MoveToEx(dc_, x1, y1, nullptr);
  ::LineTo(dc_, x2, y2);
}

void GdiSurface::FrameRectangle(int x, int y, int width, int height, Colour colour) {
  if (width <= 0 || height <= 0) return;
  Brush brush(::CreateSolidBrush(colour));
  const RECT r{x, y, x + width, y + height};
  ::FrameRect(dc_, &r, brush.Get());
}

void GdiSurface::FillRectangle(Colour colour, const Rect& rect) {
  // GDI would normalise a reversed rectangle and fill it; an empty one draws nothing here.
  if (rect.Width() <= 0 || rect.Height() <= 0) return;
  Brush brush(::CreateSolidBrush(colour));
  const RECT r = ToRect(rect);
  ::FillRect(dc_, &r, brush.Get());
}

void GdiSurface::DrawFocusRect(const Rect& rect) {
  const RECT r = ToRect(rect);
  ::DrawFocusRect(dc_, &r);
}

Colour GdiSurface::GetPixel(int x, int y) { return ::GetPixel(dc_, x, y); }

void GdiSurface::SetPixel(int x, int y, Colour colour) { ::SetPixel(dc_, x, y, colour); }

void GdiSurface::DrawEdge(const Rect& rect, unsigned edgeFlags, unsigned sideFlags) {
  RECT r = ToRect(rect);
  ::DrawEdge(dc_, &r, edgeFlags, sideFlags);
}

void GdiSurface::Clear() { FillRectangle(background_, {0, 0, width_, height_}); }

PixelBlock GdiSurface::ReadPixels(int x, int y, int width, int height, int bitsPerPixel) {
  PixelBlock block = PixelBlock::Make(width, height, bitsPerPixel);
  if (width <= 0 || height <= 0) return block;
  if (const DibPixels* dib = direct_) {
    ::GdiFlush();
    const int bytes = bitsPerPixel / 8;
    for (int row = 0; row < height; ++row) {
      const int sy = y + row;
      if (sy < 0 || sy >= dib->height) continue;
      const int line = dib->topDown ? sy : dib->height - 1 - sy;
      const std::uint8_t* src = dib->bits + static_cast<std::size_t>(line) * static_cast<std::size_t>(dib->stride);
      for (int col = 0; col < width; ++col) {
        const int sx = x + col;
        if (sx < 0 || sx >= dib->width) continue;
        std::memcpy(block.bytes.data() + block.OffsetFromTop(col, row), src + sx * 4, static_cast<std::size_t>(bytes));
      }
    }
    return block;
  }
  // A DIB section of the block's own layout receives the copy, so its bits are the block.
  MemoryDc memory(dc_);
  BITMAPINFO info = BottomUpHeader(width, height, bitsPerPixel);
  void* bits = nullptr;
  Bitmap bitmap(::CreateDIBSection(memory.Get(), &info, DIB_RGB_COLORS, &bits, nullptr, 0));
  if (!memory.Get() || !bitmap || !bits) return block;
  {
    Selection selected(memory.Get(), bitmap.Get());
    ::BitBlt(memory.Get(), 0, 0, width, height, dc_, x, y, SRCCOPY);
    ::GdiFlush();
  }
  std::memcpy(block.bytes.data(), bits, block.bytes.size());
  return block;
}

void GdiSurface::WritePixels(int x, int y, const PixelBlock& block) {
  if (block.width <= 0 || block.height <= 0) return;
  BITMAPINFO info = BottomUpHeader(block.width, block.height, block.bitsPerPixel);
  ::SetDIBitsToDevice(dc_, x, y, static_cast<DWORD>(block.width), static_cast<DWORD>(block.height), 0, 0, 0,
                      static_cast<UINT>(block.height), block.bytes.data(), &info, DIB_RGB_COLORS);
}

Colour GdiSurface::NearestColour(Colour colour) { return ::GetNearestColor(dc_, colour); }

bool GdiSurface::IsTrueColour() {
  BITMAP bm{};
  HGDIOBJ current = ::GetCurrentObject(dc_, OBJ_BITMAP);
  if (current && ::GetObjectW(current, sizeof bm, &bm) == sizeof bm && bm.bmBitsPixel > 1) {
    return bm.bmBitsPixel >= 24;
  }
  return ::GetDeviceCaps(dc_, BITSPIXEL) >= 24;
}

HFONT GdiSurface::FontFor(const FontDesc& desc) {
  if (!fontDesc_ || !(*fontDesc_ == desc)) {
    font_ = CreateFontFor(desc);
    fontDesc_ = desc;
  }
  return font_.Get();
}

Size GdiSurface::MeasureText(std::wstring_view text, const Rect& bounds, unsigned format,
                             const FontDesc& font) {
  if (text.empty()) return {};
  const std::wstring copy(text);
  Selection selected(dc_, FontFor(font));
  RECT r = ToRect(bounds);
  ::DrawTextW(dc_, copy.c_str(), static_cast<int>(copy.size()), &r, format | DT_CALCRECT);
  return {r.right - r.left, r.bottom - r.top};
}

void GdiSurface::DrawString(std::wstring_view text, const Rect& rect, unsigned format,
                          const FontDesc& font) {
  if (text.empty()) return;
  const std::wstring copy(text);
  TransparentText transparent(dc_);
  if (font == SymbolFont()) {
    // The symbol font lives only for this call, like the caption's own font outlives it.
    Font symbol = CreateFontFor(font);
    Selection selected(dc_, symbol.Get());
    RECT r = ToRect(rect);
    ::DrawTextW(dc_, copy.c_str(), static_cast<int>(copy.size()), &r, format);
    return;
  }
  Selection selected(dc_, FontFor(font));
  RECT r = ToRect(rect);
  ::DrawTextW(dc_, copy.c_str(), static_cast<int>(copy.size()), &r, format);
}

Colour GdiSurface::TextColour() { return ::GetTextColor(dc_); }

void GdiSurface::SetTextColour(Colour colour) { ::SetTextColor(dc_, colour); }

bool GdiSurface::DrawThemedButton(int themeState, const Rect& rect, const Rect& clip,
                                  const Rect* regionRect) {
  HTHEME theme = ::OpenThemeData(window_, L"Button");
  if (!theme) return false;
  constexpr int kPushButton = 1;  // BP_PUSHBUTTON
  if (regionRect) {
    const RECT area = ToRect(*regionRect);
    HRGN raw = nullptr;
    if (SUCCEEDED(::GetThemeBackgroundRegion(theme, dc_, kPushButton, themeState, &area, &raw)) && raw) {
      Region region(raw);
      if (window_ && ::SetWindowRgn(window_, region.Get(), TRUE)) region.Release();
    } else if (window_) {
      ::SetWindowRgn(window_, nullptr, TRUE);
    }
  }
  const RECT r = ToRect(rect);
  const RECT c = ToRect(clip);
  ::DrawThemeBackground(theme, dc_, kPushButton, themeState, &r, &c);
  ::CloseThemeData(theme);
  return true;
}

Region MakeRegion(const RegionShape& shape) {
  if (shape.rounded) {
    return Region(::CreateRoundRectRgn(0, 0, shape.right, shape.bottom, shape.ellipse, shape.ellipse));
  }
  return Region(::CreateRectRgn(0, 0, shape.right, shape.bottom));
}

void ApplyWindowRegion(HWND window, const RegionShape& shape) {
  Region region = MakeRegion(shape);
  // The window owns the region once SetWindowRgn accepts it; a refused one is ours to delete.
  if (::SetWindowRgn(window, region.Get(), TRUE)) region.Release();
}

}  // namespace quillon::render
