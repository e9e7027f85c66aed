#include "glass.h"

namespace quillon::render {

namespace {

// Shades derived from BackColor.
constexpr float kNormalTopLift = 0.05f;
constexpr float kLowerHalfFrom = -0.02f;
constexpr float kLowerHalfTo = -0.15f;
constexpr float kDisabledFill = 0.03f;
constexpr float kDisabledOuter = -0.25f;
constexpr float kDisabledInner = 0.25f;
constexpr float kDisabledCorners = -0.03f;

constexpr Colour kWhite = Rgb(255, 255, 255);
constexpr Colour kRestFrame = Rgb(112, 112, 112);
constexpr Colour kBlueFrame = Rgb(50, 117, 167);
constexpr Colour kDefaultInner = Rgb(72, 216, 251);
constexpr Colour kCorners = Rgb(95, 150, 190);

// Hot: fixed light blues, whatever BackColor is.
constexpr Colour kHotUpperFrom = Rgb(228, 247, 255);
constexpr Colour kHotUpperTo = Rgb(218, 243, 255);
constexpr Colour kHotLowerFrom = Rgb(193, 233, 255);
constexpr Colour kHotLowerTo = Rgb(174, 225, 253);
constexpr Colour kHotUpperStripEdge = Rgb(205, 238, 255);
constexpr Colour kHotUpperStripInner = Rgb(228, 247, 255);
constexpr Colour kHotLowerStripEdge = Rgb(143, 214, 250);
const Colour kHotLowerStripInner = ShiftColour(Rgb(172, 225, 253), 0.01f);

// Pressed: flat halves, an inner shadow along the top and left, darker strips.
constexpr Colour kDownFace = Rgb(194, 228, 246);
constexpr Colour kDownLowerHalf = Rgb(154, 210, 240);
constexpr Colour kDownFrame = Rgb(29, 65, 92);
constexpr Colour kDownShadow1 = Rgb(113, 156, 179);
constexpr Colour kDownShadow2 = Rgb(169, 198, 214);
constexpr Colour kDownShadow3 = Rgb(185, 217, 236);
constexpr Colour kDownUpperLeftLine = Rgb(115, 176, 207);
constexpr Colour kDownLowerLeftLine = Rgb(43, 145, 197);
const Colour kDownUpperStripEdge = ShiftColour(Rgb(145, 200, 230), 0.02f);
const Colour kDownUpperStripInner = ShiftColour(kDownFace, -0.01f);
const Colour kDownLowerStripEdge = ShiftColour(Rgb(78, 171, 220), 0.02f);
const Colour kDownLowerStripInner = ShiftColour(kDownLowerHalf, -0.01f);

constexpr int kStripWidth = 5;
constexpr int kStripTop = 3;
constexpr int kTopToBottom = 1;
constexpr int kLeftToRight = 0;

void PaintDisabled(PaintContext& c, Colour b) {
  c.RebuildRegion();
  c.surface.FillRectangle(ShiftColour(b, kDisabledFill), {0, 0, c.W, c.H});
  c.DrawCaptionAndPicture();
  c.surface.FrameRectangle(0, 0, c.W, c.H, ShiftColour(b, kDisabledOuter));
  c.surface.FrameRectangle(1, 1, c.W - 2, c.H - 2, ShiftColour(b, kDisabledInner));
  c.MarkCorners(ShiftColour(b, kDisabledCorners));
}

// The lower half is laid out over H - 2 rows, of which only those from M down lie on the
// surface: it slopes only part of the way towards its end colour, which is the look.
void PaintNormal(PaintContext& c, Colour b, const GlassRows& r) {
  c.RebuildRegion();
  c.GradientFill(1, 1, c.W - 1, c.H, ShiftColour(b, kNormalTopLift), b, kTopToBottom);
  c.GradientFill(1, r.lowerHalf, c.W - 2, c.H - 2, ShiftColour(b, kLowerHalfFrom),
                 ShiftColour(b, kLowerHalfTo), kTopToBottom);
  c.DrawCaptionAndPicture();
  c.surface.FrameRectangle(0, 0, c.W, c.H, kRestFrame);
  c.surface.FrameRectangle(1, 1, c.W - 2, c.H - 2, kWhite);
}

// Side strips shade from the edge inwards on the left and mirror that on the right.
void PaintSideStrips(PaintContext& c, const GlassRows& r, Colour upperEdge, Colour upperInner,
                     Colour lowerEdge, Colour lowerInner) {
  const int right = c.W - 1 - kStripWidth;
  c.GradientFill(1, kStripTop, kStripWidth, r.upperStrip, upperEdge, upperInner, kLeftToRight);
  c.GradientFill(1, r.lowerHalf, kStripWidth, r.lowerStrip, lowerEdge, lowerInner, kLeftToRight);
  c.GradientFill(right, kStripTop, kStripWidth, r.upperStrip, upperInner, upperEdge, kLeftToRight);
  c.GradientFill(right, r.lowerHalf, kStripWidth, r.lowerStrip, lowerInner, lowerEdge, kLeftToRight);
}

void PaintHot(PaintContext& c, const GlassRows& r) {
  c.GradientFill(1, 1, c.W - 2, r.lowerHalf, kHotUpperFrom, kHotUpperTo, kTopToBottom);
  c.GradientFill(1, r.lowerHalf, c.W - 2, c.H - 2, kHotLowerFrom, kHotLowerTo, kTopToBottom);
  PaintSideStrips(c, r, kHotUpperStripEdge, kHotUpperStripInner, kHotLowerStripEdge, kHotLowerStripInner);
  c.DrawCaptionAndPicture();
  c.surface.FrameRectangle(0, 0, c.W, c.H, kBlueFrame);
  c.surface.FrameRectangle(1, 1, c.W - 2, c.H - 2, kWhite);
}

// No white inner frame here: the pressed face is sunk under a shadow along its top and left.
void PaintPressed(PaintContext& c, const GlassRows& r) {
  c.GradientFill(1, 1, c.W - 1, c.H, kDownFace, kDownFace, kTopToBottom);
  c.GradientFill(1, r.lowerHalf, c.W - 2, c.H - 2, kDownLowerHalf, kDownLowerHalf, kTopToBottom);
  c.surface.FrameRectangle(0, 0, c.W, c.H, kDownFrame);
  c.surface.DrawLine(1, 1, c.W - 1, 1, kDownShadow1);
  c.surface.DrawLine(1, 2, c.W - 1, 2, kDownShadow2);
  c.surface.DrawLine(1, 3, c.W - 1, 3, kDownShadow3);
  c.surface.DrawLine(1, 1, 1, r.pressedLineEnd, kDownUpperLeftLine);
  // Down to the last row inside the frame, like the upper line: it must not cut the frame.
  c.surface.DrawLine(1, r.lowerHalf, 1, c.H - 1, kDownLowerLeftLine);
  PaintSideStrips(c, r, kDownUpperStripEdge, kDownUpperStripInner, kDownLowerStripEdge, kDownLowerStripInner);
  c.DrawCaptionAndPicture();
}

// Focus and default cues only while the parent window is active; the double frame only at rest.
void PaintFinish(PaintContext& c, int state) {
  if (c.in.parentActive) {
    if ((c.in.hasFocus || c.in.isDefault) && state == ButtonState::Normal) {
      c.surface.FrameRectangle(0, 0, c.W, c.H, kBlueFrame);
      c.surface.FrameRectangle(1, 1, c.W - 2, c.H - 2, kDefaultInner);
    }
    if (c.in.showFocusRect && c.in.hasFocus) c.surface.DrawFocusRect({2, 2, c.W - 2, c.H - 2});
  }
  c.MarkCorners(kCorners);
}

}  // namespace

GlassRows GlassRowsFor(int height) {
  const double h = height;
  return {RoundHalfEven(h / 2), RoundHalfEven(h / 2 - 2), RoundHalfEven(h - h / 2 - 1),
          RoundHalfEven(h / 2 - 1)};
}

void PaintGlass(PaintContext& c, int state) {
  c.ReadSize();
  const Colour b = c.Translate(c.in.backColor);
  if (!c.in.enabled) {
    PaintDisabled(c, b);
    return;
  }
  const GlassRows rows = GlassRowsFor(c.H);
  switch (state) {
    case ButtonState::Normal: PaintNormal(c, b, rows); break;
    case ButtonState::Hot: PaintHot(c, rows); break;
    case ButtonState::Down: PaintPressed(c, rows); break;
    default: break;  // no face for a state the control never sets
  }
  PaintFinish(c, state);
}

}  // namespace quillon::render
