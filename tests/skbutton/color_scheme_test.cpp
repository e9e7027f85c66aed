#include <gtest/gtest.h>

#include <optional>

#include "color_schemes.h"
#include "rig.h"

namespace quillon::controls::testing {
namespace {

constexpr OleColour kFace = 0xC8D0D4;
constexpr OleColour kText = 0x102030;
constexpr OleColour kSentinel = 0x0A0B0C;

struct SchemeRig : Rig {
  SchemeRig() {
    site.systemColours = {{container::kColorBtnFace, kFace}, {container::kColorBtnText, kText},
                          {container::kColorInfoBk, 0xE1FFFF}};
    b().InitNew();
    ClearLog();
  }
};

// The BackColor table, written out from its rows; nullopt means "unchanged".
std::optional<OleColour> Expected(std::int32_t style, std::int32_t scheme) {
  if (style == 0 || style == 1 || style == 4 || style == 6 || style == 7 || style == 11 || style == 12) return kFace;
  if (scheme < 0 || scheme > 2) return std::nullopt;
  const std::uint32_t rows[][3] = {
      // Blue, Olive, Silver
      {0, 0, 0},                                                                   // 0
      {0, 0, 0},                                                                   // 1
      {Rgb(236, 235, 231), Rgb(243, 238, 219), Rgb(240, 241, 252)},                // 2 Rounded
      {Rgb(224, 236, 253), Rgb(232, 237, 222), Rgb(212 + 15, 212 + 15, 212 + 15)},  // 3 Glass, +0.06 is +15
      {0, 0, 0},                                                                   // 4
      {Rgb(202, 225, 252), Rgb(212, 214, 186), Rgb(160 + 38, 158 + 38, 186 + 38)},  // 5 GoldHover, +0.15 is +38
      {0, 0, 0},                                                                   // 6
      {0, 0, 0},                                                                   // 7
      {Rgb(173, 209, 255), Rgb(212, 214, 186), Rgb(224, 223, 227)},                // 8 OrangeGloss
      {Rgb(173, 209, 255), Rgb(212, 214, 186), Rgb(213, 214, 225)},                // 9 WhiteGloss
      {Rgb(173, 209, 255), Rgb(212, 214, 186), Rgb(224, 223, 227)},                // 10 SoftGradient
  };
  if (style >= 0 && style <= 10) return rows[style][scheme];
  return std::nullopt;  // 13 and out of range
}

TEST(ColourSchemes, BackColorTableForEveryStyleAndScheme) {
  for (std::int32_t style = -1; style <= 14; ++style) {
    for (std::int32_t scheme : {0, 1, 2, 3, 9}) {
      SchemeRig r;
      r.b().SetButtonStyle(style);
      r.b().SetBackColor(kSentinel);
      r.b().SetColorScheme(scheme);
      const auto want = Expected(style, scheme);
      EXPECT_EQ(r.b().BackColor(), want.value_or(kSentinel)) << "style " << style << " scheme " << scheme;
      EXPECT_EQ(r.b().ForeColor(), kText) << "every style and scheme resets ForeColor";
      EXPECT_EQ(r.b().ShowFocusRect(), style == 0 || style == 1 || style == 9) << style;
      EXPECT_EQ(r.b().ColorScheme(), scheme);
    }
  }
}

TEST(ColourSchemes, ChoosingAStylePicksItsDefaultScheme) {
  const std::int32_t blue[] = {0, 1, 2, 4, 6, 7, 8, 10};
  const std::int32_t silver[] = {3, 9};
  const std::int32_t keep[] = {5, 11, 12, 13, 14, -3};
  for (auto s : blue) {
    SchemeRig r;
    r.b().SetColorScheme(ColorScheme::Custom);
    r.b().SetButtonStyle(s);
    EXPECT_EQ(r.b().ColorScheme(), ColorScheme::Blue) << s;
  }
  for (auto s : silver) {
    SchemeRig r;
    r.b().SetColorScheme(ColorScheme::Olive);
    r.b().SetButtonStyle(s);
    EXPECT_EQ(r.b().ColorScheme(), ColorScheme::Silver) << s;
  }
  for (auto s : keep) {
    SchemeRig r;
    r.b().SetColorScheme(ColorScheme::Olive);
    r.b().SetButtonStyle(s);
    EXPECT_EQ(r.b().ColorScheme(), ColorScheme::Olive) << s;
  }
}

TEST(ColourSchemes, TheWorkedExamples) {
  {
    SchemeRig r;  // Glass on a fresh button
    r.b().SetButtonStyle(ButtonStyle::Glass);
    EXPECT_EQ(r.b().ColorScheme(), ColorScheme::Silver);
    EXPECT_EQ(r.b().BackColor(), 0xE3E3E3u);
    EXPECT_FALSE(r.b().ShowFocusRect());
  }
  {
    SchemeRig r;  // GoldHover while Custom keeps scheme and colour
    r.b().SetButtonStyle(ButtonStyle::Glass);
    r.b().SetBackColor(kSentinel);
    ASSERT_EQ(r.b().ColorScheme(), ColorScheme::Custom);
    r.b().SetShowFocusRect(true);
    r.b().SetButtonStyle(ButtonStyle::GoldHover);
    EXPECT_EQ(r.b().ColorScheme(), ColorScheme::Custom);
    EXPECT_EQ(r.b().BackColor(), kSentinel);
    EXPECT_FALSE(r.b().ShowFocusRect());
  }
  {
    SchemeRig r;  // Plain
    r.b().SetPicturePushOnHover(false);
    r.b().SetButtonStyle(ButtonStyle::Plain);
    EXPECT_EQ(r.b().ColorScheme(), ColorScheme::Blue);
    EXPECT_EQ(r.b().BackColor(), kFace);
    EXPECT_TRUE(r.b().PicturePushOnHover());
    EXPECT_FALSE(r.b().ShowFocusRect());
    r.b().SetButtonStyle(ButtonStyle::Glass);
    EXPECT_TRUE(r.b().PicturePushOnHover()) << "other styles leave PicturePushOnHover alone";
  }
  {
    SchemeRig r;  // WhiteGloss
    r.b().SetButtonStyle(ButtonStyle::WhiteGloss);
    EXPECT_EQ(r.b().ColorScheme(), ColorScheme::Silver);
    EXPECT_EQ(r.b().BackColor(), Rgb(213, 214, 225));
    EXPECT_TRUE(r.b().ShowFocusRect());
  }
  {
    SchemeRig r;  // Custom on Rounded
    r.b().SetButtonStyle(ButtonStyle::Rounded);
    r.b().SetBackColor(kSentinel);
    r.b().SetForeColor(0xFF);
    r.b().SetColorScheme(ColorScheme::Custom);
    EXPECT_EQ(r.b().BackColor(), kSentinel);
    EXPECT_EQ(r.b().ForeColor(), kText);
  }
  {
    SchemeRig r;  // Blue on a customised Classic
    r.b().SetButtonStyle(ButtonStyle::Classic);
    r.b().SetBackColor(kSentinel);
    r.b().SetColorScheme(ColorScheme::Blue);
    EXPECT_EQ(r.b().BackColor(), kFace);
  }
}

TEST(ColourSchemes, ApplyingASchemeReadsTheSystemColoursOfTheMoment) {
  SchemeRig r;
  r.b().SetButtonStyle(ButtonStyle::Flat);
  r.site.systemColours[container::kColorBtnFace] = 0x00FF00;
  r.site.systemColours[container::kColorBtnText] = 0x0000FF;
  EXPECT_EQ(r.b().BackColor(), kFace) << "a stored plain colour does not follow the system";
  r.b().SetColorScheme(ColorScheme::Blue);
  EXPECT_EQ(r.b().BackColor(), 0x00FF00u);
  EXPECT_EQ(r.b().ForeColor(), 0x0000FFu);
}

TEST(ShiftChannels, SinglePrecisionFactorsGiveTheTabledOffsets) {
  const std::pair<float, std::uint32_t> table[] = {
      {0.01f, 3},  {0.02f, 5},  {0.03f, 8},  {0.04f, 10}, {0.05f, 13}, {0.06f, 15}, {0.07f, 18}, {0.08f, 20},
      {0.09f, 23}, {0.1f, 26},  {0.14f, 36}, {0.15f, 38}, {0.2f, 51},  {0.22f, 56}, {0.25f, 64}, {0.3f, 77}};
  for (auto [f, offset] : table) {
    // Both an odd and an even channel, so a halfway case would show.
    EXPECT_EQ(ShiftChannels(0x000100, f), Rgb(offset, 1 + offset, 0 + offset)) << f;
    EXPECT_EQ(ShiftChannels(Rgb(255, 200, 100), -f), Rgb(255 - offset, 200 - offset, 100 - offset)) << f;
  }
  EXPECT_EQ(ShiftChannels(0x808080, -0.1f), 0x666666u);
  EXPECT_EQ(ShiftChannels(0x808080, 0.1f), 0x9A9A9Au);
  EXPECT_EQ(ShiftChannels(0xFFFFFF, 0.1f), 0xFFFFFFu);
  EXPECT_EQ(ShiftChannels(0x0A0A0A, -0.1f), 0x000000u);
}

}  // namespace
}  // namespace quillon::controls::testing
