#include "redraw.h"

#include <string>

namespace quillon::render {

namespace {

constexpr Colour kSilver = 0xC0C0C0;
constexpr OleColour kGray = 0x808080;

struct EffectCopies {
  float shift;        // ShiftColour factor of BackColor, or 0 for the fixed silver
  bool fixedSilver;
  int count;
  int offsets[4][2];
};

// Copies drawn under the caption per CaptionEffect value (1..5).
constexpr EffectCopies kEffects[] = {
    {0.14f, false, 1, {{-1, -1}}},                            // Raised
    {0.14f, false, 1, {{1, 1}}},                              // Sunken
    {0.0f, true, 1, {{1, 1}}},                                // Shadow
    {0.1f, false, 4, {{1, 1}, {1, -1}, {-1, 1}, {-1, -1}}},   // Glow
    {-0.1f, false, 4, {{1, 1}, {1, -1}, {-1, 1}, {-1, -1}}},  // Outline
};

}  // namespace

unsigned CaptionFormat(const PaintInput& in) {
  return dt::kCenter | dt::kWordBreak | (in.rightToLeft ? dt::kRtlReading : 0u);
}

RegionShape RegionFor(int style, int cachedW, int cachedH, int freshW, int freshH) {
  switch (style) {
    case 2: case 3: case 7: case 9:
      return {true, cachedW + 1, cachedH + 1, 3};
    case 6: case 10:
      return {true, cachedW + 1, cachedH + 1, 4};
    default:
      return {false, freshW, freshH, 0};
  }
}

PaintContext::PaintContext(Surface& s, RenderHost& host, PaintInput& input, RenderState& state,
                           const PainterTable& painters)
    : surface(s), in(input), W(state.W), H(state.H), client(state.client), host_(host),
      input_(input), state_(state), painters_(painters) {}

void PaintContext::ReadSize() {
  H = RoundHalfEven(host_.SurfaceHeight());
  W = RoundHalfEven(host_.SurfaceWidth());
  client = {0, 0, W, H};
}

void PaintContext::MarkCorners(Colour colour) {
  W = RoundHalfEven(host_.SurfaceWidth());
  H = RoundHalfEven(host_.SurfaceHeight());
  surface.SetPixel(1, 1, colour);
  surface.SetPixel(1, H - 2, colour);
  surface.SetPixel(W - 2, 1, colour);
  surface.SetPixel(W - 2, H - 2, colour);
}

void PaintContext::RebuildRegion() {
  const int freshW = RoundHalfEven(host_.SurfaceWidth());
  const int freshH = RoundHalfEven(host_.SurfaceHeight());
  host_.SetWindowRegion(RegionFor(in.buttonStyle, W, H, freshW, freshH));
}

void PaintContext::SetForeColor(OleColour colour) {
  input_.foreColor = colour;
  host_.StoreForeColor(colour);
}

void PaintContext::Redraw() {
  surface.Clear();
  ReadSize();
  const int style = in.buttonStyle;
  if (in.mode != 0 && style != 0 && style != 6 && in.value) {
    input_.state = 2;
    host_.StoreButtonState(2);
  }
  if (style == ButtonStyle::SystemTheme) {
    if (host_.IsThemed()) {
      if (Painter p = painters_.Get(style)) p(*this, in.state);
      return;
    }
    // No visual styles: the button becomes a Rounded button for good.
    host_.FallBackToRounded(input_);
    if (Painter p = painters_.Get(ButtonStyle::Rounded)) p(*this, in.state);
    return;
  }
  if (Painter p = painters_.Get(style)) p(*this, in.state);
}

void PaintContext::DrawCaptionText(const Rect& rect, Colour colour, int dx, int dy) {
  const Colour saved = surface.TextColour();
  surface.SetTextColour(colour);
  surface.DrawString(in.caption, rect.Offset(dx, dy), CaptionFormat(in), in.font);
  surface.SetTextColour(saved);
}

void PaintContext::DrawCaptionEffects() {
  const int effect = in.captionEffects;
  const Rect& rect = state_.layout.captionRect;
  if (effect >= 1 && effect <= 5) {
    const EffectCopies& e = kEffects[effect - 1];
    const Colour base = Translate(in.backColor);
    const Colour colour = e.fixedSilver ? kSilver : ShiftColour(base, e.shift);
    for (int i = 0; i < e.count; ++i) DrawCaptionText(rect, colour, e.offsets[i][0], e.offsets[i][1]);
  }
  const Colour text = in.enabled ? Translate(in.foreColor) : host_.Colours().Get(kColorGrayText);
  DrawCaptionText(rect, text, 0, 0);
}

void PaintContext::DrawDropDownSymbol() {
  const std::string digits = std::to_string(in.dropDownSymbol);
  const std::wstring glyph(1, static_cast<wchar_t>(digits[0]));
  surface.DrawString(glyph, state_.layout.symbolRect, dt::kWordBreak, SymbolFont());
}

void PaintContext::DrawPictureShadow(const PictureLook& look) {
  const CaptionLayout& l = state_.layout;
  const Colour base = MixColours(Translate(kGray), Translate(in.backColor));
  DrawPicture(surface, l.pictureRect.Offset(2, 2), l.currentPicture, in, look, ShiftColour(base, 0.05f), Colours());
  DrawPicture(surface, l.pictureRect.Offset(1, 1), l.currentPicture, in, look, ShiftColour(base, -0.1f), Colours());
  DrawPicture(surface, l.pictureRect, l.currentPicture, in, look, kNoSilhouette, Colours());
}

void PaintContext::DrawCaptionAndPicture() {
  W = RoundHalfEven(host_.SurfaceWidth());
  H = RoundHalfEven(host_.SurfaceHeight());
  const int state = in.state;
  const unsigned measureFormat = dt::kWordBreak | (in.rightToLeft ? dt::kRtlReading : 0u);
  const MeasureCaption measure = [&](const Rect& bounds) {
    return surface.MeasureText(in.caption, bounds, measureFormat, in.font);
  };
  state_.layout = LayoutCaption(in, state, W, H, measure, state_.layout);
  CaptionLayout& l = state_.layout;

  if (l.drawSeparator) {
    Colour face = surface.GetPixel(7, 7);
    surface.DrawLine(W - 16, 3, W - 16, H - 3, ShiftColour(face, -0.1f));
    face = surface.GetPixel(7, 7);
    surface.DrawLine(W - 15, 3, W - 15, H - 3, ShiftColour(face, 0.1f));
  }

  ApplyPressedOffset(l, in.buttonStyle, state);

  const PictureLook look = PictureLookFor(in, state, state_.tables);
  const bool lifted = in.picturePushOnHover && state == 1;
  if (lifted) {
    DrawPicture(surface, l.pictureRect, l.currentPicture, in, look, Translate(kSilver), Colours());
    DrawPicture(surface, l.pictureRect.Offset(-2, -2), l.currentPicture, in, look, kNoSilhouette, Colours());
  } else {
    DrawPicture(surface, l.pictureRect, l.currentPicture, in, look, kNoSilhouette, Colours());
  }
  if (in.pictureShadow && !lifted) DrawPictureShadow(look);

  if (in.captionEffects != 0) DrawCaptionEffects();

  const Colour grayText = host_.Colours().Get(kColorGrayText);
  Colour text = grayText;
  if (in.enabled) text = Translate(state == 1 ? in.foreColorHover : in.foreColor);
  DrawCaptionText(l.captionRect, text, 0, 0);

  if (in.dropDownSymbol != 0) {
    if (state == 2 && StyleMovesPressedSymbolTwice(in.buttonStyle)) l.symbolRect = l.symbolRect.Offset(1, 1);
    surface.SetTextColour(in.enabled ? Translate(in.foreColor) : grayText);
    DrawDropDownSymbol();
  }
}

void ButtonRenderer::Redraw(Surface& surface, RenderHost& host, PaintInput& input) {
  PaintContext context(surface, host, input, state_, painters_);
  context.Redraw();
}

void ButtonRenderer::RebuildRegion(Surface& surface, RenderHost& host, PaintInput& input) {
  PaintContext context(surface, host, input, state_, painters_);
  context.RebuildRegion();
}

}  // namespace quillon::render
