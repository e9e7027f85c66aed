// WhiteGloss: gloss, rim, outline, bottom line, corners and the focus cue, pixel by pixel.
#include "rig.h"

namespace quillon::render::styles_b {
namespace {

// The Silver scheme's BackColor, rgb(213, 214, 225), on a 60 x 24 button: M = round(12) = 12.
// Shifts (offset = round(255 f)):
//   S(-0.2)  = -51 -> rgb(162, 163, 174)   outline
//   S(-0.25) = -64 -> rgb(149, 150, 161)   bottom line
//   S(+0.05) = +13 -> rgb(226, 227, 238)   corners
//   S(-0.1)  = -26 -> rgb(187, 188, 199)   pressed gloss end and lower start
//   S(-0.05) = -13 -> rgb(200, 201, 212)   pressed lower end
//   S(-0.23) = -59 -> rgb(154, 155, 166)   pressed outline (58.65 rounds to 59)
//   S(-0.4)  = -102 -> rgb(111, 112, 123)  pressed bottom line
const Colour kSilverBack = Rgb(213, 214, 225);

// What the resting look shows on 60 x 24 (shared by normal, hot and every disabled state).
void ExpectRestingLook(const Rig& rig) {
  // Outline ring, column 0 and 59, row 0 and the ends of row 23.
  EXPECT_TRUE(rig.Row(0, 0, 60, "rgb(162, 163, 174)"));
  EXPECT_TRUE(rig.Column(0, 0, 24, "rgb(162, 163, 174)"));
  EXPECT_TRUE(rig.Column(59, 0, 24, "rgb(162, 163, 174)"));
  EXPECT_EQ(rig.At(1, 23), "rgb(162, 163, 174)");
  EXPECT_EQ(rig.At(58, 23), "rgb(162, 163, 174)");
  // Bottom line from x = 2 to x = W - 2, end point excluded: columns 2..57.
  EXPECT_TRUE(rig.Row(23, 2, 58, "rgb(149, 150, 161)"));
  // White rim: top row 1 and columns 1 and 58, except the corner marks; no bottom side.
  EXPECT_TRUE(rig.Row(1, 2, 58, "rgb(255, 255, 255)"));
  EXPECT_TRUE(rig.Column(1, 2, 22, "rgb(255, 255, 255)"));
  EXPECT_TRUE(rig.Column(58, 2, 22, "rgb(255, 255, 255)"));
  EXPECT_TRUE(rig.Corners("rgb(226, 227, 238)"));
  // Gloss white -> B over 12 rows (n = 11); row 2 is step 2:
  //   red 255 + 2 * (213 - 255) div 11 = 255 - 84 div 11 = 255 - 7 = 248
  //   green 255 - 82 div 11 = 248, blue 255 - 60 div 11 = 250
  EXPECT_TRUE(rig.Row(2, 2, 58, "rgb(248, 248, 250)"));
  // Row M - 1 = 11 is the last step: B itself; the lower part is B throughout.
  EXPECT_TRUE(rig.Row(11, 2, 58, "rgb(213, 214, 225)"));
  for (int y = 12; y < 23; ++y) EXPECT_TRUE(rig.Row(y, 2, 58, "rgb(213, 214, 225)"));
  EXPECT_EQ(rig.At(1, 22), "rgb(226, 227, 238)");
}

TEST(WhiteGloss, NormalLookWithRegionAndSilverScheme) {
  Rig rig(ButtonStyle::WhiteGloss, kSilverBack);
  rig.Draw(ButtonState::Normal);
  ExpectRestingLook(rig);
  // The normal look rebuilds the rounded region (corner ellipse 3) on the cached size.
  ASSERT_EQ(rig.host.regions.size(), 1u);
  EXPECT_EQ(rig.host.regions[0], (RegionShape{true, 61, 25, 3}));
  EXPECT_TRUE(rig.FocusFrames().empty());
}

TEST(WhiteGloss, HotLookEqualsNormalWithoutRebuildingTheRegion) {
  Rig rig(ButtonStyle::WhiteGloss, kSilverBack);
  rig.Draw(ButtonState::Normal);
  const std::vector<Colour> normal = rig.Snapshot();
  rig.host.regions.clear();
  rig.in.mouseOver = true;
  rig.Draw(ButtonState::Hot);
  ExpectRestingLook(rig);
  EXPECT_EQ(rig.Snapshot(), normal);
  EXPECT_TRUE(rig.host.regions.empty());
}

TEST(WhiteGloss, PressedLookDarkensGlossOutlineAndBottomLine) {
  Rig rig(ButtonStyle::WhiteGloss, kSilverBack);
  rig.Draw(ButtonState::Down);
  EXPECT_TRUE(rig.host.regions.empty());
  EXPECT_TRUE(rig.Column(0, 0, 24, "rgb(154, 155, 166)"));
  EXPECT_TRUE(rig.Row(0, 0, 60, "rgb(154, 155, 166)"));
  EXPECT_TRUE(rig.Row(23, 2, 58, "rgb(111, 112, 123)"));
  EXPECT_TRUE(rig.Row(1, 2, 58, "rgb(255, 255, 255)"));
  // The pressed corners are the same S(+0.05) as in every look.
  EXPECT_TRUE(rig.Corners("rgb(226, 227, 238)"));
  // Gloss white -> rgb(187, 188, 199), n = 11; row 2:
  //   red 255 + 2 * (-68) div 11 = 255 - 12 = 243, green 255 - 134 div 11 = 243,
  //   blue 255 - 112 div 11 = 245
  EXPECT_TRUE(rig.Row(2, 2, 58, "rgb(243, 243, 245)"));
  EXPECT_TRUE(rig.Row(11, 2, 58, "rgb(187, 188, 199)"));
  // Lower part laid out 24 rows high from row 12 (n = 23): row 12 is step 0, row 22 step 10:
  //   red 187 + 10 * 13 div 23 = 187 + 5 = 192, green 193, blue 204
  EXPECT_TRUE(rig.Row(12, 2, 58, "rgb(187, 188, 199)"));
  EXPECT_TRUE(rig.Row(22, 2, 58, "rgb(192, 193, 204)"));
}

TEST(WhiteGloss, DisabledButtonIsDrawnAsNormalInEveryState) {
  Rig rig(ButtonStyle::WhiteGloss, kSilverBack);
  rig.Draw(ButtonState::Normal);
  const std::vector<Colour> normal = rig.Snapshot();
  rig.in.enabled = false;
  for (int state : {0, 1, 2}) {
    SCOPED_TRACE(state);
    rig.host.regions.clear();
    rig.in.mouseOver = state != 0;
    rig.Draw(state);
    EXPECT_EQ(rig.Snapshot(), normal);
    // Treated as the normal state, so the region is rebuilt as well.
    EXPECT_EQ(rig.host.regions.size(), 1u);
  }
}

TEST(WhiteGloss, UnknownStateDrawsOnlyCornersAndFocus) {
  Rig rig(ButtonStyle::WhiteGloss, kSilverBack);
  rig.in.hasFocus = true;
  rig.in.parentActive = true;
  rig.Draw(5);
  EXPECT_EQ(rig.At(30, 12), RgbText(kCleared));
  EXPECT_EQ(rig.At(0, 0), RgbText(kCleared));
  EXPECT_TRUE(rig.Corners("rgb(226, 227, 238)"));
  EXPECT_EQ(rig.FocusFrames().size(), 1u);
}

TEST(WhiteGloss, FocusFrameNeedsActiveParentShowFocusRectAndFocusOrDefault) {
  Rig rig(ButtonStyle::WhiteGloss, kSilverBack);
  rig.in.showFocusRect = true;
  rig.in.parentActive = true;
  const Rect frame{3, 3, 57, 21};

  rig.in.hasFocus = true;
  rig.Draw(ButtonState::Normal);
  ASSERT_EQ(rig.FocusFrames().size(), 1u);
  EXPECT_EQ(rig.FocusFrames()[0], frame);

  // A default button without the focus gets it too, in every look.
  rig.in.hasFocus = false;
  rig.in.isDefault = true;
  for (int state : {0, 1, 2}) {
    rig.Draw(state);
    ASSERT_EQ(rig.FocusFrames().size(), 1u) << state;
    EXPECT_EQ(rig.FocusFrames()[0], frame);
  }

  rig.in.parentActive = false;
  rig.Draw(ButtonState::Normal);
  EXPECT_TRUE(rig.FocusFrames().empty());

  rig.in.parentActive = true;
  rig.in.showFocusRect = false;
  rig.in.hasFocus = true;
  rig.Draw(ButtonState::Normal);
  EXPECT_TRUE(rig.FocusFrames().empty());

  rig.in.showFocusRect = true;
  rig.in.hasFocus = false;
  rig.in.isDefault = false;
  rig.Draw(ButtonState::Normal);
  EXPECT_TRUE(rig.FocusFrames().empty());
}

TEST(WhiteGloss, RimAndOutlineGoOverThePicture) {
  Rig rig(ButtonStyle::WhiteGloss, kSilverBack);
  const Colour picture = Rgb(10, 20, 30);
  rig.CoverWithPicture(picture);
  rig.Draw(ButtonState::Down);
  // The pressed look does not move the picture: it still covers the face inside the rim.
  EXPECT_EQ(rig.At(2, 2), RgbText(picture));
  EXPECT_EQ(rig.At(57, 22), RgbText(picture));
  EXPECT_EQ(rig.At(1, 12), "rgb(255, 255, 255)");
  EXPECT_EQ(rig.At(0, 12), "rgb(154, 155, 166)");
  EXPECT_EQ(rig.At(30, 23), "rgb(111, 112, 123)");
}

}  // namespace
}  // namespace quillon::render::styles_b
