// HTML text of fields: reading the tags a field understands (b i u font p br a li textformat
// span, entities) into text with formatted spans, and writing a field's content back the way
// the reference player's htmlText gives it.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "text/field.h"

namespace quillon::player::text {

struct HtmlContent {
  std::u16string text;      // paragraphs end at '\r'
  std::vector<Span> spans;  // complete formats, covering the text
};

struct HtmlOptions {
  bool multiline = false;      // <p>, <li> and <br> end lines only in multi-line fields
  bool condenseWhite = false;  // runs of white space become one space, line ends go
};

// `base` is the (complete) format of text outside every tag.
HtmlContent ParseHtml(std::u16string_view html, const TextFormat& base, const HtmlOptions& options);

// The htmlText of a content: one <P> or <LI> per paragraph, in <TEXTFORMAT> when it has
// margins, indents, leading or tab stops, with <FONT> for what differs from the paragraph's
// first format.
std::u16string WriteHtml(const std::u16string& text, const std::vector<Span>& spans);

// The entities of HTML text resolved (&lt; &gt; &amp; &quot; &apos; &nbsp; and numeric ones).
std::u16string DecodeEntities(std::u16string_view s);

}  // namespace quillon::player::text
