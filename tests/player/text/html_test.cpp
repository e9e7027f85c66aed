// HTML text of fields: tags to formatted spans, and content back to htmlText.
#include <gtest/gtest.h>

#include "text/editing.h"
#include "text/html.h"

namespace quillon::player::text {
namespace {

TextFormat Base() {
  TextFormat f = DefaultFormat();
  f.font = "Arial";
  f.size = 10;
  return f;
}

HtmlContent Parse(std::u16string_view html, bool multiline = false, bool condense = false) {
  HtmlOptions o;
  o.multiline = multiline;
  o.condenseWhite = condense;
  return ParseHtml(html, Base(), o);
}

std::u16string RoundTrip(std::u16string_view html, bool multiline = false) {
  const HtmlContent c = Parse(html, multiline);
  return WriteHtml(c.text, c.spans);
}

const std::u16string kOpen = u"<P ALIGN=\"LEFT\"><FONT FACE=\"Arial\" SIZE=\"10\" COLOR=\"#000000\" LETTERSPACING=\"0\" KERNING=\"0\">";
const std::u16string kClose = u"</FONT></P>";

TEST(HtmlParse, TagsSetTheFormatOfTheirText) {
  const HtmlContent c = Parse(u"a<b>b</b><i>c</i><u>d</u><font color=\"#FF0000\" size=\"20\" face=\"Serif\">e</font>");
  EXPECT_EQ(c.text, u"abcde");
  ASSERT_EQ(c.spans.size(), 5u) << "one span per differently formatted letter";
  EXPECT_FALSE(*c.spans[0].format.bold);
  EXPECT_TRUE(*c.spans[1].format.bold);
  EXPECT_TRUE(*c.spans[2].format.italic);
  EXPECT_TRUE(*c.spans[3].format.underline);
  EXPECT_EQ(*c.spans[4].format.color, 0xFF0000u);
  EXPECT_EQ(*c.spans[4].format.size, 20);
  EXPECT_EQ(*c.spans[4].format.font, "Serif");
  EXPECT_EQ(c.spans[4].start, 4u);
  EXPECT_EQ(c.spans[4].end, 5u);
}

TEST(HtmlParse, RelativeSizesCountFromTheEnclosingFont) {
  const HtmlContent c = Parse(u"<font size=\"12\">a<font size=\"-1\">b<font size=\"+3\">c</font></font></font>");
  ASSERT_EQ(c.spans.size(), 3u);
  EXPECT_EQ(*c.spans[0].format.size, 12);
  EXPECT_EQ(*c.spans[1].format.size, 11);
  EXPECT_EQ(*c.spans[2].format.size, 14);
  // Only the leading whole number counts; no number leaves the size alone.
  EXPECT_EQ(*Parse(u"<font size=\"7.9\">a</font>").spans[0].format.size, 7);
  EXPECT_EQ(*Parse(u"<font size=\"big\">a</font>").spans[0].format.size, 10);
}

TEST(HtmlParse, ParagraphsEndLinesOnlyInMultilineFields) {
  EXPECT_EQ(Parse(u"<p>one</p><p>two</p>", true).text, u"one\rtwo\r");
  EXPECT_EQ(Parse(u"<p>one</p><p>two</p>", false).text, u"onetwo");
  EXPECT_EQ(Parse(u"a<br>b", true).text, u"a\rb");
  EXPECT_EQ(Parse(u"a<br>b", false).text, u"ab");
  // Line ends in the text itself always count, "\r\n" as one.
  EXPECT_EQ(Parse(u"a\nb\r\nc", false).text, u"a\rb\rc");
}

TEST(HtmlParse, ParagraphSettingsComeFromTheFirstCharacter) {
  const HtmlContent c = Parse(u"<p align=\"center\">ab</p>cd", true);
  EXPECT_EQ(c.text, u"ab\rcd");
  for (const Span& s : c.spans) {
    const bool first = s.start < 3;
    EXPECT_EQ(*s.format.align, first ? Align::Center : Align::Left) << "span at " << s.start;
  }
  const HtmlContent tf = Parse(u"<textformat leftmargin=\"4\" leading=\"-2\" tabstops=\"10,20\">x</textformat>");
  EXPECT_EQ(*tf.spans[0].format.leftMargin, 4);
  EXPECT_EQ(*tf.spans[0].format.leading, -2);
  EXPECT_EQ(*tf.spans[0].format.tabStops, (std::vector<double>{10, 20}));
}

TEST(HtmlParse, EntitiesAndUnknownTags) {
  EXPECT_EQ(Parse(u"&lt;a&gt; &amp; &quot;&apos; &#65;&#x42;").text, u"<a> & \"' AB");
  EXPECT_EQ(Parse(u"&Lt; &bogus;").text, u"&Lt; &bogus;") << "entities are case-sensitive";
  EXPECT_EQ(Parse(u"<blink>on</blink><!-- note -->").text, u"on");
}

TEST(HtmlParse, CondenseWhiteMakesRunsOneSpace) {
  EXPECT_EQ(Parse(u"a  \n\t b", false, true).text, u"a b");
  EXPECT_EQ(Parse(u"a  \n\t b", false, false).text, u"a  \r\t b");
}

TEST(HtmlWrite, OneParagraphPerLineInTheReferenceLayout) {
  EXPECT_EQ(RoundTrip(u"test"), kOpen + u"test" + kClose);
  EXPECT_EQ(RoundTrip(u""), u"");
  // The empty paragraph after the last line end is not written.
  EXPECT_EQ(RoundTrip(u"a\nb\n"), kOpen + u"a" + kClose + kOpen + u"b" + kClose);
}

TEST(HtmlWrite, StylesNestInsideTheFontPerSpan) {
  EXPECT_EQ(RoundTrip(u"<u><i><b>x</b></i></u>"), kOpen + u"<B><I><U>x</U></I></B>" + kClose);
  EXPECT_EQ(RoundTrip(u"<a href=\"http://h/\">x</a>"), kOpen + u"<A HREF=\"http://h/\" TARGET=\"\">x</A>" + kClose);
  EXPECT_EQ(RoundTrip(u"1 &lt; 2"), kOpen + u"1 &lt; 2" + kClose);
}

TEST(HtmlWrite, FontsNestAndCloseBackToAMatchingLevel) {
  // Each new font names what differs from the one open; a span matching an outer font closes back to it.
  EXPECT_EQ(RoundTrip(u"a<font color=\"#010101\">b<font size=\"14\">c</font></font>d"),
            kOpen + u"a<FONT COLOR=\"#010101\">b<FONT SIZE=\"14\">c</FONT></FONT>d" + kClose);
}

TEST(HtmlWrite, TextFormatWrapsParagraphsWithMargins) {
  EXPECT_EQ(RoundTrip(u"<textformat leading=\"2\" leftmargin=\"5\">x</textformat>"),
            u"<TEXTFORMAT LEFTMARGIN=\"5\" LEADING=\"2\">" + kOpen + u"x" + kClose + u"</TEXTFORMAT>");
  EXPECT_EQ(RoundTrip(u"<li>x</li>", true),
            u"<LI><FONT FACE=\"Arial\" SIZE=\"10\" COLOR=\"#000000\" LETTERSPACING=\"0\" KERNING=\"0\">x</FONT></LI>");
}

}  // namespace
}  // namespace quillon::player::text
