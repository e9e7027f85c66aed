#include "silver_toolbar.h"

namespace quillon::render {

namespace {

constexpr Colour kWhite = Rgb(255, 255, 255);

// Latched (a set Value).
constexpr Colour kLatchedFace = Rgb(254, 254, 254);
constexpr Colour kLatchedOutline = Rgb(122, 152, 175);
constexpr Colour kLatchedCornerBase = Rgb(160, 179, 193);
constexpr float kLatchedCornerShift = -0.2f;
constexpr Colour kLatchedHotRight = Rgb(242, 240, 237);
constexpr Colour kLatchedHotBottom = Rgb(228, 222, 216);
constexpr Colour kLatchedHotThird = Rgb(239, 236, 232);
constexpr Colour kLatchedHotFourth = Rgb(250, 249, 248);

// Hot.
constexpr Colour kHotTop = Rgb(254, 254, 253);
constexpr Colour kHotMiddle = Rgb(244, 244, 238);
constexpr Colour kHotBottom = Rgb(241, 241, 234);
constexpr Colour kHotRight = Rgb(234, 231, 224);
constexpr Colour kHotRightInner = Rgb(240, 240, 234);
constexpr Colour kHotShadeFourth = Rgb(238, 237, 229);
constexpr Colour kHotShadeThird = Rgb(228, 225, 214);
constexpr Colour kHotShadeSecond = Rgb(215, 210, 198);
constexpr Colour kHotOutline = Rgb(206, 206, 195);
constexpr Colour kHotCornerBase = Rgb(212, 212, 201);
constexpr float kHotCornerShift = -0.05f;

// Pressed.
constexpr Colour kPressedFace = Rgb(229, 228, 221);
constexpr Colour kPressedTopOuterBase = Rgb(220, 218, 209);
constexpr Colour kPressedTopInnerBase = Rgb(227, 225, 218);
constexpr float kPressedTopShift = -0.02f;
constexpr Colour kPressedBottomInnerBase = Rgb(230, 229, 222);
constexpr Colour kPressedBottomOuterBase = Rgb(235, 234, 229);
constexpr float kPressedBottomShift = 0.02f;
constexpr Colour kPressedOutline = Rgb(157, 157, 146);
constexpr Colour kPressedCornerBase = Rgb(181, 180, 171);
constexpr float kPressedCornerShift = -0.2f;

void Line(PaintContext& c, int x1, int y1, int x2, int y2, Colour colour) {
  c.surface.DrawLine(x1, y1, x2, y2, colour);
}

void PaintLatched(PaintContext& c, int state, OleColour buttonText) {
  const int W = c.W, H = c.H;
  c.surface.FillRectangle(kLatchedFace, {0, 0, W, H});
  c.SetForeColor(buttonText);
  c.DrawCaptionAndPicture();
  c.surface.FrameRectangle(0, 0, W, H, kLatchedOutline);
  c.MarkCorners(ShiftColour(kLatchedCornerBase, kLatchedCornerShift));
  if (state != ButtonState::Hot) return;
  Line(c, W - 2, 2, W - 2, H - 2, kLatchedHotRight);
  Line(c, 2, H - 2, W - 2, H - 2, kLatchedHotBottom);
  Line(c, 1, H - 3, W - 1, H - 3, kLatchedHotThird);
  Line(c, 1, H - 4, W - 1, H - 4, kLatchedHotFourth);
}

void PaintNormal(PaintContext& c, Colour back) {
  c.RebuildRegion();
  c.surface.FillRectangle(back, c.client);
  c.DrawCaptionAndPicture();
}

void PaintHot(PaintContext& c) {
  const int W = c.W, H = c.H;
  const int M = RoundHalfEven(H / 2.0);
  c.GradientFill(0, 0, W, M, kHotTop, kHotMiddle, 1);
  c.GradientFill(0, M, W, M, kHotMiddle, kHotBottom, 1);
  c.DrawCaptionAndPicture();
  Line(c, W - 2, 2, W - 2, H - 2, kHotRight);
  Line(c, W - 3, 2, W - 3, H - 2, kHotRightInner);
  Line(c, 0, H - 4, W, H - 4, kHotShadeFourth);
  Line(c, 0, H - 3, W, H - 3, kHotShadeThird);
  Line(c, 0, H - 2, W, H - 2, kHotShadeSecond);
  c.surface.FrameRectangle(0, 0, W, H, kHotOutline);
  c.MarkCorners(ShiftColour(kHotCornerBase, kHotCornerShift));
}

void PaintPressed(PaintContext& c) {
  const int W = c.W, H = c.H;
  c.surface.FillRectangle(kPressedFace, c.client);
  c.DrawCaptionAndPicture();
  Line(c, 1, 1, W - 2, 1, ShiftColour(kPressedTopOuterBase, kPressedTopShift));
  Line(c, 1, 2, W - 2, 2, ShiftColour(kPressedTopInnerBase, kPressedTopShift));
  Line(c, 1, H - 3, W - 2, H - 3, ShiftColour(kPressedBottomInnerBase, kPressedBottomShift));
  Line(c, 1, H - 2, W - 2, H - 2, ShiftColour(kPressedBottomOuterBase, kPressedBottomShift));
  c.surface.FrameRectangle(0, 0, W, H, kPressedOutline);
  c.MarkCorners(ShiftColour(kPressedCornerBase, kPressedCornerShift));
}

}  // namespace

void PaintSilverToolbar(PaintContext& c, int state) {
  c.ReadSize();
  const Colour back = c.Translate(c.in.backColor);
  const OleColour buttonText = c.Translate(SystemColour(kColorBtnText));
  c.SetForeColor(state == ButtonState::Down ? kWhite : buttonText);

  // Redraw leaves a latched SilverToolbar in its own state; the look is chosen here.
  if (c.in.mode != 0 && c.in.value) {
    if (c.in.mouseHeld) state = ButtonState::Down;
    if (state != ButtonState::Down) {
      PaintLatched(c, state, buttonText);
      return;
    }
  }
  switch (state) {
    case ButtonState::Normal: PaintNormal(c, back); break;
    case ButtonState::Hot: PaintHot(c); break;
    case ButtonState::Down: PaintPressed(c); break;
    default: break;
  }
}

}  // namespace quillon::render
