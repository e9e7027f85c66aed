#include "blue_toolbar.h"

namespace quillon::render {
namespace {

constexpr int kTopToBottom = 1;
constexpr Colour kWhite = Rgb(255, 255, 255);
constexpr Colour kOutline = Rgb(97, 158, 202);
// The outline lightened by 0.3, to go with the rounded window corners.
constexpr Colour kCorners = Rgb(174, 235, 255);

constexpr Colour kHotTop = Rgb(241, 249, 253);
constexpr Colour kHotBottom = Rgb(208, 236, 248);
// From this fraction of the height down the hot face is one colour.
constexpr double kHotPlainFrom = 1.7;
// The pressed face is the hot one upside down: darker at the top.
constexpr Colour kPressedTop = Rgb(176, 222, 241);
constexpr Colour kPressedBottom = Rgb(219, 241, 249);

void DrawRimAndOutline(PaintContext& c) {
  c.surface.FrameRectangle(0, 0, c.W, c.H, kOutline);
  c.surface.FrameRectangle(1, 1, c.W - 2, c.H - 2, kWhite);
  c.MarkCorners(kCorners);
}

void PaintDisabled(PaintContext& c, Colour b) {
  c.surface.FillRectangle(b, c.client);
  c.DrawCaptionAndPicture();
  c.MarkCorners(b);
}

void PaintNormal(PaintContext& c, Colour b) {
  c.RebuildRegion();
  c.surface.FillRectangle(b, {0, 0, c.W, c.H});
  c.DrawCaptionAndPicture();
}

void PaintHot(PaintContext& c) {
  c.GradientFill(1, 1, c.W - 2, c.H - 2, kHotTop, kHotBottom, kTopToBottom);
  // Reaches below the surface; only its top row matters.
  c.GradientFill(1, RoundHalfEven(c.H / kHotPlainFrom), c.W - 2, c.H - 2, kHotBottom, kHotBottom,
                 kTopToBottom);
  c.DrawCaptionAndPicture();
  DrawRimAndOutline(c);
}

void PaintPressed(PaintContext& c) {
  c.GradientFill(1, 1, c.W - 2, c.H - 2, kPressedTop, kPressedBottom, kTopToBottom);
  c.DrawCaptionAndPicture();
  DrawRimAndOutline(c);
}

}  // namespace

void PaintBlueToolbar(PaintContext& c, int state) {
  c.ReadSize();
  const Colour b = c.Translate(c.in.backColor);
  if (!c.in.enabled) {
    PaintDisabled(c, b);
    return;
  }
  switch (state) {
    case ButtonState::Normal: PaintNormal(c, b); break;
    case ButtonState::Hot: PaintHot(c); break;
    case ButtonState::Down: PaintPressed(c); break;
    default: break;
  }
}

}  // namespace quillon::render
