// The redraw dispatcher, the window region and what a style painter gets to work with.
//
// How a painter is written (one function per look, portable, no <windows.h>; declared in
// painters/painters.h, defined in painters/<name>.cpp, entered in standard_painters.cpp):
//
//   void PaintPlain(PaintContext& c, int state) {
//     c.ReadSize();                                  // W, H rounded ties-to-even, cached; client
//     const Colour b = c.Translate(c.in.backColor);  // OLE colour -> explicit
//     c.surface.FillRectangle(b, c.client);          // primitives: surface.h
//     c.DrawCaptionAndPicture();                     // picture, caption, effects, symbol
//     if (state != 0) c.surface.FrameRectangle(0, 0, c.W, c.H, ShiftColour(b, -0.12f));
//   }
//
// What a painter has (all in PaintContext):
//   c.in          the button's properties and flags (paint_input.h), read-only; c.in.state is
//                 the stored state after Redraw's Value override, `state` the argument
//   c.surface     the primitives (surface.h): DrawLine, FrameRectangle, FillRectangle,
//                 DrawFocusRect/FocusRectangle, GetPixel/SetPixel, DrawEdge, block transfers,
//                 text, SetBackgroundColour, DrawThemedButton
//   c.W, c.H, c.client   cached size and client rectangle (ReadSize refreshes them)
//   c.Translate, c.Colours()   colour translation and the system colours (GetSysColor)
//   c.GradientFill(x, y, w, h, from, to, direction)   gradient.h
//   c.MarkCorners(colour), c.RebuildRegion(), c.DrawCaptionAndPicture(), c.SetForeColor(c)
//   colour arithmetic: ShiftColour, MixColours, RoundHalfEven (colour.h)
// A style without a painter draws nothing, like a ButtonStyle outside 0..13.
#pragma once

#include <array>

#include "colour.h"
#include "gradient.h"
#include "layout.h"
#include "paint_input.h"
#include "picture.h"
#include "surface.h"

namespace quillon::render {

// The window region a style wants: a plain rectangle or a rectangle with rounded corners
// (CreateRectRgn / CreateRoundRectRgn arguments).
struct RegionShape {
  bool rounded = false;
  int right = 0;   // CreateRectRgn(0, 0, right, bottom) or CreateRoundRectRgn(0, 0, right, bottom, e, e)
  int bottom = 0;
  int ellipse = 0;
  friend bool operator==(const RegionShape&, const RegionShape&) = default;
};

// What rendering needs from the control beyond its properties. The control implements it.
class RenderHost {
 public:
  virtual ~RenderHost() = default;
  // The drawing surface's inner size in pixels, as real numbers (the container's scale).
  virtual double SurfaceWidth() = 0;
  virtual double SurfaceHeight() = 0;
  virtual const SystemColours& Colours() = 0;
  // Whether the application is drawn with visual styles (the theme probe).
  virtual bool IsThemed() = 0;
  // Writes back to the control.
  virtual void StoreButtonState(int state) = 0;
  virtual void StoreForeColor(OleColour colour) = 0;
  // The SystemTheme fallback: ButtonStyle := 2, ColorScheme := 0, ApplyColorScheme. The host
  // stores them and updates `in` (ButtonStyle, ColorScheme, BackColor, ForeColor,
  // ShowFocusRect, PicturePushOnHover) to match.
  virtual void FallBackToRounded(PaintInput& in) = 0;
  // Hands a region to the control's window, which owns it from then on.
  virtual void SetWindowRegion(const RegionShape& shape) = 0;
};

class PaintContext;
// A style painter: draws the look for `state` (0 Normal, 1 Hot, 2 Down, possibly other values).
using Painter = void (*)(PaintContext& context, int state);

// ButtonStyle -> painter. Empty entries draw nothing.
class PainterTable {
 public:
  void Set(int style, Painter painter) {
    if (style >= 0 && style < kButtonStyleCount) painters_[static_cast<std::size_t>(style)] = painter;
  }
  Painter Get(int style) const {
    return style >= 0 && style < kButtonStyleCount ? painters_[static_cast<std::size_t>(style)] : nullptr;
  }

 private:
  std::array<Painter, kButtonStyleCount> painters_{};
};

// The painters that exist, registered in standard_painters.cpp.
const PainterTable& StandardPainters();

// What persists on the control instance between redraws: the effect tables, the cached size,
// the client rectangle and the last layout.
struct RenderState {
  EffectTables tables;
  int W = 0;
  int H = 0;
  Rect client;
  CaptionLayout layout;
};

// The region shape for a style; W and H are the cached size, freshW/H the fresh measurement
// used by the rectangular shapes.
RegionShape RegionFor(int buttonStyle, int cachedW, int cachedH, int freshW, int freshH);

// Everything one painter call works with. Painters read `in` and draw on `surface`.
class PaintContext {
 public:
  PaintContext(Surface& surface, RenderHost& host, PaintInput& input, RenderState& state,
               const PainterTable& painters);

  Surface& surface;
  const PaintInput& in;
  int& W;
  int& H;
  Rect& client;

  // Reads the surface's inner size, rounds it (ties to even), caches W and H and sets the
  // client rectangle to (0, 0, W, H).
  void ReadSize();
  Colour Translate(OleColour colour) const { return TranslateColour(colour, host_.Colours()); }
  const SystemColours& Colours() const { return host_.Colours(); }
  const EffectTables& Tables() const { return state_.tables; }

  // Sets the four pixels one step inside each corner; reads and caches W and H first.
  void MarkCorners(Colour colour);
  void GradientFill(int x, int y, int width, int height, Colour from, Colour to, int direction) {
    render::GradientFill(surface, x, y, width, height, from, to, direction);
  }
  void RebuildRegion();
  // Lays out and draws separator, picture, caption effects, caption and drop-down symbol for
  // the stored button state.
  void DrawCaptionAndPicture();
  // Writes ForeColor back to the control (and to what later steps of this redraw read).
  void SetForeColor(OleColour colour);

  // The last layout, for tests and painters that need the rectangles.
  const CaptionLayout& Layout() const { return state_.layout; }

  // The dispatcher itself (ButtonRenderer calls it); not for painters.
  void Redraw();

 private:
  void DrawCaptionText(const Rect& rect, Colour colour, int dx, int dy);
  void DrawCaptionEffects();
  void DrawDropDownSymbol();
  void DrawPictureShadow(const PictureLook& look);

  RenderHost& host_;
  PaintInput& input_;
  RenderState& state_;
  const PainterTable& painters_;
};

// The control's rendering: owns the per-instance state and runs Redraw and RebuildRegion.
class ButtonRenderer {
 public:
  explicit ButtonRenderer(const PainterTable& painters = StandardPainters()) : painters_(painters) {}
  void SetPainters(const PainterTable& painters) { painters_ = painters; }

  void Redraw(Surface& surface, RenderHost& host, PaintInput& input);
  void RebuildRegion(Surface& surface, RenderHost& host, PaintInput& input);
  const RenderState& State() const { return state_; }
  // The control keeps the cached size; it is handed in before each run and read back after.
  void SetCachedSize(int width, int height) {
    state_.W = width;
    state_.H = height;
  }

 private:
  PainterTable painters_;  // a copy: fourteen pointers
  RenderState state_;
};

// Text format of the caption: DT_CENTER | DT_WORDBREAK, plus DT_RTLREADING for right-to-left.
unsigned CaptionFormat(const PaintInput& in);

}  // namespace quillon::render
