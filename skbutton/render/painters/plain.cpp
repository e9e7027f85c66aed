#include "plain.h"

namespace quillon::render {

namespace {

using ColorScheme = controls::ColorScheme;

constexpr PlainSchemeColours kBlue{Rgb(193, 210, 238), Rgb(49, 106, 197)};
constexpr PlainSchemeColours kOlive{Rgb(212, 214, 186), Rgb(147, 160, 112)};
constexpr PlainSchemeColours kSilver{Rgb(224, 223, 227), Rgb(178, 180, 191)};
constexpr PlainSchemeColours kUnknownScheme{Rgb(0, 0, 0), Rgb(0, 0, 0)};
constexpr float kCustomBorder = -0.12f;

constexpr float kHotFace = 0.03f;
constexpr float kDownFace = -0.08f;
constexpr float kLatchedFace = -0.05f;
constexpr float kLatchedHotFace = -0.01f;

void PaintLatched(PaintContext& c, const PlainSchemeColours& s) {
  c.surface.FillRectangle(ShiftColour(s.face, kLatchedFace), c.client);
  c.surface.FrameRectangle(0, 0, c.W, c.H, s.border);
  if (c.in.mouseOver) {
    c.surface.FillRectangle(ShiftColour(s.face, kLatchedHotFace), c.client);
    c.surface.FrameRectangle(0, 0, c.W, c.H, s.border);
  }
  c.DrawCaptionAndPicture();
}

}  // namespace

PlainSchemeColours PlainColoursFor(int colorScheme, Colour backColour) {
  switch (colorScheme) {
    case ColorScheme::Blue: return kBlue;
    case ColorScheme::Olive: return kOlive;
    case ColorScheme::Silver: return kSilver;
    case ColorScheme::Custom: return {backColour, ShiftColour(backColour, kCustomBorder)};
    default: return kUnknownScheme;
  }
}

void PaintPlain(PaintContext& c, int state) {
  c.ReadSize();
  const Colour b = c.Translate(c.in.backColor);
  const PlainSchemeColours s = PlainColoursFor(c.in.colorScheme, b);
  if (c.in.Checked()) {
    PaintLatched(c, s);
    return;
  }
  const Rect face{0, 0, c.W, c.H};
  switch (state) {
    case ButtonState::Normal: c.surface.FillRectangle(b, face); break;  // BackColor in every scheme
    case ButtonState::Hot: c.surface.FillRectangle(ShiftColour(s.face, kHotFace), face); break;
    case ButtonState::Down: c.surface.FillRectangle(ShiftColour(s.face, kDownFace), face); break;
    default: break;
  }
  c.DrawCaptionAndPicture();
  // After the caption, so the border lies over anything that reaches the outermost pixels.
  if (state != ButtonState::Normal) c.surface.FrameRectangle(0, 0, c.W, c.H, s.border);
}

}  // namespace quillon::render
