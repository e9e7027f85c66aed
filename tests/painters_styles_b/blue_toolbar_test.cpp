// BlueToolbar: flat at rest and disabled, fixed pale-blue gradients with outline, rim and
// corners under the mouse and pressed.
#include "rig.h"

namespace quillon::render::styles_b {
namespace {

const Colour kFace = Rgb(236, 233, 216);
const char* const kFaceText = "rgb(236, 233, 216)";
const char* const kOutline = "rgb(97, 158, 202)";
// ShiftColour(rgb(97, 158, 202), +0.3): +77 per channel, blue clamped -> rgb(174, 235, 255).
const char* const kCorners = "rgb(174, 235, 255)";
const char* const kWhite = "rgb(255, 255, 255)";

void ExpectOutlineRimAndCorners(const Rig& rig) {
  const int w = rig.W(), h = rig.H();
  EXPECT_TRUE(rig.Row(0, 0, w, kOutline));
  EXPECT_TRUE(rig.Row(h - 1, 0, w, kOutline));
  EXPECT_TRUE(rig.Column(0, 0, h, kOutline));
  EXPECT_TRUE(rig.Column(w - 1, 0, h, kOutline));
  EXPECT_TRUE(rig.Row(1, 2, w - 2, kWhite));
  EXPECT_TRUE(rig.Row(h - 2, 2, w - 2, kWhite));
  EXPECT_TRUE(rig.Column(1, 2, h - 2, kWhite));
  EXPECT_TRUE(rig.Column(w - 2, 2, h - 2, kWhite));
  EXPECT_TRUE(rig.Corners(kCorners));
}

TEST(BlueToolbar, NormalLookIsFlatBackColorWithoutOutline) {
  Rig rig(ButtonStyle::BlueToolbar, kFace);
  rig.Draw(ButtonState::Normal);
  for (int y = 0; y < 24; ++y) EXPECT_TRUE(rig.Row(y, 0, 60, kFaceText));
  ASSERT_EQ(rig.host.regions.size(), 1u);
  EXPECT_EQ(rig.host.regions[0], (RegionShape{true, 61, 25, 3}));
}

TEST(BlueToolbar, DisabledLookIsFlatWithBackColorCornersInEveryState) {
  Rig rig(ButtonStyle::BlueToolbar, kFace);
  rig.in.enabled = false;
  for (int state : {0, 1, 2, 9}) {
    SCOPED_TRACE(state);
    rig.Draw(state);
    for (int y = 0; y < 24; ++y) EXPECT_TRUE(rig.Row(y, 0, 60, kFaceText));
    EXPECT_TRUE(rig.Corners(kFaceText));
  }
  EXPECT_TRUE(rig.host.regions.empty());
}

TEST(BlueToolbar, HotLookOn24RowsTurnsPlainFromRow14) {
  Rig rig(ButtonStyle::BlueToolbar, kFace);
  rig.Draw(ButtonState::Hot);
  ExpectOutlineRimAndCorners(rig);
  EXPECT_TRUE(rig.host.regions.empty());
  // Gradient rgb(241, 249, 253) -> rgb(208, 236, 248) over rows 1..22 (n = 21).
  // Row 2 = step 1: red 241 - 33 div 21 = 240, green 249 - 13 div 21 = 249, blue 253 - 5 div 21 = 253.
  EXPECT_TRUE(rig.Row(2, 2, 58, "rgb(240, 249, 253)"));
  // Row 13 = step 12: red 241 - 396 div 21 = 241 - 18 = 223, green 249 - 156 div 21 = 242,
  // blue 253 - 60 div 21 = 251.
  EXPECT_TRUE(rig.Row(13, 2, 58, "rgb(223, 242, 251)"));
  // round(24 / 1.7) = round(14.1) = 14: from row 14 down one colour, up to the rim.
  for (int y = 14; y < 22; ++y) EXPECT_TRUE(rig.Row(y, 2, 58, "rgb(208, 236, 248)"));
}

TEST(BlueToolbar, HotLookOn25RowsTurnsPlainFromRow15) {
  Rig rig(ButtonStyle::BlueToolbar, kFace, 60, 25);
  rig.Draw(ButtonState::Hot);
  ExpectOutlineRimAndCorners(rig);
  // round(25 / 1.7) = round(14.7) = 15. Rows 1..23 (n = 22); row 14 = step 13 still shades:
  // red 241 - 429 div 22 = 241 - 19 = 222, green 249 - 169 div 22 = 242, blue 253 - 65 div 22 = 251.
  EXPECT_TRUE(rig.Row(14, 2, 58, "rgb(222, 242, 251)"));
  for (int y = 15; y < 23; ++y) EXPECT_TRUE(rig.Row(y, 2, 58, "rgb(208, 236, 248)"));
}

TEST(BlueToolbar, PressedLookIsDarkAtTheTopAndLightAtTheBottom) {
  Rig rig(ButtonStyle::BlueToolbar, kFace);
  rig.Draw(ButtonState::Down);
  ExpectOutlineRimAndCorners(rig);
  EXPECT_TRUE(rig.host.regions.empty());
  // rgb(176, 222, 241) -> rgb(219, 241, 249) over rows 1..22 (n = 21).
  // Row 2 = step 1: red 176 + 43 div 21 = 178, green 222 + 19 div 21 = 222, blue 241 + 8 div 21 = 241.
  EXPECT_TRUE(rig.Row(2, 2, 58, "rgb(178, 222, 241)"));
  // Row 21 = step 20: red 176 + 860 div 21 = 216, green 222 + 380 div 21 = 240, blue 241 + 160 div 21 = 248.
  EXPECT_TRUE(rig.Row(21, 2, 58, "rgb(216, 240, 248)"));
}

TEST(BlueToolbar, UnknownEnabledStateDrawsNothing) {
  Rig rig(ButtonStyle::BlueToolbar, kFace);
  rig.Draw(3);
  const std::vector<Colour> all = rig.Snapshot();
  for (Colour c : all) ASSERT_EQ(RgbText(c), RgbText(kCleared));
}

TEST(BlueToolbar, OutlineRimAndCornersGoOverThePicture) {
  Rig rig(ButtonStyle::BlueToolbar, kFace);
  const Colour picture = Rgb(10, 20, 30);
  rig.CoverWithPicture(picture);
  rig.Draw(ButtonState::Down);
  ExpectOutlineRimAndCorners(rig);
  EXPECT_EQ(rig.At(2, 2), RgbText(picture));
  EXPECT_EQ(rig.At(57, 21), RgbText(picture));
}

}  // namespace
}  // namespace quillon::render::styles_b
