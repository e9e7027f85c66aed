// The drawing surface every painter draws through.
//
// Painters never touch a device context: they call the primitives below, which the Win32 side
// implements over an HDC (GdiSurface, gdi_surface.h). Coordinates are pixels of the control,
// origin at its top-left pixel; rectangles are left, top, right, bottom with right and bottom
// exclusive, as in GDI. Every GDI object a primitive needs lives only inside that call.
//
// Pixel coverage, which the pixel tests hold the implementations to:
//   DrawLine(x1, y1, x2, y2, c)      solid 1-pixel pen from (x1, y1) to (x2, y2); the end point is
//                                    NOT painted (a vertical line from y = 3 to y = H - 3 paints
//                                    rows 3 .. H - 4).
//   FrameRectangle(x, y, w, h, c)    one-pixel border INSIDE (x, y, x + w, y + h): columns x and
//                                    x + w - 1, rows y and y + h - 1.
//   FillRectangle(c, rect)           every pixel of rect (right and bottom exclusive).
//   FocusRectangle(x, y, w, h)       the system's dotted focus frame on (x, y, x + w, y + h),
//   DrawFocusRect(rect)              drawn by exclusive-or: drawing it twice restores the pixels.
//   GetPixel / SetPixel              one pixel; GetPixel of a pixel off the surface is kBadColour.
//   Zero or negative sizes draw nothing; nothing reports an error.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "colour.h"

namespace quillon::render {

struct Rect {
  int left = 0;
  int top = 0;
  int right = 0;
  int bottom = 0;

  int Width() const { return right - left; }
  int Height() const { return bottom - top; }
  Rect Offset(int dx, int dy) const { return {left + dx, top + dy, right + dx, bottom + dy}; }
  friend bool operator==(const Rect&, const Rect&) = default;
};

struct Size {
  int width = 0;
  int height = 0;
  friend bool operator==(const Size&, const Size&) = default;
};

// DrawText format flags (the DT_* values of Win32).
namespace dt {
inline constexpr unsigned kLeft = 0x0;
inline constexpr unsigned kCenter = 0x1;
inline constexpr unsigned kRight = 0x2;
inline constexpr unsigned kVCenter = 0x4;
inline constexpr unsigned kBottom = 0x8;
inline constexpr unsigned kWordBreak = 0x10;
inline constexpr unsigned kSingleLine = 0x20;
inline constexpr unsigned kExpandTabs = 0x40;
inline constexpr unsigned kNoClip = 0x100;
inline constexpr unsigned kCalcRect = 0x400;
inline constexpr unsigned kNoPrefix = 0x800;
inline constexpr unsigned kRtlReading = 0x20000;
}  // namespace dt

// DrawEdge edge and side flags (the EDGE_*, BDR_* and BF_* values of Win32).
namespace edge {
inline constexpr unsigned kRaisedOuter = 0x1;
inline constexpr unsigned kSunkenOuter = 0x2;
inline constexpr unsigned kRaisedInner = 0x4;
inline constexpr unsigned kSunkenInner = 0x8;
inline constexpr unsigned kRaised = kRaisedOuter | kRaisedInner;  // EDGE_RAISED (5)
inline constexpr unsigned kSunken = kSunkenOuter | kSunkenInner;  // EDGE_SUNKEN (10)
inline constexpr unsigned kRect = 0xF;                            // BF_RECT (15)
}  // namespace edge

// A font as LOGFONT describes it: height < 0 is the character height, > 0 the cell height.
struct FontDesc {
  std::wstring face;
  int height = 0;
  int weight = 0;
  bool italic = false;
  bool underline = false;
  bool strikeOut = false;
  std::uint8_t charset = 1;  // DEFAULT_CHARSET

