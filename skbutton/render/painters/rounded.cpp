#include "rounded.h"

#include <array>

namespace quillon::render {

namespace {

using ColorScheme = controls::ColorScheme;

constexpr Colour kWhite = Rgb(255, 255, 255);

// Face gradients, as ShiftColour factors of BackColor.
constexpr float kFaceTop = 0.07f;
constexpr float kGlossTop = 0.1f;
constexpr float kGlossBottom = 0.08f;
constexpr int kGlossRows = 4;
constexpr float kSilverTop = 0.22f;
constexpr float kSilverLowerTop = -0.01f;
constexpr float kSilverLowerBottom = -0.15f;

// Lower and side shading at rest.
constexpr float kShadeBottom = -0.09f;
constexpr float kShadeSecond = -0.05f;
constexpr float kShadeThird = -0.01f;
constexpr float kShadeRight = -0.08f;

// Pressed faces.
constexpr float kPressedFill = -0.05f;
constexpr float kSunkenTopOuter = -0.16f;
constexpr float kSunkenTopInner = -0.1f;
constexpr float kSunkenBottom = 0.01f;
constexpr float kSunkenRight = 0.04f;
constexpr float kSilverPressedTop = -0.2f;
constexpr float kSilverPressedBottom = 0.05f;
constexpr float kSilverPressedFoot = 0.08f;
constexpr int kSilverFootRows = 6;

// Disabled look.
constexpr float kDisabledFace = 0.1f;
constexpr float kDisabledOutline = -0.1f;

// The orange double rim under the mouse.
constexpr Colour kHotTopInner = Rgb(253, 216, 137);
constexpr Colour kHotTopOuter = Rgb(255, 240, 207);
constexpr Colour kHotSides = Rgb(249, 189, 73);
constexpr Colour kHotSidesInner = Rgb(252, 210, 122);
constexpr Colour kHotBottomInner = Rgb(248, 179, 48);
constexpr Colour kHotBottomOuter = Rgb(229, 151, 0);

// The focus rim: eight lines in one order for every scheme, coloured per scheme.
struct FocusRim {
  Colour topInner, topOuter, left, right, leftInner, rightInner, bottomInner, bottomOuter;
};
constexpr FocusRim kBlueFocusRim{Rgb(188, 212, 246), Rgb(206, 231, 255), Rgb(142, 175, 230),
                                 Rgb(142, 175, 230), Rgb(184, 209, 244), Rgb(184, 209, 244),
                                 Rgb(137, 173, 228), Rgb(105, 130, 238)};
constexpr FocusRim kOliveFocusRim{Rgb(194, 209, 143), Rgb(177, 203, 128), Rgb(160, 200, 104),
                                  Rgb(160, 200, 104), Rgb(160, 200, 104), Rgb(160, 200, 104),
                                  Rgb(160, 200, 104), Rgb(168, 167, 102)};
constexpr FocusRim kSilverFocusRim{Rgb(188, 212, 246), Rgb(206, 231, 255), Rgb(142, 175, 230),
                                   Rgb(142, 175, 230), kWhite, kWhite,
                                   Rgb(137, 173, 228), Rgb(105, 130, 238)};

// Outlines; the corner pixels are the outline lightened by 0.3.
constexpr Colour kNavyOutline = Rgb(0, 60, 116);
constexpr Colour kGreenOutline = Rgb(55, 98, 6);
constexpr float kCornerLighten = 0.3f;

bool HasStandardFace(int scheme) {
  return scheme == ColorScheme::Blue || scheme == ColorScheme::Olive || scheme == ColorScheme::Custom;
}

class RoundedPainter {
 public:
  RoundedPainter(PaintContext& c, int state)
      : c_(c), state_(state), scheme_(c.in.colorScheme), b_(c.Translate(c.in.backColor)),
        m_(RoundHalfEven(c.H / 2.0)) {}

  void Paint() {
    if (!c_.in.enabled) {
      Disabled();
      return;
    }
    switch (state_) {
      case ButtonState::Normal: Normal(); break;
      case ButtonState::Hot: Hot(); break;
      case ButtonState::Down: Pressed(); break;
      default: break;
    }
    FocusRimLines();
    FocusFrame();
    Outline();
  }

 private:
  Colour S(float f) const { return ShiftColour(b_, f); }
  void Line(int x1, int y1, int x2, int y2, Colour colour) { c_.surface.DrawLine(x1, y1, x2, y2, colour); }

  void StandardFace() {
    c_.GradientFill(0, 0, c_.W, c_.H, S(kFaceTop), b_, 1);
    c_.GradientFill(0, 0, c_.W, kGlossRows, S(kGlossTop), S(kGlossBottom), 1);
    c_.DrawCaptionAndPicture();
  }

  void SilverFace() {
    c_.GradientFill(0, 0, c_.W, m_, S(kSilverTop), b_, 1);
    c_.GradientFill(0, m_, c_.W, m_, S(kSilverLowerTop), S(kSilverLowerBottom), 1);
    c_.DrawCaptionAndPicture();
  }

