#include "orange_gloss.h"

namespace quillon::render {
namespace {

constexpr int kTopToBottom = 1;
constexpr Colour kWhite = Rgb(255, 255, 255);

// The face splits at height / 2.7 into a short upper and a long lower gradient.
constexpr double kSplit = 2.7;

// ShiftColour factors of BackColor.
constexpr float kOutline = -0.34f;
constexpr float kRestUpperFrom = 0.09f;  // then mixed with white
constexpr float kRestUpperTo = 0.07f;    // then mixed with BackColor
constexpr float kRestLowerTo = 0.03f;

struct Gloss {
  Colour upperFrom;
  Colour upperTo;
  Colour lowerFrom;
  Colour lowerTo;
};

constexpr Gloss kHot{Rgb(255, 255, 225), Rgb(255, 234, 172), Rgb(255, 215, 103), Rgb(255, 228, 153)};
constexpr Gloss kPressed{Rgb(255, 193, 88), Rgb(255, 175, 81), Rgb(255, 143, 70), Rgb(255, 211, 95)};
constexpr Gloss kLatched{Rgb(255, 217, 169), Rgb(255, 192, 111), Rgb(255, 171, 63), Rgb(255, 225, 117)};
// Under the mouse a latched button is painted over in the pressed colours.
constexpr const Gloss& kLatchedUnderMouse = kPressed;

void DrawGloss(PaintContext& c, const Gloss& g) {
  const int upper = RoundHalfEven(c.H / kSplit);
  const int lower = RoundHalfEven(c.H - c.H / kSplit);
  c.GradientFill(0, 0, c.W, upper, g.upperFrom, g.upperTo, kTopToBottom);
  c.GradientFill(0, upper, c.W, lower, g.lowerFrom, g.lowerTo, kTopToBottom);
}

void DrawOutline(PaintContext& c, Colour b) {
  c.surface.FrameRectangle(0, 0, c.W, c.H, ShiftColour(b, kOutline));
}

// The outline goes under the caption here, over it in the other looks.
void PaintLatched(PaintContext& c, Colour b) {
  DrawGloss(c, kLatched);
  DrawOutline(c, b);
  if (c.in.mouseOver) {
    DrawGloss(c, kLatchedUnderMouse);
    DrawOutline(c, b);
  }
  c.DrawCaptionAndPicture();
}

void PaintNormal(PaintContext& c, Colour b) {
  c.surface.FillRectangle(b, c.client);
  DrawGloss(c, {MixColours(ShiftColour(b, kRestUpperFrom), kWhite),
                MixColours(ShiftColour(b, kRestUpperTo), b), b, ShiftColour(b, kRestLowerTo)});
  c.DrawCaptionAndPicture();
  DrawOutline(c, b);
}

void PaintLit(PaintContext& c, Colour b, const Gloss& g) {
  DrawGloss(c, g);
  c.DrawCaptionAndPicture();
  DrawOutline(c, b);
}

}  // namespace

void PaintOrangeGloss(PaintContext& c, int state) {
  c.ReadSize();
  const Colour b = c.Translate(c.in.backColor);
  if (c.in.Checked()) {
    PaintLatched(c, b);
    return;
  }
  switch (state) {
    case ButtonState::Normal: PaintNormal(c, b); break;
    case ButtonState::Hot: PaintLit(c, b, kHot); break;
    case ButtonState::Down: PaintLit(c, b, kPressed); break;
    default: break;
  }
}

}  // namespace quillon::render
