// OrangeGloss: the split at height / 2.7, the resting, hot, pressed and latched colours and the
// outline's place before or after the caption.
#include "rig.h"

namespace quillon::render::styles_b {
namespace {

// The Blue scheme's BackColor; outline S(-0.34): round(86.7) = 87 -> rgb(86, 122, 168).
const Colour kBlueBack = Rgb(173, 209, 255);
const char* const kOutline = "rgb(86, 122, 168)";

// Rows of a 60 x H face, checked away from the outline columns.
struct Face {
  const char* upperRow1;  // step 1 of the upper gradient
  const char* upperLast;  // row P - 1: its last step
  const char* lowerFirst; // row P: the lower gradient's from colour
  const char* lowerLate;  // row H - 2
};

void ExpectFace(const Rig& rig, int p, const Face& f) {
  const int h = rig.H();
  EXPECT_TRUE(rig.Row(1, 1, 59, f.upperRow1));
  EXPECT_TRUE(rig.Row(p - 1, 1, 59, f.upperLast));
  EXPECT_TRUE(rig.Row(p, 1, 59, f.lowerFirst));
  EXPECT_TRUE(rig.Row(h - 2, 1, 59, f.lowerLate));
  EXPECT_TRUE(rig.Row(0, 0, 60, kOutline));
  EXPECT_TRUE(rig.Row(h - 1, 0, 60, kOutline));
  EXPECT_TRUE(rig.Column(0, 0, h, kOutline));
  EXPECT_TRUE(rig.Column(59, 0, h, kOutline));
}

// On 24 rows: P = round(8.9) = 9, Q = round(15.1) = 15; upper n = 8, lower n = 14, row 22 is
// step 13 of the lower gradient.
//   hot:     upper rgb(255, 255, 225) -> rgb(255, 234, 172): row 1 green 255 - 21 div 8 = 253,
//            blue 225 - 53 div 8 = 219; lower rgb(255, 215, 103) -> rgb(255, 228, 153):
//            row 22 green 215 + 169 div 14 = 227, blue 103 + 650 div 14 = 149
//   pressed: upper rgb(255, 193, 88) -> rgb(255, 175, 81): row 1 green 193 - 18 div 8 = 191,
//            blue 88 - 7 div 8 = 88; lower rgb(255, 143, 70) -> rgb(255, 211, 95):
//            row 22 green 143 + 884 div 14 = 206, blue 70 + 325 div 14 = 93
//   latched: upper rgb(255, 217, 169) -> rgb(255, 192, 111): row 1 green 217 - 25 div 8 = 214,
//            blue 169 - 58 div 8 = 162; lower rgb(255, 171, 63) -> rgb(255, 225, 117):
//            row 22 green 171 + 702 div 14 = 221, blue 63 + 702 div 14 = 113
const Face kHot{"rgb(255, 253, 219)", "rgb(255, 234, 172)", "rgb(255, 215, 103)", "rgb(255, 227, 149)"};
const Face kPressed{"rgb(255, 191, 88)", "rgb(255, 175, 81)", "rgb(255, 143, 70)", "rgb(255, 206, 93)"};
const Face kLatched{"rgb(255, 214, 162)", "rgb(255, 192, 111)", "rgb(255, 171, 63)", "rgb(255, 221, 113)"};

TEST(OrangeGloss, NormalLookDerivesFromBackColorAndKeepsTheRegion) {
  Rig rig(ButtonStyle::OrangeGloss, kBlueBack);
  rig.Draw(ButtonState::Normal);
  // Upper from Mix(S(+0.09) = rgb(196, 232, 255), white) = rgb(226, 244, 255) (225.5 -> 226,
  // 243.5 -> 244) to Mix(S(+0.07) = rgb(191, 227, 255), B) = rgb(182, 218, 255); row 1:
  //   red 226 - 44 div 8 = 221, green 244 - 26 div 8 = 241.
  // Lower from B to S(+0.03) = rgb(181, 217, 255); row 22: red 173 + 104 div 14 = 180, green 216.
  ExpectFace(rig, 9, {"rgb(221, 241, 255)", "rgb(182, 218, 255)", "rgb(173, 209, 255)", "rgb(180, 216, 255)"});
  // A rectangular region is the dispatcher's; this painter never rebuilds it.
  EXPECT_TRUE(rig.host.regions.empty());
}

TEST(OrangeGloss, HotAndPressedLooksUseFixedColours) {
  Rig rig(ButtonStyle::OrangeGloss, kBlueBack);
  rig.in.mouseOver = true;
  rig.Draw(ButtonState::Hot);
  ExpectFace(rig, 9, kHot);
  rig.Draw(ButtonState::Down);
  ExpectFace(rig, 9, kPressed);
  EXPECT_TRUE(rig.host.regions.empty());
}

TEST(OrangeGloss, DisabledButtonHasNoLookOfItsOwn) {
  Rig rig(ButtonStyle::OrangeGloss, kBlueBack);
  rig.in.enabled = false;
  rig.Draw(ButtonState::Down);
  ExpectFace(rig, 9, kPressed);
}

TEST(OrangeGloss, SplitRowsFor25And33Rows) {
  {
    // H = 25: P = round(9.26) = 9, Q = round(15.74) = 16, lower n = 15; row 23 is step 14:
    //   green 143 + 14 * 68 div 15 = 143 + 63 = 206, blue 70 + 350 div 15 = 93.
    Rig rig(ButtonStyle::OrangeGloss, kBlueBack, 60, 25);
    rig.Draw(ButtonState::Down);
    ExpectFace(rig, 9, {"rgb(255, 191, 88)", "rgb(255, 175, 81)", "rgb(255, 143, 70)", "rgb(255, 206, 93)"});
  }
  {
    // H = 33: P = round(12.2) = 12, Q = round(20.8) = 21, upper n = 11, lower n = 20.
    //   row 1: green 193 - 18 div 11 = 192, blue 88 - 7 div 11 = 88;
    //   row 31 = step 19: green 143 + 1292 div 20 = 207, blue 70 + 475 div 20 = 93.
    Rig rig(ButtonStyle::OrangeGloss, kBlueBack, 60, 33);
    rig.Draw(ButtonState::Down);
    ExpectFace(rig, 12, {"rgb(255, 192, 88)", "rgb(255, 175, 81)", "rgb(255, 143, 70)", "rgb(255, 207, 93)"});
  }
}

TEST(OrangeGloss, LatchedLookAwayFromAndUnderTheMouse) {
  Rig rig(ButtonStyle::OrangeGloss, kBlueBack);
  rig.in.mode = 1;
  rig.in.value = true;
  for (int state : {0, 1, 2}) {
    SCOPED_TRACE(state);
    rig.in.mouseOver = false;
    rig.Draw(state);
    ExpectFace(rig, 9, kLatched);
    // Under the mouse the second pass uses the pressed colours.
    rig.in.mouseOver = true;
    rig.Draw(state);
    ExpectFace(rig, 9, kPressed);
  }
}

TEST(OrangeGloss, OutlineUnderTheContentWhenLatchedOverItOtherwise) {
  Rig rig(ButtonStyle::OrangeGloss, kBlueBack);
  const Colour picture = Rgb(10, 20, 30);
  rig.CoverWithPicture(picture);
  rig.Draw(ButtonState::Down);
  EXPECT_EQ(rig.At(0, 12), kOutline);
  EXPECT_EQ(rig.At(30, 0), kOutline);
  EXPECT_EQ(rig.At(30, 12), RgbText(picture));
  rig.in.mode = 1;
  rig.in.value = true;
  rig.Draw(ButtonState::Normal);
  EXPECT_EQ(rig.At(0, 12), RgbText(picture));
  EXPECT_EQ(rig.At(30, 0), RgbText(picture));
}

TEST(OrangeGloss, SeparatorShadesTheSecondLatchedPass) {
  // The separator reads the face at (7, 7) when the caption is drawn: under the mouse that is
  // already the pressed colours' upper gradient, row 7 = step 7 of 8:
  //   green 193 - 7 * 18 div 8 = 193 - 15 = 178, blue 88 - 49 div 8 = 82 -> rgb(255, 178, 82);
  // ShiftColour by -0.1 (-26) -> rgb(229, 152, 56), by +0.1 -> rgb(255, 204, 108).
  Rig rig(ButtonStyle::OrangeGloss, kBlueBack);
  rig.in.mode = 1;
  rig.in.value = true;
  rig.in.mouseOver = true;
  rig.in.dropDownSeparator = true;
  rig.Draw(ButtonState::Hot);
  EXPECT_TRUE(rig.Column(44, 3, 21, "rgb(229, 152, 56)"));
  EXPECT_TRUE(rig.Column(45, 3, 21, "rgb(255, 204, 108)"));
}

TEST(OrangeGloss, UnknownStateDrawsNothing) {
  Rig rig(ButtonStyle::OrangeGloss, kBlueBack);
  rig.Draw(6);
  for (Colour c : rig.Snapshot()) ASSERT_EQ(RgbText(c), RgbText(kCleared));
}

}  // namespace
}  // namespace quillon::render::styles_b
