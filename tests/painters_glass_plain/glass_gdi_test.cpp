// The Glass looks pixel for pixel on a main-window sized button (97 x 33, back colour
// rgb(227, 227, 227)) and on an even height, with the focus and default cues.
#include <gtest/gtest.h>

#include "dib_button.h"
#include "glass_faces.h"

namespace quillon::render {
namespace {

using namespace testing;

constexpr Colour kBack = Rgb(227, 227, 227);
// H = 33: M = round(16.5) = 16, T = round(14.5) = 14, U = round(33 - 16.5 - 1 = 15.5) = 16,
// V = round(15.5) = 16 (ties to even).
constexpr GlassNumbers kRows33{16, 14, 16, 16};
// H = 24: M = 12, T = 10, U = round(24 - 12 - 1) = 11, V = 11.
constexpr GlassNumbers kRows24{12, 10, 11, 11};
// From 227: 227 + 13 = 240 at the top; the lower half from 227 - 5 = 222 towards 227 - 38 = 189.
constexpr GlassShades kShades227{Rgb(240, 240, 240), kBack, Rgb(222, 222, 222), Rgb(189, 189, 189)};

class Glass : public ::testing::Test {
 protected:
  Glass() : button(97, 33, ButtonStyle::Glass) {
    button.in.backColor = kBack;
    button.in.font.face = L"Tahoma";
    button.in.font.height = -11;
    button.in.parentActive = true;
  }
  void Focus(bool showFocusRect) {
    button.in.hasFocus = true;
    button.in.showFocusRect = showFocusRect;
  }
  DibButton button;
};

TEST_F(Glass, NormalLookSlopesFromTheLiftedBackColourAndDarkensTheLowerHalf) {
  button.Paint(ButtonState::Normal);
  // Upper face: 33 rows from 240 to 227, step i at row i + 1: 240 + (i * -13) div 32.
  EXPECT_EQ(button.At(50, 2), Rgb(240, 240, 240));   // i = 1: -13 div 32 = 0
  EXPECT_EQ(button.At(50, 4), Rgb(239, 239, 239));   // i = 3: -39 div 32 = -1
  EXPECT_EQ(button.At(50, 15), Rgb(235, 235, 235));  // i = 14: -182 div 32 = -5
  // Lower half from row 16: 31 rows from 222 to 189, of which rows 16..30 show inside the frames.
  EXPECT_EQ(button.At(50, 16), Rgb(222, 222, 222));
  EXPECT_EQ(button.At(50, 30), Rgb(207, 207, 207));  // i = 14: -462 div 30 = -15
  EXPECT_EQ(button.At(0, 20), Rgb(112, 112, 112));
  EXPECT_EQ(button.At(96, 20), Rgb(112, 112, 112));
  EXPECT_EQ(button.At(50, 31), kWhite);
  EXPECT_EQ(button.At(95, 20), kWhite);
  EXPECT_EQ(button.At(1, 1), kGlassCorner);
  EXPECT_EQ(button.At(95, 31), kGlassCorner);
  EXPECT_TRUE(LooksLike(button, GlassNormalFace(97, 33, kRows33, kShades227)));
}

TEST_F(Glass, HotLookIsLightBlueWithSideStrips) {
  button.Paint(ButtonState::Hot);
  EXPECT_EQ(button.At(50, 10), Rgb(222, 245, 255));  // upper half, i = 9 of 15: -90 div 15, -36 div 15
  EXPECT_EQ(button.At(50, 16), Rgb(193, 233, 255));  // lower half starts at M = 16
  EXPECT_EQ(button.At(50, 30), Rgb(185, 230, 255));  // i = 14 of 30: -266 div 30, -112 div 30, -28 div 30
  EXPECT_EQ(button.At(2, 3), Rgb(210, 240, 255));    // upper left strip, column 1 of 4: +23/4, +9/4
  EXPECT_EQ(button.At(2, 16), Rgb(151, 217, 251));   // lower left strip: +32/4, +14/4, +5/4
  EXPECT_EQ(button.At(93, 3), Rgb(217, 243, 255));   // upper right strip, column 2: -46/4 = -11, -18/4 = -4
  EXPECT_EQ(button.At(0, 5), kBlueFrame);
  EXPECT_EQ(button.At(1, 5), kWhite);
  EXPECT_TRUE(LooksLike(button, GlassHotFace(97, 33, kRows33)));
}

TEST_F(Glass, PressedLookIsSunkUnderAShadowWithoutTheWhiteFrame) {
  button.Paint(ButtonState::Down);
  EXPECT_EQ(button.At(50, 1), Rgb(113, 156, 179));
  EXPECT_EQ(button.At(50, 2), Rgb(169, 198, 214));
  EXPECT_EQ(button.At(50, 3), Rgb(185, 217, 236));
  EXPECT_EQ(button.At(50, 10), Rgb(194, 228, 246));
  EXPECT_EQ(button.At(50, 20), Rgb(154, 210, 240));
  EXPECT_EQ(button.At(1, 2), Rgb(115, 176, 207));   // the upper left line above the strip
  EXPECT_EQ(button.At(3, 5), Rgb(170, 215, 239));   // upper left strip, column 2: +82/4, +40/4, +16/4
  EXPECT_EQ(button.At(1, 20), Rgb(83, 176, 225));   // lower left strip over the lower left line
  EXPECT_EQ(button.At(95, 20), Rgb(83, 176, 225));  // its mirror
  // The lower left line stops inside the frame: the bottom frame row stays whole.
  for (int x = 0; x < 97; ++x) EXPECT_EQ(button.At(x, 32), Rgb(29, 65, 92)) << "column " << x;
  EXPECT_TRUE(LooksLike(button, GlassPressedFace(97, 33, kRows33)));
}

TEST_F(Glass, HotAndPressedLooksDoNotFollowTheBackColour) {
  for (int state : {ButtonState::Hot, ButtonState::Down}) {
    button.in.backColor = kBack;
    button.Paint(state);
    const auto grey = button.Pixels();
    button.in.backColor = Rgb(200, 20, 20);
    button.Paint(state);
    EXPECT_EQ(button.Pixels(), grey) << "state " << state;
  }
}

TEST_F(Glass, EvenHeightLaysTheHalvesAndStripsOutOnItsOwnRows) {
  button.Resize(97, 24);
  button.Paint(ButtonState::Normal);
  EXPECT_TRUE(LooksLike(button, GlassNormalFace(97, 24, kRows24, kShades227)));
  EXPECT_EQ(button.At(50, 12), Rgb(222, 222, 222));  // lower half at M = 12
  button.Paint(ButtonState::Hot);
  EXPECT_TRUE(LooksLike(button, GlassHotFace(97, 24, kRows24)));
  button.Paint(ButtonState::Down);
  EXPECT_TRUE(LooksLike(button, GlassPressedFace(97, 24, kRows24)));
  // U = 11: the lower strips end on row 22, the last row inside the frame.
  EXPECT_EQ(button.At(5, 22), Rgb(151, 207, 237));
  EXPECT_EQ(button.At(5, 23), Rgb(29, 65, 92));
  // T = 10: the upper strips cover rows 3..12, the lower ones take over at row 12.
  EXPECT_EQ(button.At(5, 11), Rgb(191, 225, 243));
  EXPECT_EQ(button.At(5, 12), Rgb(151, 207, 237));
}

TEST_F(Glass, DisabledLookIgnoresStateFocusAndDefault) {
  button.in.enabled = false;
  Focus(true);
  button.in.isDefault = true;
  ExpectedFace disabled(97, 33);
  disabled.Fill(0, 0, 97, 33, Rgb(235, 235, 235));   // 227 + 8 (0.03)
  disabled.Frame(0, 0, 97, 33, Rgb(163, 163, 163));  // 227 - 64 (0.25)
  disabled.Frame(1, 1, 95, 31, kWhite);              // 227 + 64 clamps to 255
  disabled.Corners(Rgb(219, 219, 219));              // 227 - 8
  for (int state : {ButtonState::Normal, ButtonState::Hot, ButtonState::Down}) {
    button.Paint(state);
    EXPECT_TRUE(LooksLike(button, disabled)) << "state " << state;
  }
  ASSERT_FALSE(button.host.regions.empty());
  EXPECT_EQ(button.host.regions.back(), (RegionShape{true, 98, 34, 3}));
}

TEST_F(Glass, OnlyTheLookAtRestRebuildsTheRoundedRegion) {
  button.Paint(ButtonState::Normal);
  ASSERT_EQ(button.host.regions.size(), 1u);
  EXPECT_EQ(button.host.regions[0], (RegionShape{true, 98, 34, 3}));
  button.Paint(ButtonState::Hot);
  button.Paint(ButtonState::Down);
  EXPECT_EQ(button.host.regions.size(), 1u);
}

TEST_F(Glass, BlueDoubleFrameOnlyAtRest) {
  Focus(false);
  button.Paint(ButtonState::Normal);
  ExpectedFace framed = GlassNormalFace(97, 33, kRows33, kShades227);
  framed.Frame(0, 0, 97, 33, kBlueFrame);
  framed.Frame(1, 1, 95, 31, Rgb(72, 216, 251));
  framed.Corners(kGlassCorner);
  EXPECT_TRUE(LooksLike(button, framed));
  // Under the mouse the focused button shows the hot frame with its white inner frame.
  button.Paint(ButtonState::Hot);
  EXPECT_TRUE(LooksLike(button, GlassHotFace(97, 33, kRows33)));
  button.Paint(ButtonState::Down);
  EXPECT_TRUE(LooksLike(button, GlassPressedFace(97, 33, kRows33)));
  // The container's default button gets the same frame without having the focus.
  button.in.hasFocus = false;
  button.in.isDefault = true;
  button.Paint(ButtonState::Normal);
  EXPECT_TRUE(LooksLike(button, framed));
}

// The dotted frame inverts pixels of the ring (2, 2, W - 2, H - 2) and nothing else.
void ExpectFocusRing(const DibButton& b, const ExpectedFace& under) {
  int inverted = 0;
  for (int y = 0; y < under.Height(); ++y)
    for (int x = 0; x < under.Width(); ++x) {
      if (b.At(x, y) == under.At(x, y)) continue;
      const bool onRing = x >= 2 && x <= 94 && y >= 2 && y <= 30 && (x == 2 || x == 94 || y == 2 || y == 30);
      EXPECT_TRUE(onRing) << "(" << x << ", " << y << ") changed outside the focus ring";
      EXPECT_EQ(b.At(x, y), under.At(x, y) ^ 0xFFFFFFu) << "(" << x << ", " << y << ") not inverted";
      ++inverted;
    }
  EXPECT_GT(inverted, 100) << "no dotted focus frame";
}

TEST_F(Glass, FocusRectangleInEveryLookWhenShown) {
  Focus(true);
  button.Paint(ButtonState::Normal);
  ExpectedFace framed = GlassNormalFace(97, 33, kRows33, kShades227);
  framed.Frame(0, 0, 97, 33, kBlueFrame);
  framed.Frame(1, 1, 95, 31, Rgb(72, 216, 251));
  framed.Corners(kGlassCorner);
  ExpectFocusRing(button, framed);
  button.Paint(ButtonState::Hot);
  ExpectFocusRing(button, GlassHotFace(97, 33, kRows33));
  button.Paint(ButtonState::Down);
  ExpectFocusRing(button, GlassPressedFace(97, 33, kRows33));
  // A default button without the focus shows no dotted frame.
  button.in.hasFocus = false;
  button.in.isDefault = true;
  button.Paint(ButtonState::Normal);
  EXPECT_TRUE(LooksLike(button, framed));
}

TEST_F(Glass, InactiveParentShowsNoFocusCuesButKeepsTheCorners) {
  Focus(true);
  button.in.isDefault = true;
  button.in.parentActive = false;
  button.Paint(ButtonState::Normal);
  EXPECT_TRUE(LooksLike(button, GlassNormalFace(97, 33, kRows33, kShades227)));
  button.Paint(ButtonState::Hot);
  EXPECT_TRUE(LooksLike(button, GlassHotFace(97, 33, kRows33)));
  button.Paint(ButtonState::Down);
  EXPECT_TRUE(LooksLike(button, GlassPressedFace(97, 33, kRows33)));
}

TEST_F(Glass, TwoNormalPaintsGiveIdenticalPixels) {
  Focus(true);
  button.in.caption = L"选择转换文件";
  button.Paint(ButtonState::Normal);
  const auto first = button.Pixels();
  button.Paint(ButtonState::Normal);
  EXPECT_EQ(button.Pixels(), first) << "the focus frame must not cancel itself out on a repaint";
  // The caption is drawn: some face pixel between the frames is neither gradient nor frame.
  const ExpectedFace face = GlassNormalFace(97, 33, kRows33, kShades227);
  int ink = 0;
  for (int y = 3; y < 30; ++y)
    for (int x = 3; x < 94; ++x) ink += button.At(x, y) != face.At(x, y);
  EXPECT_GT(ink, 20);
}

TEST_F(Glass, PressedCaptionStaysWhereItWas) {
  button.in.caption = L"开始转换";
  button.in.foreColorHover = button.in.foreColor;
  button.Paint(ButtonState::Normal);
  const Rect atRest = button.renderer.State().layout.captionRect;
  button.Paint(ButtonState::Down);
  EXPECT_EQ(button.renderer.State().layout.captionRect, atRest);
}

}  // namespace
}  // namespace quillon::render
