#include "edge_styles.h"

namespace quillon::render {

namespace {

constexpr unsigned kRaisedEdge = edge::kRaised;          // EDGE_RAISED
constexpr unsigned kThinRaisedEdge = edge::kRaisedInner;  // BDR_RAISEDINNER
constexpr unsigned kSunkenEdge = edge::kSunken;           // EDGE_SUNKEN
constexpr unsigned kAllSides = edge::kRect;               // BF_RECT

constexpr float kLatchedLighten = 0.02f;
constexpr Colour kClassicPressedInner = Rgb(172, 168, 153);
constexpr Colour kBlack = Rgb(0, 0, 0);
constexpr Colour kWhite = Rgb(255, 255, 255);

// Inset of the dotted focus frame from each side.
constexpr int kThickFocusInset = 4;  // Classic, HoverRaised
constexpr int kThinFocusInset = 3;   // Flat, HoverThin

bool IsThin(int style) { return style == ButtonStyle::Flat || style == ButtonStyle::HoverThin; }
bool IsHover(int style) { return style == ButtonStyle::HoverRaised || style == ButtonStyle::HoverThin; }

void Edge(PaintContext& c, const Rect& rect, unsigned flags) { c.surface.DrawEdge(rect, flags, kAllSides); }

// The edge a style shows at rest and under the mouse; 0 for none.
unsigned RestingEdge(int style) {
  if (IsHover(style)) return 0;
  return IsThin(style) ? kThinRaisedEdge : kRaisedEdge;
}
unsigned HotEdge(int style) { return IsThin(style) ? kThinRaisedEdge : kRaisedEdge; }

void Face(PaintContext& c, Colour back) {
  c.surface.FillRectangle(back, c.client);
  c.DrawCaptionAndPicture();
}

Colour Workspace(PaintContext& c) { return c.Translate(SystemColour(kColorAppWorkspace)); }

void PaintDisabled(PaintContext& c, int style) {
  // The face keeps the surface as the redraw cleared it.
  if (const unsigned e = RestingEdge(style)) Edge(c, c.client, e);
  c.DrawCaptionAndPicture();
}

void PaintLatched(PaintContext& c, int style, Colour back) {
  Face(c, ShiftColour(back, kLatchedLighten));
  if (style == ButtonStyle::HoverThin) return;
  Edge(c, c.client, kSunkenEdge);
  if (c.in.showFocusRect && c.in.hasFocus && style == ButtonStyle::Classic) {
    c.surface.FrameRectangle(4, 4, c.W - 7, c.H - 7, Workspace(c));
  }
}

void PaintNormal(PaintContext& c, int style, Colour back) {
  c.RebuildRegion();
  Face(c, back);
  if (const unsigned e = RestingEdge(style)) Edge(c, c.client, e);
}

void PaintHot(PaintContext& c, int style, Colour back) {
  Face(c, back);
  Edge(c, c.client, HotEdge(style));
}

void PaintPressed(PaintContext& c, int style, Colour back) {
  Face(c, back);
  if (style == ButtonStyle::Classic) {
    c.surface.FrameRectangle(1, 1, c.W - 2, c.H - 2, kClassicPressedInner);
    c.surface.FrameRectangle(0, 0, c.W, c.H, kBlack);
  } else if (IsThin(style)) {
    // One pixel larger than the surface: only the grey top and left lines show.
    c.surface.FrameRectangle(0, 0, c.W, c.H, kWhite);
    c.surface.FrameRectangle(0, 0, c.W + 1, c.H + 1, c.Translate(SystemColour(kColorGrayText)));
  } else {
    Edge(c, c.client, kSunkenEdge);
  }
}

void PaintFocusAndDefaultCues(PaintContext& c, int style, int state) {
  if (!c.in.hasFocus && !c.in.isDefault) return;
  if (c.in.userMode && c.in.showFocusRect && c.in.parentActive) {
    const int inset = IsThin(style) ? kThinFocusInset : kThickFocusInset;
    c.surface.DrawFocusRect({inset, inset, c.W - inset, c.H - inset});
  }
  if (style == ButtonStyle::Classic && state != ButtonState::Down) {
    const Rect inner{0, 0, c.W - 1, c.H - 1};
    Edge(c, inner, kRaisedEdge);
    c.surface.FrameRectangle(0, 0, c.W - 1, c.H - 1, Workspace(c));
    c.surface.FrameRectangle(0, 0, c.W, c.H, kBlack);
  }
}

}  // namespace

void PaintEdgeStyles(PaintContext& c, int state) {
  c.ReadSize();
  const int style = c.in.buttonStyle;
  const Colour back = c.Translate(c.in.backColor);

  if (!c.in.enabled) {
    PaintDisabled(c, style);
    return;
  }
  if (c.in.Checked()) {
    PaintLatched(c, style, back);
    return;
  }
  switch (state) {
    case ButtonState::Normal: PaintNormal(c, style, back); break;
    case ButtonState::Hot: PaintHot(c, style, back); break;
    case ButtonState::Down: PaintPressed(c, style, back); break;
    default: return;
  }
  PaintFocusAndDefaultCues(c, style, state);
}

}  // namespace quillon::render
