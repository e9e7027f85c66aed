// Fonts and static text read from self-built movies and drawn at low quality, where a pixel is
// inside a glyph exactly when its centre is.
#include <gtest/gtest.h>

#include "display/player.h"
#include "text_writer.h"

namespace quillon::player {
namespace {

using namespace test;

constexpr Rgba kWhite{255, 255, 255, 255};

Canvas Play(const Bytes& file) {
  const auto loaded = LoadMovie(file);
  EXPECT_TRUE(loaded.movie);
  Player player(loaded.movie);
  player.Tick();
  Canvas c(loaded.movie->StageWidth(), loaded.movie->StageHeight(), {});
  player.Render(c, Quality::Low);
  return c;
}

// Pixels inside the listed boxes ([x0, x1) x [y0, y1)) have `in`, all others white.
::testing::AssertionResult Covers(const Canvas& c, const std::vector<std::array<int, 4>>& boxes, Rgba in) {
  for (int y = 0; y < c.height; ++y)
    for (int x = 0; x < c.width; ++x) {
      bool inside = false;
      for (const auto& b : boxes) inside = inside || (x >= b[0] && x < b[2] && y >= b[1] && y < b[3]);
      const Rgba want = inside ? in : kWhite, got = c.at(x, y);
      if (!(got == want))
        return ::testing::AssertionFailure() << "pixel (" << x << ", " << y << ") is " << int(got.r) << ","
                                             << int(got.g) << "," << int(got.b) << "," << int(got.a)
                                             << " where the text should give " << int(want.r) << ","
                                             << int(want.g) << "," << int(want.b);
    }
  return ::testing::AssertionSuccess();
}

// Two glyphs of a 400-twip (20 px) text: each square is half an em, 10 px; the first starts at
// the record's x (20 px) on its baseline (40 px), the second one advance (15 px) further.
Bytes TwoSquares(const TestFont& font, bool alpha, Rgb colour) {
  TextRun run;
  run.fontId = font.id;
  run.color = colour;
  run.x = 400;
  run.y = 800;
  run.height = 400;
  run.glyphs = {{0, 300}, {0, 300}};
  Place p;
  p.depth = 1;
  p.id = 2;
  return MovieFile(80, 60, {FontTag(font), StaticText(2, {run}, alpha), PlaceObject2(p), ShowFrame()});
}

TEST(StaticText, GlyphsSitOnTheBaselineAtTheirAdvances) {
  EXPECT_TRUE(Covers(Play(TwoSquares(TestFont{}, false, {255, 0, 0})), {{20, 30, 30, 40}, {35, 30, 45, 40}},
                     Rgba{255, 0, 0, 255}));
}

TEST(StaticText, DefineFont3OutlinesUseTheirTwentyTimesFinerEmSquare) {
  TestFont font;
  font.font3 = true;
  EXPECT_TRUE(Covers(Play(TwoSquares(font, false, {0, 0, 255})), {{20, 30, 30, 40}, {35, 30, 45, 40}},
                     Rgba{0, 0, 255, 255}));
}

TEST(StaticText, DefineText2ColoursBlendWithTheirAlpha) {
  // Half-transparent black over white: 255 * (1 - 128/255) rounds to 127.
  const Canvas c = Play(TwoSquares(TestFont{}, true, {0, 0, 0, 128}));
  const Rgba got = c.at(25, 35);
  EXPECT_NEAR(got.r, 127, 1) << "the text's alpha was not applied";
  EXPECT_EQ(c.at(32, 35), kWhite) << "the gap between the glyphs was painted";
}

TEST(StaticText, RecordsWithoutAnXOffsetContinueWhereTheLastEnded) {
  // Read back from the dictionary: the second record's x follows the first one's advances.
  TextRun a;
  a.x = 100;
  a.glyphs = {{0, 300}, {0, 200}};
  TextRun b = a;
  b.hasX = false;
  Bytes text = StaticText(2, {a, b}, false);
  const auto loaded = LoadMovie(MovieFile(40, 40, {FontTag(TestFont{}), text, ShowFrame()}));
  ASSERT_TRUE(loaded.movie);
  const auto* def = std::get_if<TextDef>(loaded.movie->Find(2));
  ASSERT_NE(def, nullptr);
  ASSERT_EQ(def->records.size(), 2u);
  EXPECT_EQ(def->records[0].x, 100);
  EXPECT_EQ(def->records[1].x, 600) << "the second record should start after 100 + 300 + 200 twips";
  EXPECT_EQ(def->records[0].glyphs[1].advance, 200);
}

TEST(Fonts, DefineFont2KeepsItsNameCodesLayoutAndOutlines) {
  TestFont font;
  font.codes = u"AB\u4e2d";
  font.name = "Squares";
  const auto loaded = LoadMovie(MovieFile(40, 40, {FontTag(font), ShowFrame()}));
  ASSERT_TRUE(loaded.movie);
  const auto* def = std::get_if<FontDef>(loaded.movie->Find(1));
  ASSERT_NE(def, nullptr);
  EXPECT_EQ(def->name, "Squares");
  EXPECT_EQ(def->emSquare, 1024);
  ASSERT_EQ(def->glyphs.size(), 3u);
  EXPECT_EQ(def->glyphs[2].code, 0x4e2d);
  EXPECT_EQ(def->glyphs[1].advance, 512);
  EXPECT_EQ(def->ascent, 800);
  EXPECT_EQ(def->descent, 200);
  ASSERT_EQ(def->outlines.size(), 3u);
  ASSERT_EQ(def->outlines[0].groups.size(), 1u);
  ASSERT_EQ(def->outlines[0].groups[0].paths.size(), 1u);
  EXPECT_EQ(def->outlines[0].groups[0].paths[0].edges.size(), 4u);
  EXPECT_EQ(def->outlines[0].groups[0].paths[0].edges[0].from.y, -512);
}

TEST(Fonts, DefineFontInfoNamesAFirstVersionFontAndMapsItsCodes) {
  // DefineFont: an offset table and one glyph; DefineFontInfo: name, flags and one code.
  Bytes font;
  U16(font, 7);
  U16(font, 2);
  Append(font, SquareGlyph(512));
  Bytes info;
  U16(info, 7);
  info.push_back(4);
  for (const char c : std::string("Tiny")) info.push_back(static_cast<std::uint8_t>(c));
  info.push_back(0x02 | 0x01);  // bold, wide codes
  U16(info, 'Z');
  const auto loaded = LoadMovie(MovieFile(40, 40, {Tag(10, font), Tag(13, info), ShowFrame()}));
  ASSERT_TRUE(loaded.movie);
  const auto* def = std::get_if<FontDef>(loaded.movie->Find(7));
  ASSERT_NE(def, nullptr);
  EXPECT_EQ(def->version, 1);
  EXPECT_EQ(def->name, "Tiny");
  EXPECT_TRUE(def->bold);
  ASSERT_EQ(def->glyphs.size(), 1u);
  EXPECT_EQ(def->glyphs[0].code, 'Z');
  EXPECT_EQ(def->outlines[0].groups[0].paths[0].edges.size(), 4u);
}

TEST(Fonts, AlignZonesAndRenderSettingsAreKept) {
  Bytes zones;
  U16(zones, 1);
  zones.push_back(0x40);  // medium hint
  zones.push_back(2);
  for (const unsigned half : {0x3C00u, 0x3800u, 0x0000u, 0x3C00u}) U16(zones, half);  // 1, 0.5, 0, 1
  zones.push_back(3);
  Bytes csm;
  U16(csm, 2);
  csm.push_back(0x40 | 0x08);  // advanced, pixel grid
  for (int i = 0; i < 8; ++i) csm.push_back(0);
  csm.push_back(0);
  TextRun run;
  run.glyphs = {{0, 100}};
  const auto loaded = LoadMovie(MovieFile(40, 40, {FontTag(TestFont{}), Tag(73, zones), StaticText(2, {run}, false),
                                                   Tag(74, csm), ShowFrame()}));
  ASSERT_TRUE(loaded.movie);
  const auto* font = std::get_if<FontDef>(loaded.movie->Find(1));
  ASSERT_NE(font, nullptr);
  EXPECT_EQ(font->alignHint, 1);
  ASSERT_EQ(font->alignZones.size(), 1u);
  ASSERT_EQ(font->alignZones[0].x.size(), 1u);
  EXPECT_EQ(font->alignZones[0].x[0].first, 1.0);
  EXPECT_EQ(font->alignZones[0].x[0].second, 0.5);
  const auto* text = std::get_if<TextDef>(loaded.movie->Find(2));
  ASSERT_NE(text, nullptr);
  ASSERT_TRUE(text->settings);
  EXPECT_TRUE(text->settings->advancedAntiAlias);
  EXPECT_EQ(text->settings->gridFit, 1);
}

}  // namespace
}  // namespace quillon::player