  friend bool operator==(const FontDesc&, const FontDesc&) = default;
};

// The drop-down symbol font: Marlett, cell height 14, SYMBOL_CHARSET, all else zero.
FontDesc SymbolFont();

// A block of pixels as the device-independent bitmap transfers carry it: bottom-up rows
// (row 0 is the BOTTOM row of the block). 24-bit rows are blue, green, red bytes padded to a
// multiple of 4 bytes; 32-bit pixels are blue, green, red, alpha (0xAARRGGBB as a uint32).
struct PixelBlock {
  int width = 0;
  int height = 0;
  int bitsPerPixel = 24;  // 24 or 32
  std::vector<std::uint8_t> bytes;

  static int Stride(int width, int bitsPerPixel) { return ((width * bitsPerPixel + 31) / 32) * 4; }
  int Stride() const { return Stride(width, bitsPerPixel); }
  // Byte offset of pixel (x, row) with row counted from the top of the block.
  std::size_t OffsetFromTop(int x, int rowFromTop) const {
    return static_cast<std::size_t>(height - 1 - rowFromTop) * static_cast<std::size_t>(Stride()) +
           static_cast<std::size_t>(x * (bitsPerPixel / 8));
  }
  static PixelBlock Make(int width, int height, int bitsPerPixel);
};

class Surface {
 public:
  virtual ~Surface() = default;

  // Primitives (coverage in the header comment).
  virtual void DrawLine(int x1, int y1, int x2, int y2, Colour colour) = 0;
  virtual void FrameRectangle(int x, int y, int width, int height, Colour colour) = 0;
  virtual void FillRectangle(Colour colour, const Rect& rect) = 0;
  virtual void DrawFocusRect(const Rect& rect) = 0;
  void FocusRectangle(int x, int y, int width, int height) { DrawFocusRect({x, y, x + width, y + height}); }
  virtual Colour GetPixel(int x, int y) = 0;
  virtual void SetPixel(int x, int y, Colour colour) = 0;

  // Three-dimensional edges in the system colours (DrawEdge).
  virtual void DrawEdge(const Rect& rect, unsigned edgeFlags, unsigned sideFlags) = 0;

  // Every pixel to the surface's own background colour.
  virtual void Clear() = 0;
  virtual void SetBackgroundColour(Colour colour) = 0;

  // Block transfers. Read gives a PixelBlock of the requested depth (24 or 32); pixels off the
  // surface read as zero. Write copies a whole block with its top-left corner at (x, y) in one
  // transfer (StretchDIBits/SetDIBitsToDevice); what falls off the surface is clipped.
  virtual PixelBlock ReadPixels(int x, int y, int width, int height, int bitsPerPixel) = 0;
  virtual void WritePixels(int x, int y, const PixelBlock& block) = 0;
  // The colour the surface would show for a requested one (GetNearestColor); identity on a
  // true-colour surface.
  virtual Colour NearestColour(Colour colour) = 0;
  virtual bool IsTrueColour() = 0;

  // Text, DrawTextW semantics (named DrawString: <windows.h> makes DrawText a macro). The text is drawn in the current text colour with a transparent
  // background. Measure adds DT_CALCRECT itself and returns the width and height of the laid-out
  // text starting from bounds. An empty text measures as 0 x 0 and draws nothing.
  virtual Size MeasureText(std::wstring_view text, const Rect& bounds, unsigned format,
                           const FontDesc& font) = 0;
  virtual void DrawString(std::wstring_view text, const Rect& rect, unsigned format,
                        const FontDesc& font) = 0;
  virtual Colour TextColour() = 0;
  virtual void SetTextColour(Colour colour) = 0;

  // Themed background of a push button ("Button" class, part BP_PUSHBUTTON = 1) in the given
  // theme state, drawn over rect clipped to clip. When regionRect is given, the shape of that
  // background over regionRect becomes the control window's region (owned by the window from
  // then on). Returns false when no theme data could be opened; nothing is drawn then.
  virtual bool DrawThemedButton(int themeState, const Rect& rect, const Rect& clip,
                                const Rect* regionRect) = 0;
};

}  // namespace quillon::render
