#include "gold_hover.h"

namespace quillon::render {
namespace {

constexpr int kTopToBottom = 1;
constexpr Colour kWhite = Rgb(255, 255, 255);
constexpr Colour kNavy = Rgb(0, 0, 128);

// ShiftColour factors of BackColor for the resting face.
constexpr float kRestTop = 0.08f;  // then mixed with white
constexpr float kRestBottom = -0.15f;

struct Face {
  Colour top;
  Colour bottom;
};

constexpr Face kHot{Rgb(255, 244, 204), Rgb(255, 208, 145)};
constexpr Face kPressed{Rgb(254, 145, 78), Rgb(255, 211, 142)};
constexpr Face kLatched{Rgb(255, 213, 140), Rgb(255, 173, 85)};
constexpr const Face& kLatchedUnderMouse = kPressed;

void DrawFace(PaintContext& c, const Face& f) { c.GradientFill(0, 0, c.W, c.H, f.top, f.bottom, kTopToBottom); }

void DrawOutline(PaintContext& c) { c.surface.FrameRectangle(0, 0, c.W, c.H, kNavy); }

void PaintLatched(PaintContext& c) {
  DrawFace(c, c.in.mouseOver ? kLatchedUnderMouse : kLatched);
  c.DrawCaptionAndPicture();
  DrawOutline(c);
}

// A white-tinted upper half into BackColor, then a darkening lower half; no outline.
void PaintNormal(PaintContext& c, Colour b) {
  c.RebuildRegion();
  const int upper = RoundHalfEven(c.H / 2.0);
  // Laid out one row taller than the rest of the face, so the bottom row is its second-to-last step.
  const int lower = RoundHalfEven(c.H / 2.0 + 1);
  c.GradientFill(0, 0, c.W, upper, MixColours(kWhite, ShiftColour(b, kRestTop)), b, kTopToBottom);
  c.GradientFill(0, upper, c.W, lower, b, ShiftColour(b, kRestBottom), kTopToBottom);
  c.DrawCaptionAndPicture();
}

void PaintLit(PaintContext& c, const Face& f) {
  DrawFace(c, f);
  c.DrawCaptionAndPicture();
  DrawOutline(c);
}

}  // namespace

void PaintGoldHover(PaintContext& c, int state) {
  c.ReadSize();
  const Colour b = c.Translate(c.in.backColor);
  if (c.in.Checked()) {
    PaintLatched(c);
    return;
  }
  switch (state) {
    case ButtonState::Normal: PaintNormal(c, b); break;
    case ButtonState::Hot: PaintLit(c, kHot); break;
    case ButtonState::Down: PaintLit(c, kPressed); break;
    default:
      // No face for a state it does not know, but the caption and the outline still.
      c.DrawCaptionAndPicture();
      DrawOutline(c);
      break;
  }
}

}  // namespace quillon::render
