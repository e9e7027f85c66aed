// Layout of a known face: every character is a square glyph half an em wide with ascent 0.8
// and descent 0.2 em, so at 12 px a character advances 6 px and a line is 12 px high.
#include <gtest/gtest.h>

#include <memory>

#include "text/editing.h"
#include "text/layout.h"

namespace quillon::player::text {
namespace {

class SquareFace final : public Face {
 public:
  explicit SquareFace(bool device = true) : device_(device) {}
  double Ascent() const override { return 0.8; }
  double Descent() const override { return 0.2; }
  double Leading() const override { return 0; }
  int Glyph(char32_t ch) const override { return ch == U'#' ? -1 : static_cast<int>(ch); }
  double Advance(int) const override { return 0.5; }
  double Kerning(int left, int right) const override { return left == 'A' && right == 'V' ? -0.25 : 0; }
  const ShapeGeometry* Outline(int) const override { return &outline_; }
  bool IsDevice() const override { return device_; }

 private:
  bool device_;
  ShapeGeometry outline_;
};

class SquareFonts final : public FontSource {
 public:
  explicit SquareFonts(bool device = true) : face_(device) {}
  const Face* Device(std::string_view, bool, bool) const override { return &face_; }

 private:
  SquareFace face_;
};

const SquareFonts kFonts;

// A field of `widthPx` x `heightPx` at (10 px, 20 px) holding `text` at 12 px.
Field MakeField(std::u16string_view text, double widthPx = 200, double heightPx = 100) {
  Field f;
  f.xMin = 200, f.yMin = 400;
  f.xMax = f.xMin + widthPx * 20, f.yMax = f.yMin + heightPx * 20;
  TextFormat format = DefaultFormat();
  format.size = 12;
  f.newFormat = format;
  SetText(f, text, format);
  return f;
}

TEST(TextLayout, OneLineMeasuresItsAdvancesAndStartsInsideTheGutter) {
  const Layout l = LayoutField(MakeField(u"ab cd"), kFonts);
  ASSERT_EQ(l.lines.size(), 1u);
  EXPECT_DOUBLE_EQ(l.textWidth, 30);   // 5 characters of 6 px
  EXPECT_DOUBLE_EQ(l.textHeight, 12);  // 9.6 above the baseline, 2.4 below
  EXPECT_DOUBLE_EQ(l.lines[0].x, 2);
  EXPECT_DOUBLE_EQ(l.lines[0].y, 2);
  ASSERT_EQ(l.glyphs.size(), 4u) << "the space should take room but draw no glyph";
  EXPECT_DOUBLE_EQ(l.glyphs[2].x, 2 + 18);
  EXPECT_DOUBLE_EQ(l.glyphs[2].baseline, 2 + 9.6);
  EXPECT_EQ(l.glyphs[2].index, 3u);
}

TEST(TextLayout, EmptyTextMeasuresZeroButKeepsOneLine) {
  const Layout l = LayoutField(MakeField(u""), kFonts);
  EXPECT_EQ(l.textWidth, 0);
  EXPECT_EQ(l.textHeight, 0);
  EXPECT_EQ(l.lines.size(), 1u);
  EXPECT_EQ(l.maxScroll, 1);
}

TEST(TextLayout, NoFontsMeasureZeroAndPlaceNothing) {
  const Layout l = LayoutField(MakeField(u"abc"), FontSource{});
  EXPECT_EQ(l.textWidth, 0);
  EXPECT_TRUE(l.glyphs.empty());
}

TEST(TextLayout, ParagraphsStackWithTheirLeading) {
  Field f = MakeField(u"ab\rcde");
  f.spans[0].format.leading = 3;
  const Layout l = LayoutField(f, kFonts);
  ASSERT_EQ(l.lines.size(), 2u);
  EXPECT_EQ(l.lines[1].start, 3u);
  EXPECT_EQ(l.lines[1].end, 6u);
  EXPECT_DOUBLE_EQ(l.lines[1].y, 2 + 12 + 3);
  EXPECT_DOUBLE_EQ(l.textHeight, 12 + 3 + 12) << "the last line's leading is not part of the text";
  EXPECT_DOUBLE_EQ(l.textWidth, 18);
}

TEST(TextLayout, WordWrapBreaksAfterTheLastSpaceThatFits) {
  // The inner width is 30 px: "ab cd" fills it exactly, "ef" goes to the next line.
  Field f = MakeField(u"ab cd ef", 34);
  f.wordWrap = true;
  const Layout l = LayoutField(f, kFonts);
  ASSERT_EQ(l.lines.size(), 2u);
  EXPECT_EQ(l.lines[0].start, 0u);
  EXPECT_EQ(l.lines[1].start, 6u);
  EXPECT_DOUBLE_EQ(l.lines[0].width, 30) << "the space at the break should not count";
  EXPECT_DOUBLE_EQ(l.glyphs.back().x, 2 + 6);
  EXPECT_DOUBLE_EQ(l.glyphs.back().baseline, 2 + 12 + 9.6);
}

TEST(TextLayout, WordWrapSplitsAWordLongerThanTheLine) {
  Field f = MakeField(u"abcdefgh", 4 + 30);
  f.wordWrap = true;
  const Layout l = LayoutField(f, kFonts);
  ASSERT_EQ(l.lines.size(), 2u);
  EXPECT_EQ(l.lines[1].start, 5u);
}

TEST(TextLayout, WithoutWordWrapALongLineScrollsSideways) {
  const Layout l = LayoutField(MakeField(u"abcdefghij", 34), kFonts);
  ASSERT_EQ(l.lines.size(), 1u);
  EXPECT_DOUBLE_EQ(l.maxHScroll, 60 - 30);
}

TEST(TextLayout, AlignmentPlacesLinesInTheRoomLeft) {
  Field f = MakeField(u"abc", 100);
  f.spans[0].format.align = Align::Right;
  EXPECT_DOUBLE_EQ(LayoutField(f, kFonts).lines[0].x, 100 - 2 - 18);
  f.spans[0].format.align = Align::Center;
  EXPECT_DOUBLE_EQ(LayoutField(f, kFonts).lines[0].x, 2 + (96 - 18) / 2.0);
  f.spans[0].format.align = Align::Left;
  f.spans[0].format.leftMargin = 5;
  f.spans[0].format.indent = 4;
  EXPECT_DOUBLE_EQ(LayoutField(f, kFonts).lines[0].x, 2 + 5 + 4);
}

TEST(TextLayout, LetterSpacingAndKerningChangeAdvances) {
  Field f = MakeField(u"AVA");
  f.spans[0].format.letterSpacing = 2;
  EXPECT_DOUBLE_EQ(LayoutField(f, kFonts).textWidth, 3 * 8);
  f.spans[0].format.letterSpacing = 0;
  f.spans[0].format.kerning = true;
  EXPECT_DOUBLE_EQ(LayoutField(f, kFonts).textWidth, 18 - 3) << "A then V kerns by a quarter em";
}

TEST(TextLayout, DeviceGlyphsAdvanceByWholePixels) {
  Field f = MakeField(u"abc");
  f.spans[0].format.size = 13;  // half an em is 6.5 px
  const Layout device = LayoutField(f, kFonts);
  ASSERT_EQ(device.glyphs.size(), 3u);
  EXPECT_DOUBLE_EQ(device.glyphs[1].x, 2 + 7);
  EXPECT_DOUBLE_EQ(device.glyphs[2].x, 2 + 14);
  EXPECT_DOUBLE_EQ(device.textWidth, 21);
  const SquareFonts embedded(false);
  const Layout outlines = LayoutField(f, embedded);
  ASSERT_EQ(outlines.glyphs.size(), 3u);
  EXPECT_DOUBLE_EQ(outlines.glyphs[2].x, 2 + 13) << "a movie's own glyphs keep their exact advances";
}

TEST(TextLayout, PasswordFieldsShowStars) {
  Field f = MakeField(u"abc");
  f.password = true;
  const Layout l = LayoutField(f, kFonts);
  ASSERT_EQ(l.glyphs.size(), 3u);
  for (const PlacedGlyph& g : l.glyphs) EXPECT_EQ(g.glyph, '*');
}

TEST(TextLayout, AutoSizeFitsTheBoxToTheTextPlusTheGutters) {
  Field f = MakeField(u"abc", 100, 50);
  f.autoSize = AutoSize::Left;
  Layout l = LayoutField(f, kFonts);
  EXPECT_DOUBLE_EQ(l.xMin, 200);
  EXPECT_DOUBLE_EQ(l.xMax, 200 + (18 + 4) * 20);
  EXPECT_DOUBLE_EQ(l.yMax, 400 + (12 + 4) * 20);
  f.autoSize = AutoSize::Right;
  l = LayoutField(f, kFonts);
  EXPECT_DOUBLE_EQ(l.xMax, 200 + 100 * 20) << "right auto-size keeps the right edge";
  EXPECT_DOUBLE_EQ(l.xMin, l.xMax - 22 * 20);
  f.autoSize = AutoSize::Center;
  l = LayoutField(f, kFonts);
  EXPECT_DOUBLE_EQ((l.xMin + l.xMax) / 2, 200 + 50 * 20);
  // With word wrap the width stays and only the height follows the text.
  f.wordWrap = true;
  l = LayoutField(f, kFonts);
  EXPECT_DOUBLE_EQ(l.xMax - l.xMin, 100 * 20);
  EXPECT_DOUBLE_EQ(l.yMax - l.yMin, 16 * 20);
}

TEST(TextScroll, MaxScrollCountsTheLinesThatDoNotFit) {
  // 30 px inside the gutters hold two 12 px lines of five.
  Field f = MakeField(u"a\rb\rc\rd\re", 100, 34);
  Layout l = LayoutField(f, kFonts);
  EXPECT_EQ(l.maxScroll, 4);
  EXPECT_EQ(l.bottomScroll, 2);
  f.scroll = 2;
  l = LayoutField(f, kFonts);
  EXPECT_EQ(l.bottomScroll, 3);
  EXPECT_DOUBLE_EQ(l.LineTop(1, 2), 2) << "the second line shows at the top when scrolled by one";
  f.scroll = 9;
  EXPECT_EQ(LayoutField(f, kFonts).bottomScroll, 5) << "scroll past the end is held at maxscroll";
}

TEST(TextScroll, EverythingFittingGivesOneAndTheLastLine) {
  const Layout l = LayoutField(MakeField(u"a\rb\rc", 100, 100), kFonts);
  EXPECT_EQ(l.maxScroll, 1);
  EXPECT_EQ(l.bottomScroll, 3);
}

TEST(TextHitTest, APointFindsTheNearestCharacterBoundary) {
  const Field f = MakeField(u"abcd\refgh");
  const Layout l = LayoutField(f, kFonts);
  EXPECT_EQ(l.CharAt(f, 2 + 6 * 1.4, 5), 1u);
  EXPECT_EQ(l.CharAt(f, 2 + 6 * 1.6, 5), 2u);
  EXPECT_EQ(l.CharAt(f, 500, 5), 4u) << "right of a line is its end";
  EXPECT_EQ(l.CharAt(f, 0, 2 + 12 + 5), 5u) << "the second line starts after the '\\r'";
  EXPECT_EQ(l.LineOf(6), 1u);
  const LineMetrics m = MetricsOfLine(l, 1);
  EXPECT_DOUBLE_EQ(m.width, 24);
  EXPECT_DOUBLE_EQ(m.ascent, 9.6);
  EXPECT_DOUBLE_EQ(m.height, 12);
}

TEST(TextLayout, AnEmbeddedFaceKeepsItsAscentInWholeTwips) {
  // At 12.3 px the ascent is 9.84 px, 196.8 twips: embedded it drops to 196 (9.8 px), a device
  // face keeps it. The baseline sits that far below the line's top at 2 px.
  for (const bool device : {false, true}) {
    Field f = MakeField(u"ab");
    TextFormat format = f.newFormat;
    format.size = 12.3;
    SetText(f, u"ab", format);
    const Layout l = LayoutField(f, SquareFonts(device));
    ASSERT_FALSE(l.glyphs.empty());
    EXPECT_NEAR(l.glyphs[0].baseline, device ? 11.84 : 11.8, 1e-9) << (device ? "device" : "embedded");
  }
}

}  // namespace
}  // namespace quillon::player::text
