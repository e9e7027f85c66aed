// GoldHover: the two-part resting face without outline, the gold, orange and latched faces in
// the navy outline.
#include "rig.h"

namespace quillon::render::styles_b {
namespace {

// The Blue scheme's BackColor rgb(202, 225, 252). S(+0.08) = +20 -> rgb(222, 245, 255);
// Mix(white, that) = rgb(238, 250, 255) (238.5 -> 238); S(-0.15) = -38 -> rgb(164, 187, 214).
const Colour kBlueBack = Rgb(202, 225, 252);
const char* const kNavy = "rgb(0, 0, 128)";

void ExpectNavyOutline(const Rig& rig) {
  const int w = rig.W(), h = rig.H();
  EXPECT_TRUE(rig.Row(0, 0, w, kNavy));
  EXPECT_TRUE(rig.Row(h - 1, 0, w, kNavy));
  EXPECT_TRUE(rig.Column(0, 0, h, kNavy));
  EXPECT_TRUE(rig.Column(w - 1, 0, h, kNavy));
}

// A full-height face over 24 rows (n = 23), checked at rows 1 and 22 inside the outline.
void ExpectFullFace(const Rig& rig, const char* row1, const char* row22) {
  EXPECT_TRUE(rig.Row(1, 1, 59, row1));
  EXPECT_TRUE(rig.Row(22, 1, 59, row22));
  ExpectNavyOutline(rig);
}

// rgb(254, 145, 78) -> rgb(255, 211, 142): row 1 red 254 + 1 div 23 = 254, green 145 + 66 div 23
// = 147, blue 78 + 64 div 23 = 80; row 22 red 254 + 22 div 23 = 254, green 145 + 1452 div 23 = 208,
// blue 78 + 1408 div 23 = 139.
const char* const kPressedRow1 = "rgb(254, 147, 80)";
const char* const kPressedRow22 = "rgb(254, 208, 139)";

TEST(GoldHover, RestingFaceOn24RowsWithoutOutline) {
  Rig rig(ButtonStyle::GoldHover, kBlueBack);
  rig.Draw(ButtonState::Normal);
  // Upper: rgb(238, 250, 255) -> B over M = 12 rows (n = 11). Row 0 shows: no outline at rest.
  EXPECT_TRUE(rig.Row(0, 0, 60, "rgb(238, 250, 255)"));
  // row 1: red 238 - 36 div 11 = 235, green 250 - 25 div 11 = 248, blue 255 - 3 div 11 = 255
  EXPECT_TRUE(rig.Row(1, 0, 60, "rgb(235, 248, 255)"));
  EXPECT_TRUE(rig.Row(11, 0, 60, "rgb(202, 225, 252)"));
  // Lower: B -> rgb(164, 187, 214) from row 12 over N = round(13) = 13 rows (n = 12); the last
  // visible row 23 is step 11: each channel - 418 div 12 = -34 -> rgb(168, 191, 218).
  EXPECT_TRUE(rig.Row(12, 0, 60, "rgb(202, 225, 252)"));
  EXPECT_TRUE(rig.Row(23, 0, 60, "rgb(168, 191, 218)"));
  EXPECT_EQ(rig.At(1, 1), "rgb(235, 248, 255)");  // no corner marks
  // The normal look rebuilds the rectangular region, measured afresh.
  ASSERT_EQ(rig.host.regions.size(), 1u);
  EXPECT_EQ(rig.host.regions[0], (RegionShape{false, 60, 24, 0}));
}

TEST(GoldHover, RestingFaceOn25Rows) {
  Rig rig(ButtonStyle::GoldHover, kBlueBack, 60, 25);
  rig.Draw(ButtonState::Normal);
  // M = round(12.5) = 12, N = round(13.5) = 14: lower n = 13, row 24 is step 12:
  //   each channel - 456 div 13 = -35 -> rgb(167, 190, 217).
  EXPECT_TRUE(rig.Row(11, 0, 60, "rgb(202, 225, 252)"));
  EXPECT_TRUE(rig.Row(12, 0, 60, "rgb(202, 225, 252)"));
  EXPECT_TRUE(rig.Row(24, 0, 60, "rgb(167, 190, 217)"));
}

TEST(GoldHover, HotLookIsPaleGoldInNavy) {
  Rig rig(ButtonStyle::GoldHover, kBlueBack);
  rig.in.mouseOver = true;
  rig.Draw(ButtonState::Hot);
  // rgb(255, 244, 204) -> rgb(255, 208, 145), n = 23: row 1 green 244 - 36 div 23 = 243, blue
  // 204 - 59 div 23 = 202; row 22 green 244 - 792 div 23 = 210, blue 204 - 1298 div 23 = 148.
  ExpectFullFace(rig, "rgb(255, 243, 202)", "rgb(255, 210, 148)");
  EXPECT_TRUE(rig.host.regions.empty());
}

TEST(GoldHover, PressedLookIsOrangeInNavyAlsoWhenDisabled) {
  Rig rig(ButtonStyle::GoldHover, kBlueBack);
  rig.Draw(ButtonState::Down);
  ExpectFullFace(rig, kPressedRow1, kPressedRow22);
  rig.in.enabled = false;
  rig.Draw(ButtonState::Down);
  ExpectFullFace(rig, kPressedRow1, kPressedRow22);
}

TEST(GoldHover, LatchedLookGoldAwayFromTheMouseOrangeUnderIt) {
  Rig rig(ButtonStyle::GoldHover, kBlueBack);
  rig.in.mode = 2;
  rig.in.value = true;
  for (int state : {0, 1, 2}) {
    SCOPED_TRACE(state);
    rig.in.mouseOver = false;
    rig.Draw(state);
    // rgb(255, 213, 140) -> rgb(255, 173, 85), darker at the bottom: row 1 green 213 - 40 div 23
    // = 212, blue 140 - 55 div 23 = 138; row 22 green 213 - 880 div 23 = 175, blue 140 - 1210 div
    // 23 = 88.
    ExpectFullFace(rig, "rgb(255, 212, 138)", "rgb(255, 175, 88)");
    rig.in.mouseOver = true;
    rig.Draw(state);
    ExpectFullFace(rig, kPressedRow1, kPressedRow22);
  }
  EXPECT_TRUE(rig.host.regions.empty());
}

TEST(GoldHover, UnknownStateHasNoFaceButTheOutline) {
  Rig rig(ButtonStyle::GoldHover, kBlueBack);
  rig.Draw(8);
  ExpectNavyOutline(rig);
  EXPECT_EQ(rig.At(30, 12), RgbText(kCleared));
  EXPECT_EQ(rig.At(1, 1), RgbText(kCleared));
}

TEST(GoldHover, OutlineGoesOverThePicture) {
  Rig rig(ButtonStyle::GoldHover, kBlueBack);
  const Colour picture = Rgb(10, 20, 30);
  rig.CoverWithPicture(picture);
  rig.Draw(ButtonState::Normal);
  EXPECT_EQ(rig.At(0, 0), RgbText(picture));
  rig.in.mode = 1;
  rig.in.value = true;
  rig.Draw(ButtonState::Normal);
  ExpectNavyOutline(rig);
  // The latched button is drawn pressed, whose content moves by (1, 1) in this style: the
  // picture reaches the right and bottom sides, which the outline covers again.
  EXPECT_EQ(rig.At(1, 1), RgbText(picture));
}

}  // namespace
}  // namespace quillon::render::styles_b
