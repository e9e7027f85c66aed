// Colour arithmetic and the effect tables, checked against worked examples.
#include <gtest/gtest.h>

#include <cmath>

#include "colour.h"

namespace quillon::render {
namespace {

TEST(RoundHalfEven, TiesGoToTheEvenNeighbour) {
  EXPECT_EQ(RoundHalfEven(2.5), 2);
  EXPECT_EQ(RoundHalfEven(3.5), 4);
  EXPECT_EQ(RoundHalfEven(-2.5), -2);
  EXPECT_EQ(RoundHalfEven(-3.5), -4);
  EXPECT_EQ(RoundHalfEven(25.5), 26);
  EXPECT_EQ(RoundHalfEven(24.5), 24);
  EXPECT_EQ(RoundHalfEven(2.4999), 2);
  EXPECT_EQ(RoundHalfEven(-0.6), -1);
}

TEST(MixColours, HalfSumPerChannelTiesToEven) {
  EXPECT_EQ(MixColours(0x000000, 0xFFFFFF), 0x808080u);
  EXPECT_EQ(MixColours(0x808080, 0xF0F0F0), 0xB8B8B8u);
  // red 3.5 -> 4, green 2.5 -> 2, blue 1.5 -> 2
  EXPECT_EQ(MixColours(0x010203, 0x020304), 0x020204u);
  EXPECT_EQ(MixColours(Rgb(1, 2, 0), Rgb(2, 3, 255)), Rgb(2, 2, 128));
}

TEST(ShiftColour, LightensDarkensAndClamps) {
  EXPECT_EQ(ShiftColour(0x808080, -0.1f), 0x666666u);
  EXPECT_EQ(ShiftColour(0x808080, 0.1f), 0x9A9A9Au);
  EXPECT_EQ(ShiftColour(0xFFFFFF, 0.1f), 0xFFFFFFu);
  EXPECT_EQ(ShiftColour(0x0A0A0A, -0.1f), 0x000000u);
  // Values the schemes and painters rely on.
  EXPECT_EQ(ShiftColour(Rgb(212, 212, 212), 0.06f), Rgb(227, 227, 227));
  EXPECT_EQ(ShiftColour(Rgb(160, 158, 186), 0.15f), Rgb(198, 196, 224));
  EXPECT_EQ(ShiftColour(Rgb(0, 60, 116), 0.3f), Rgb(77, 137, 193));
  EXPECT_EQ(ShiftColour(Rgb(172, 225, 253), 0.01f), Rgb(175, 228, 255));
}

TEST(ShiftColour, EveryFactorGivesItsOffsetOnEveryChannelValue) {
  const struct { float factor; int offset; } table[] = {
      {0.01f, 3}, {0.02f, 5}, {0.03f, 8}, {0.04f, 10}, {0.05f, 13}, {0.06f, 15},
      {0.07f, 18}, {0.08f, 20}, {0.09f, 23}, {0.1f, 26}, {0.14f, 36}, {0.15f, 38},
      {0.2f, 51}, {0.22f, 56}, {0.25f, 64}, {0.3f, 77}};
  for (const auto& row : table) {
    for (int v = 0; v < 256; ++v) {
      const int up = std::min(255, v + row.offset);
      const int down = std::max(0, v - row.offset);
      const Colour grey = Rgb(v, v, v);
      ASSERT_EQ(ShiftColour(grey, row.factor), Rgb(up, up, up)) << row.factor << " on " << v;
      ASSERT_EQ(ShiftColour(grey, -row.factor), Rgb(down, down, down)) << -row.factor << " on " << v;
      // Channels are independent: red, green and blue each take the offset.
      ASSERT_EQ(ShiftColour(Rgb(v, 0, 255 - v), row.factor),
                Rgb(up, row.offset, std::min(255, 255 - v + row.offset)));
    }
  }
}

TEST(TranslateColour, ExplicitSystemAndInvalid) {
  FixedSystemColours system;
  system.Set(kColorBtnFace, Rgb(212, 208, 200));
  system.Set(kColorBtnText, Rgb(1, 2, 3));
  EXPECT_EQ(TranslateColour(Rgb(10, 20, 30), system), Rgb(10, 20, 30));
  EXPECT_EQ(TranslateColour(SystemColour(kColorBtnFace), system), Rgb(212, 208, 200));
  EXPECT_EQ(TranslateColour(0x80000012u, system), Rgb(1, 2, 3));
  EXPECT_EQ(TranslateColour(0x80000000u | 31u, system), kBadColour);
  EXPECT_EQ(TranslateColour(0x800000FFu, system), kBadColour);
  EXPECT_EQ(TranslateColour(0x40000000u, system), kBadColour);
  EXPECT_EQ(TranslateColour(0x02112233u, system), 0x112233u);
}

TEST(EffectTables, BrightenAndDarken) {
  const EffectTables t;
  EXPECT_EQ(t.light[0], 0);
  EXPECT_EQ(t.light[100], 114);
  EXPECT_EQ(t.light[221], 253);
  EXPECT_EQ(t.light[222], 255);
  EXPECT_EQ(t.light[255], 255);
  EXPECT_EQ(t.light[200], 229);
  EXPECT_EQ(t.dark[1], 0);
  EXPECT_EQ(t.dark[100], 85);
  EXPECT_EQ(t.dark[255], 217);
  EXPECT_EQ(t.dark[200], 170);
  for (int v = 0; v < 256; ++v) {
    ASSERT_GE(t.light[static_cast<std::size_t>(v)], v);
    ASSERT_LE(t.dark[static_cast<std::size_t>(v)], v);
  }
}

}  // namespace
}  // namespace quillon::render
