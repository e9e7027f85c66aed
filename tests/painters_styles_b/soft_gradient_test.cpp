// SoftGradient: face, band, gap row, lower gradient, outline and corners of every look.
#include "rig.h"

namespace quillon::render::styles_b {
namespace {

// The Blue scheme's BackColor rgb(173, 209, 255) on 60 x 24. Mix(B, white) = rgb(214, 232, 255)
// (half-sums 214, 232, 255). The lower gradient is laid out 23 rows high from row 6 (n = 22);
// row 22 is its step 16 and row 23 the outline.
const Colour kBlueBack = Rgb(173, 209, 255);

struct Expected {
  const char* face;       // rows 5 (the gap)
  const char* bandRow1;   // step 1 of 4 of the band
  const char* lowerRow6;  // step 0
  const char* lowerRow22; // step 16 of 22
  const char* outline;
  const char* corners;
};

void ExpectLook(const Rig& rig, const Expected& e) {
  EXPECT_TRUE(rig.Row(1, 2, 58, e.bandRow1));
  // Step 4 of the band is B itself.
  EXPECT_TRUE(rig.Row(4, 1, 59, "rgb(173, 209, 255)"));
  EXPECT_TRUE(rig.Row(5, 1, 59, e.face));
  EXPECT_TRUE(rig.Row(6, 1, 59, e.lowerRow6));
  EXPECT_TRUE(rig.Row(22, 2, 58, e.lowerRow22));
  EXPECT_TRUE(rig.Row(0, 0, 60, e.outline));
  EXPECT_TRUE(rig.Row(23, 0, 60, e.outline));
  EXPECT_TRUE(rig.Column(0, 0, 24, e.outline));
  EXPECT_TRUE(rig.Column(59, 0, 24, e.outline));
  EXPECT_TRUE(rig.Corners(e.corners));
}

TEST(SoftGradient, NormalLookOfTheBlueScheme) {
  Rig rig(ButtonStyle::SoftGradient, kBlueBack);
  rig.Draw(ButtonState::Normal);
  // face S(-0.03) = -8 -> rgb(165, 201, 247)
  // band from ShiftColour(rgb(214, 232, 255), +0.1) = rgb(240, 255, 255) to B, n = 4, row 1:
  //   red 240 + (173 - 240) div 4 = 240 - 16 = 224, green 255 - 46 div 4 = 244, blue 255
  // lower from S(-0.05) = -13 -> rgb(160, 196, 242) to Mix(white, S(+0.1) = rgb(199, 235, 255))
  //   = rgb(227, 245, 255); row 22: red 160 + 16 * 67 div 22 = 160 + 48 = 208,
  //   green 196 + 16 * 49 div 22 = 196 + 35 = 231, blue 242 + 16 * 13 div 22 = 242 + 9 = 251
  // outline S(-0.33) = -84 -> rgb(89, 125, 171); corners S(-0.36) = -92 -> rgb(81, 117, 163)
  ExpectLook(rig, {"rgb(165, 201, 247)", "rgb(224, 244, 255)", "rgb(160, 196, 242)",
                   "rgb(208, 231, 251)", "rgb(89, 125, 171)", "rgb(81, 117, 163)"});
  // Steps 2 and 3 of the band (step 0 lies under the outline):
  //   red 240 - 134 div 4 = 207, 240 - 201 div 4 = 190; green 255 - 92 div 4 = 232, 255 - 138 div 4 = 221
  EXPECT_TRUE(rig.Row(2, 2, 58, "rgb(207, 232, 255)"));
  EXPECT_TRUE(rig.Row(3, 2, 58, "rgb(190, 221, 255)"));
  ASSERT_EQ(rig.host.regions.size(), 1u);
  EXPECT_EQ(rig.host.regions[0], (RegionShape{true, 61, 25, 4}));
}

TEST(SoftGradient, HotLookBrightensBandAndLowerEnd) {
  Rig rig(ButtonStyle::SoftGradient, kBlueBack);
  rig.Draw(ButtonState::Hot);
  // band from ShiftColour(rgb(214, 232, 255), +0.15) = +38 -> rgb(252, 255, 255), row 1:
  //   red 252 + (173 - 252) div 4 = 252 - 19 = 233, green 244, blue 255
  // lower to Mix(white, S(+0.2) = rgb(224, 255, 255)) = rgb(240, 255, 255) (239.5 -> 240);
  //   row 22: red 160 + 16 * 80 div 22 = 160 + 58 = 218, green 196 + 16 * 59 div 22 = 196 + 42
  //   = 238, blue 251
  // outline S(-0.28) = -71 -> rgb(102, 138, 184)
  ExpectLook(rig, {"rgb(165, 201, 247)", "rgb(233, 244, 255)", "rgb(160, 196, 242)",
                   "rgb(218, 238, 251)", "rgb(102, 138, 184)", "rgb(81, 117, 163)"});
  EXPECT_TRUE(rig.host.regions.empty());
}

TEST(SoftGradient, PressedLookDarkensLowerStartAndOutline) {
  Rig rig(ButtonStyle::SoftGradient, kBlueBack);
  rig.Draw(ButtonState::Down);
  // lower from S(-0.08) = -20 -> rgb(153, 189, 235) to Mix(white, S(+0.05) = rgb(186, 222, 255))
  //   = rgb(220, 238, 255) (220.5 -> 220, 238.5 -> 238); row 22: red 153 + 16 * 67 div 22 = 201,
  //   green 189 + 16 * 49 div 22 = 224, blue 235 + 16 * 20 div 22 = 235 + 14 = 249
  // outline and corners S(-0.36) = rgb(81, 117, 163)
  ExpectLook(rig, {"rgb(165, 201, 247)", "rgb(224, 244, 255)", "rgb(153, 189, 235)",
                   "rgb(201, 224, 249)", "rgb(81, 117, 163)", "rgb(81, 117, 163)"});
  EXPECT_TRUE(rig.host.regions.empty());
}

TEST(SoftGradient, DisabledLookInEveryStateWithBackColorGap) {
  Rig rig(ButtonStyle::SoftGradient, kBlueBack);
  rig.in.enabled = false;
  for (int state : {0, 1, 2, 7}) {
    SCOPED_TRACE(state);
    rig.Draw(state);
    // face B; band from ShiftColour(rgb(214, 232, 255), +0.05) = +13 -> rgb(227, 245, 255), row 1:
    //   red 227 - 54 div 4 = 214, green 245 - 36 div 4 = 236
    // lower from S(-0.02) = -5 -> rgb(168, 204, 250) to Mix(white, S(+0.08) = rgb(193, 229, 255))
    //   = rgb(224, 242, 255); row 22: red 168 + 16 * 56 div 22 = 208, green 204 + 16 * 38 div 22
    //   = 231, blue 250 + 16 * 5 div 22 = 253
    // outline S(-0.2) = -51 -> rgb(122, 158, 204); corners S(-0.23) = -59 -> rgb(114, 150, 196)
    ExpectLook(rig, {"rgb(173, 209, 255)", "rgb(214, 236, 255)", "rgb(168, 204, 250)",
                     "rgb(208, 231, 253)", "rgb(122, 158, 204)", "rgb(114, 150, 196)"});
  }
  // The disabled look never rebuilds the region, not even in the normal state.
  EXPECT_TRUE(rig.host.regions.empty());
}

TEST(SoftGradient, UnknownEnabledStateOnlyMarksTheCorners) {
  Rig rig(ButtonStyle::SoftGradient, kBlueBack);
  rig.Draw(4);
  EXPECT_TRUE(rig.Corners("rgb(81, 117, 163)"));
  EXPECT_EQ(rig.At(0, 0), RgbText(kCleared));
  EXPECT_EQ(rig.At(30, 5), RgbText(kCleared));
  EXPECT_EQ(rig.At(30, 12), RgbText(kCleared));
}

TEST(SoftGradient, SixPixelButtonShowsBandAndOutlineOnly) {
  Rig rig(ButtonStyle::SoftGradient, kBlueBack, 60, 6);
  rig.Draw(ButtonState::Normal);
  // Rows 1 to 4 are the band as on a tall button; row 5 (the gap) is the outline's bottom side.
  EXPECT_TRUE(rig.Row(1, 2, 58, "rgb(224, 244, 255)"));
  EXPECT_TRUE(rig.Row(2, 2, 58, "rgb(207, 232, 255)"));
  EXPECT_TRUE(rig.Row(3, 2, 58, "rgb(190, 221, 255)"));
  EXPECT_TRUE(rig.Row(4, 2, 58, "rgb(173, 209, 255)"));
  EXPECT_TRUE(rig.Row(5, 0, 60, "rgb(89, 125, 171)"));
  EXPECT_TRUE(rig.Corners("rgb(81, 117, 163)"));
}

TEST(SoftGradient, OutlineGoesOverThePicture) {
  Rig rig(ButtonStyle::SoftGradient, kBlueBack);
  const Colour picture = Rgb(10, 20, 30);
  rig.CoverWithPicture(picture);
  rig.Draw(ButtonState::Hot);
  EXPECT_EQ(rig.At(1, 12), RgbText(picture));
  EXPECT_EQ(rig.At(30, 5), RgbText(picture));
  EXPECT_EQ(rig.At(0, 12), "rgb(102, 138, 184)");
  EXPECT_TRUE(rig.Corners("rgb(81, 117, 163)"));
}

}  // namespace
}  // namespace quillon::render::styles_b
