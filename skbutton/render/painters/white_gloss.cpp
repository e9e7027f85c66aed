#include "white_gloss.h"

namespace quillon::render {
namespace {

constexpr int kTopToBottom = 1;
constexpr Colour kWhite = Rgb(255, 255, 255);

// Shades of BackColor (ShiftColour factors).
constexpr float kOutline = -0.2f;
constexpr float kBottomLine = -0.25f;
constexpr float kPressedGlossEnd = -0.1f;
constexpr float kPressedLowerEnd = -0.05f;
constexpr float kPressedOutline = -0.23f;
constexpr float kPressedBottomLine = -0.4f;
constexpr float kCorners = 0.05f;

// The focus frame keeps clear of the rim and the outline.
constexpr int kFocusInset = 3;

struct Gloss {
  Colour glossEnd;    // the upper half runs from white into this
  Colour lowerFrom;   // the lower half, laid out H rows high from mid-height
  Colour lowerTo;
  Colour outline;
  Colour bottomLine;
};

void DrawGloss(PaintContext& c, const Gloss& g) {
  const int mid = RoundHalfEven(c.H / 2.0);
  c.GradientFill(0, 0, c.W, mid, kWhite, g.glossEnd, kTopToBottom);
  c.GradientFill(0, mid, c.W, c.H, g.lowerFrom, g.lowerTo, kTopToBottom);
  c.DrawCaptionAndPicture();
  // H rows high on purpose: the rim's bottom side falls below the surface.
  c.surface.FrameRectangle(1, 1, c.W - 2, c.H, kWhite);
  c.surface.FrameRectangle(0, 0, c.W, c.H, g.outline);
  c.surface.DrawLine(2, c.H - 1, c.W - 2, c.H - 1, g.bottomLine);
}

Gloss RestingGloss(Colour b) {
  return {b, b, b, ShiftColour(b, kOutline), ShiftColour(b, kBottomLine)};
}

void PaintNormal(PaintContext& c, Colour b) {
  c.RebuildRegion();
  c.client = {0, 0, c.W, c.H};
  DrawGloss(c, RestingGloss(b));
}

// The mouse changes nothing visible.
void PaintHot(PaintContext& c, Colour b) { DrawGloss(c, RestingGloss(b)); }

void PaintPressed(PaintContext& c, Colour b) {
  DrawGloss(c, {ShiftColour(b, kPressedGlossEnd), ShiftColour(b, kPressedGlossEnd),
                ShiftColour(b, kPressedLowerEnd), ShiftColour(b, kPressedOutline),
                ShiftColour(b, kPressedBottomLine)});
}

void PaintCornersAndFocus(PaintContext& c, Colour b) {
  c.MarkCorners(ShiftColour(b, kCorners));
  const PaintInput& in = c.in;
  if (in.parentActive && in.showFocusRect && (in.hasFocus || in.isDefault)) {
    c.surface.DrawFocusRect({kFocusInset, kFocusInset, c.W - kFocusInset, c.H - kFocusInset});
  }
}

}  // namespace

void PaintWhiteGloss(PaintContext& c, int state) {
  c.ReadSize();
  // A disabled button keeps the resting face; only caption and picture show it.
  if (!c.in.enabled) state = ButtonState::Normal;
  const Colour b = c.Translate(c.in.backColor);
  switch (state) {
    case ButtonState::Normal: PaintNormal(c, b); break;
    case ButtonState::Hot: PaintHot(c, b); break;
    case ButtonState::Down: PaintPressed(c, b); break;
    default: break;
  }
  PaintCornersAndFocus(c, b);
}

}  // namespace quillon::render
