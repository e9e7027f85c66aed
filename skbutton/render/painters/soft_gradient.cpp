#include "soft_gradient.h"

#include <optional>

namespace quillon::render {
namespace {

constexpr int kTopToBottom = 1;
constexpr Colour kWhite = Rgb(255, 255, 255);

// Rows 0..4 are the highlight band, row 5 keeps the face, the long gradient starts at row 6.
constexpr int kBandHeight = 5;
constexpr int kLowerTop = 6;

// ShiftColour factors of BackColor (band: of the white-tinted BackColor) for one look.
struct Look {
  std::optional<float> face;  // none: BackColor itself
  float band;
  float lowerFrom;
  float lowerTo;  // then mixed with white
  float outline;
  float corners;
};

constexpr Look kDisabled{std::nullopt, 0.05f, -0.02f, 0.08f, -0.2f, -0.23f};
constexpr Look kNormal{-0.03f, 0.1f, -0.05f, 0.1f, -0.33f, -0.36f};
constexpr Look kHot{-0.03f, 0.15f, -0.05f, 0.2f, -0.28f, -0.36f};
constexpr Look kPressed{-0.03f, 0.1f, -0.08f, 0.05f, -0.36f, -0.36f};
// An enabled state outside Normal, Hot and Down only marks the corners.
constexpr float kUnknownStateCorners = -0.36f;

void DrawFace(PaintContext& c, Colour b, const Look& look) {
  c.surface.FillRectangle(look.face ? ShiftColour(b, *look.face) : b, c.client);
  c.GradientFill(0, 0, c.W, kBandHeight, ShiftColour(MixColours(b, kWhite), look.band), b, kTopToBottom);
  // Laid out H - 1 rows high, so only its first H - 6 rows reach the surface.
  c.GradientFill(0, kLowerTop, c.W, c.H - 1, ShiftColour(b, look.lowerFrom),
                 MixColours(kWhite, ShiftColour(b, look.lowerTo)), kTopToBottom);
  c.DrawCaptionAndPicture();
  c.surface.FrameRectangle(0, 0, c.W, c.H, ShiftColour(b, look.outline));
  c.MarkCorners(ShiftColour(b, look.corners));
}

void PaintDisabled(PaintContext& c, Colour b) { DrawFace(c, b, kDisabled); }

void PaintNormal(PaintContext& c, Colour b) {
  c.RebuildRegion();
  DrawFace(c, b, kNormal);
}

void PaintHot(PaintContext& c, Colour b) { DrawFace(c, b, kHot); }

void PaintPressed(PaintContext& c, Colour b) { DrawFace(c, b, kPressed); }

}  // namespace

void PaintSoftGradient(PaintContext& c, int state) {
  c.ReadSize();
  const Colour b = c.Translate(c.in.backColor);
  if (!c.in.enabled) {
    PaintDisabled(c, b);
    return;
  }
  switch (state) {
    case ButtonState::Normal: PaintNormal(c, b); break;
    case ButtonState::Hot: PaintHot(c, b); break;
    case ButtonState::Down: PaintPressed(c, b); break;
    default: c.MarkCorners(ShiftColour(b, kUnknownStateCorners)); break;
  }
}

}  // namespace quillon::render
