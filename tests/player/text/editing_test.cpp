// Field content operations: replacing ranges, formatting ranges, reading range formats, and
// what typing passes through (restrict, maxChars).
#include <gtest/gtest.h>

#include "text/editing.h"

namespace quillon::player::text {
namespace {

Field Make(std::u16string_view s) {
  Field f;
  f.newFormat = DefaultFormat();
  SetText(f, s, f.newFormat);
  return f;
}

TextFormat Bold() {
  TextFormat f;
  f.bold = true;
  return f;
}

void ExpectCovering(const Field& f) {
  ASSERT_FALSE(f.spans.empty());
  EXPECT_EQ(f.spans.front().start, 0u);
  EXPECT_EQ(f.spans.back().end, f.text.size());
  for (std::size_t i = 1; i < f.spans.size(); ++i) {
    EXPECT_EQ(f.spans[i].start, f.spans[i - 1].end) << "spans leave no gaps";
    EXPECT_FALSE(f.spans[i].format == f.spans[i - 1].format) << "equal neighbours merge";
  }
}

TEST(FieldText, NewlinesBecomeCarriageReturns) {
  EXPECT_EQ(Make(u"a\nb\r\nc\rd").text, u"a\rb\rc\rd");
  EXPECT_EQ(FieldNewlines(u"\n\n"), u"\r\r");
}

TEST(FieldFormat, ApplyingAFormatSplitsAndMergesSpans) {
  Field f = Make(u"hello world");
  ApplyFormat(f, 6, 11, Bold());
  ExpectCovering(f);
  ASSERT_EQ(f.spans.size(), 2u);
  EXPECT_EQ(f.spans[1].start, 6u);
  EXPECT_TRUE(*f.spans[1].format.bold);
  EXPECT_EQ(*f.spans[1].format.font, "Times New Roman") << "members the format leaves unset stay";
  TextFormat plain;
  plain.bold = false;
  ApplyFormat(f, 0, 11, plain);
  ExpectCovering(f);
  EXPECT_EQ(f.spans.size(), 1u);
}

TEST(FieldFormat, ParagraphMembersCoverWholeParagraphs) {
  Field f = Make(u"ab\rcd\ref");
  TextFormat centre;
  centre.align = Align::Center;
  ApplyFormat(f, 4, 5, centre);  // inside "cd"
  EXPECT_EQ(*FormatAt(f, 0).align, Align::Left);
  EXPECT_EQ(*FormatAt(f, 3).align, Align::Center);
  EXPECT_EQ(*FormatAt(f, 5).align, Align::Center) << "the paragraph's own line end";
  EXPECT_EQ(*FormatAt(f, 6).align, Align::Left);
}

TEST(FieldFormat, RangeFormatUnsetsWhatDiffers) {
  Field f = Make(u"abcd");
  ApplyFormat(f, 2, 4, Bold());
  const TextFormat mixed = RangeFormat(f, 0, 4);
  EXPECT_FALSE(mixed.bold.has_value());
  EXPECT_EQ(*mixed.size, 12);
  EXPECT_TRUE(*RangeFormat(f, 2, 4).bold);
  EXPECT_TRUE(*RangeFormat(f, 3, 3).bold) << "an empty range reads the character at its start";
}

TEST(FieldEdit, ReplaceRangeShiftsSpansAndSelection) {
  Field f = Make(u"abcdef");
  ApplyFormat(f, 4, 6, Bold());
  f.selectionBegin = f.selectionEnd = 5;
  ReplaceRange(f, 1, 3, u"XYZW", f.newFormat);
  EXPECT_EQ(f.text, u"aXYZWdef");
  ExpectCovering(f);
  EXPECT_TRUE(*FormatAt(f, 6).bold) << "the bold part moved by the two units added";
  EXPECT_FALSE(*FormatAt(f, 5).bold);
  EXPECT_EQ(f.selectionEnd, 7u);
  ReplaceRange(f, 0, 100, u"", f.newFormat);
  EXPECT_EQ(f.text, u"");
  ASSERT_EQ(f.spans.size(), 1u);
  EXPECT_EQ(f.spans[0].end, 0u);
}

TEST(FieldInput, RestrictPatterns) {
  const std::optional<std::u16string> digits = u"0-9";
  EXPECT_TRUE(RestrictAllows(digits, u'5'));
  EXPECT_FALSE(RestrictAllows(digits, u'a'));
  const std::optional<std::u16string> notUpper = u"^A-Z";
  EXPECT_TRUE(RestrictAllows(notUpper, u'a'));
  EXPECT_FALSE(RestrictAllows(notUpper, u'Q'));
  const std::optional<std::u16string> mixed = u"A-Z^Q";
  EXPECT_TRUE(RestrictAllows(mixed, u'P'));
  EXPECT_FALSE(RestrictAllows(mixed, u'Q'));
  EXPECT_TRUE(RestrictAllows(u"\\-", u'-'));
  EXPECT_FALSE(RestrictAllows(u"", u'a')) << "an empty pattern allows nothing";
  EXPECT_TRUE(RestrictAllows(std::nullopt, u'a'));
}

TEST(FieldInput, TypedTextFitsRestrictAndMaxChars) {
  // Letters change case to fit; the rest drops.
  EXPECT_EQ(FilterTyped(u"ab1C", std::u16string(u"A-Z"), 0, 0, 0), u"ABC");
  // Five allowed, three there, one replaced: three more fit.
  EXPECT_EQ(FilterTyped(u"wxyz", std::nullopt, 5, 3, 1), u"wxy");
  EXPECT_EQ(FilterTyped(u"w", std::nullopt, 2, 2, 0), u"");
}

}  // namespace
}  // namespace quillon::player::text