  void Disabled() {
    const int W = c_.W, H = c_.H;
    c_.RebuildRegion();
    c_.surface.FillRectangle(MixColours(c_.Colours().Get(kColorBtnFace), S(kDisabledFace)), c_.client);
    c_.DrawCaptionAndPicture();
    c_.surface.FrameRectangle(0, 0, W, H, S(kDisabledOutline));
    c_.MarkCorners(S(kDisabledOutline));
  }

  void Normal() {
    const int W = c_.W, H = c_.H;
    c_.RebuildRegion();
    if (scheme_ == ColorScheme::Silver) {
      SilverFace();
      Line(W - 2, 2, W - 2, H - 2, kWhite);
      Line(1, 1, 1, H - 2, kWhite);
    } else if (HasStandardFace(scheme_)) {
      StandardFace();
      Line(1, H - 2, W - 2, H - 2, S(kShadeBottom));
      Line(1, H - 3, W - 2, H - 3, S(kShadeSecond));
      Line(1, H - 4, W - 2, H - 4, S(kShadeThird));
      Line(W - 2, 2, W - 2, H - 2, S(kShadeRight));
      Line(1, 1, 1, H - 2, MixColours(kWhite, b_));
    }
  }

  void Hot() {
    const int W = c_.W, H = c_.H;
    if (scheme_ == ColorScheme::Silver) {
      SilverFace();
    } else if (HasStandardFace(scheme_)) {
      StandardFace();
    }
    // The orange rim shows whatever the scheme.
    Line(1, 2, W - 2, 2, kHotTopInner);
    Line(1, 1, W - 2, 1, kHotTopOuter);
    Line(1, 1, 1, H - 2, kHotSides);
    Line(W - 2, 2, W - 2, H - 2, kHotSides);
    Line(2, 2, 2, H - 3, kHotSidesInner);
    Line(W - 3, 3, W - 3, H - 3, kHotSidesInner);
    Line(2, H - 3, W - 2, H - 3, kHotBottomInner);
    Line(2, H - 2, W - 2, H - 2, kHotBottomOuter);
  }

  void Pressed() {
    const int W = c_.W, H = c_.H;
    if (scheme_ == ColorScheme::Silver) {
      c_.GradientFill(0, 0, W, H - kSilverFootRows, S(kSilverPressedTop), S(kSilverPressedBottom), 1);
      // H - 1 rows high: only its top six rows land on the surface.
      c_.GradientFill(0, H - kSilverFootRows, W, H - 1, S(kSilverPressedFoot), kWhite, 1);
      c_.DrawCaptionAndPicture();
      c_.surface.FrameRectangle(1, 1, W - 2, H - 2, kWhite);
    } else if (HasStandardFace(scheme_)) {
      c_.surface.FillRectangle(S(kPressedFill), c_.client);
      c_.DrawCaptionAndPicture();
      Line(1, 1, W - 2, 1, S(kSunkenTopOuter));
      Line(1, 2, W - 2, 2, S(kSunkenTopInner));
      Line(1, H - 2, W - 2, H - 2, S(kSunkenBottom));
      Line(1, 1, 1, H - 2, S(kSunkenTopOuter));
      Line(2, 2, 2, H - 2, S(kSunkenTopInner));
      Line(W - 2, 2, W - 2, H - 2, S(kSunkenRight));
    }
  }

  bool Cued() const { return c_.in.parentActive && (c_.in.hasFocus || c_.in.isDefault); }

  void FocusRimLines() {
    if (!Cued() || state_ != ButtonState::Normal) return;
    const FocusRim* rim = nullptr;
    switch (scheme_) {
      case ColorScheme::Blue:
      case ColorScheme::Custom: rim = &kBlueFocusRim; break;
      case ColorScheme::Olive: rim = &kOliveFocusRim; break;
      case ColorScheme::Silver: rim = &kSilverFocusRim; break;
      default: return;
    }
    const int W = c_.W, H = c_.H;
    Line(1, 2, W - 2, 2, rim->topInner);
    Line(1, 1, W - 2, 1, rim->topOuter);
    Line(1, 1, 1, H - 2, rim->left);
    Line(W - 2, 2, W - 2, H - 2, rim->right);
    Line(2, 2, 2, H - 3, rim->leftInner);
    Line(W - 3, 3, W - 3, H - 3, rim->rightInner);
    Line(2, H - 3, W - 2, H - 3, rim->bottomInner);
    Line(2, H - 2, W - 2, H - 2, rim->bottomOuter);
  }

  void FocusFrame() {
    if (Cued() && c_.in.showFocusRect) c_.surface.DrawFocusRect({2, 2, c_.W - 2, c_.H - 2});
  }

  void Outline() {
    Colour outline = 0;
    switch (scheme_) {
      case ColorScheme::Olive: outline = kGreenOutline; break;
      case ColorScheme::Blue:
      case ColorScheme::Silver:
      case ColorScheme::Custom: outline = kNavyOutline; break;
      default: return;
    }
    c_.surface.FrameRectangle(0, 0, c_.W, c_.H, outline);
    c_.MarkCorners(ShiftColour(outline, kCornerLighten));
  }

  PaintContext& c_;
  const int state_;
  const int scheme_;
  const Colour b_;
  const int m_;
};

}  // namespace

void PaintRounded(PaintContext& c, int state) {
  c.ReadSize();
  RoundedPainter(c, state).Paint();
}

}  // namespace quillon::render
