#include "text/html.h"

#include <cmath>
#include <cstdio>
#include <map>
#include <optional>

#include "text/editing.h"

namespace quillon::player::text {
namespace {

char16_t Lower(char16_t c) { return c >= u'A' && c <= u'Z' ? static_cast<char16_t>(c + 32) : c; }

std::u16string LowerCase(std::u16string_view s) {
  std::u16string out(s);
  for (char16_t& c : out) c = Lower(c);
  return out;
}

bool IsSpace(char16_t c) { return c == u' ' || c == u'\t' || c == u'\n' || c == u'\r'; }

std::string Narrow(std::u16string_view s) {
  std::string out;
  for (char16_t c : s) {
    if (c < 0x80) {
      out += static_cast<char>(c);
    } else if (c < 0x800) {
      out += static_cast<char>(0xC0 | (c >> 6));
      out += static_cast<char>(0x80 | (c & 0x3F));
    } else {
      out += static_cast<char>(0xE0 | (c >> 12));
      out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
      out += static_cast<char>(0x80 | (c & 0x3F));
    }
  }
  return out;
}

// UTF-8 text of formats (font names, addresses) back to UTF-16.
std::u16string Widen(std::string_view s) {
  std::u16string out;
  for (std::size_t i = 0; i < s.size();) {
    const auto b = static_cast<unsigned char>(s[i]);
    char32_t c = b;
    std::size_t n = 1;
    if (b >= 0xF0 && i + 3 < s.size()) {
      c = ((b & 0x07u) << 18) | ((s[i + 1] & 0x3Fu) << 12) | ((s[i + 2] & 0x3Fu) << 6) | (s[i + 3] & 0x3Fu);
      n = 4;
    } else if (b >= 0xE0 && i + 2 < s.size()) {
      c = ((b & 0x0Fu) << 12) | ((s[i + 1] & 0x3Fu) << 6) | (s[i + 2] & 0x3Fu);
      n = 3;
    } else if (b >= 0xC0 && i + 1 < s.size()) {
      c = ((b & 0x1Fu) << 6) | (s[i + 1] & 0x3Fu);
      n = 2;
    }
    i += n;
    if (c >= 0x10000) {
      c -= 0x10000;
      out += static_cast<char16_t>(0xD800 + (c >> 10));
      out += static_cast<char16_t>(0xDC00 + (c & 0x3FF));
    } else {
      out += static_cast<char16_t>(c);
    }
  }
  return out;
}

// A leading integer, as the reference reads sizes and margins: "12px" is 12, "1.9" is 1.
std::optional<double> LeadingInteger(std::u16string_view s, bool allowSign) {
  std::size_t i = 0;
  bool negative = false;
  if (allowSign && i < s.size() && (s[i] == u'-' || s[i] == u'+')) negative = s[i++] == u'-';
  const std::size_t digits = i;
  double v = 0;
  while (i < s.size() && s[i] >= u'0' && s[i] <= u'9') v = v * 10 + (s[i++] - u'0');
  if (i == digits) return std::nullopt;
  return negative ? -v : v;
}

std::optional<double> Decimal(std::u16string_view s) {
  const std::string n = Narrow(s);
  if (n.empty()) return std::nullopt;
  char* end = nullptr;
  const double v = std::strtod(n.c_str(), &end);
  if (end == n.c_str() || !std::isfinite(v)) return std::nullopt;
  return v;
}

std::optional<std::uint32_t> Colour(std::u16string_view s) {
  if (!s.empty() && s[0] == u'#') s.remove_prefix(1);
  if (s.empty()) return std::nullopt;
  std::uint32_t v = 0;
  std::size_t n = 0;
  for (; n < s.size() && n < 8; ++n) {
    const char16_t c = Lower(s[n]);
    const int d = c >= u'0' && c <= u'9' ? c - u'0' : c >= u'a' && c <= u'f' ? c - u'a' + 10 : -1;
    if (d < 0) break;
    v = v * 16 + static_cast<std::uint32_t>(d);
  }
  if (n == 0) return std::nullopt;
  return v & 0xFFFFFF;
}

struct Tag {
  std::u16string name;  // lower case, without '/'
  bool closing = false;
  std::map<std::u16string, std::u16string> attributes;  // names in lower case, values decoded
};

// Reads the tag inside "<...>".
Tag ReadTag(std::u16string_view inside) {
  Tag tag;
  std::size_t i = 0;
  while (i < inside.size() && IsSpace(inside[i])) ++i;
  if (i < inside.size() && inside[i] == u'/') {
    tag.closing = true;
    ++i;
  }
  const std::size_t nameStart = i;
  while (i < inside.size() && !IsSpace(inside[i]) && inside[i] != u'/' && inside[i] != u'>') ++i;
  tag.name = LowerCase(inside.substr(nameStart, i - nameStart));
  while (i < inside.size()) {
    while (i < inside.size() && (IsSpace(inside[i]) || inside[i] == u'/')) ++i;
    const std::size_t keyStart = i;
    while (i < inside.size() && !IsSpace(inside[i]) && inside[i] != u'=' && inside[i] != u'/') ++i;
    std::u16string key = LowerCase(inside.substr(keyStart, i - keyStart));
    while (i < inside.size() && IsSpace(inside[i])) ++i;
    std::u16string value;
    if (i < inside.size() && inside[i] == u'=') {
      ++i;
      while (i < inside.size() && IsSpace(inside[i])) ++i;
      if (i < inside.size() && (inside[i] == u'"' || inside[i] == u'\'')) {
        const char16_t quote = inside[i++];
        const std::size_t start = i;
        while (i < inside.size() && inside[i] != quote) ++i;
        value = DecodeEntities(inside.substr(start, i - start));
        if (i < inside.size()) ++i;
      } else {
        const std::size_t start = i;
        while (i < inside.size() && !IsSpace(inside[i])) ++i;
        value = DecodeEntities(inside.substr(start, i - start));
      }
    }
    if (!key.empty() && !tag.attributes.count(key)) tag.attributes.emplace(std::move(key), std::move(value));
    else if (key.empty() && i < inside.size()) ++i;
  }
  return tag;
}

const std::u16string* Attribute(const Tag& tag, const char16_t* name) {
  const auto it = tag.attributes.find(name);
  return it == tag.attributes.end() ? nullptr : &it->second;
}

std::optional<Align> AlignNamed(std::u16string_view s) {
  const std::u16string v = LowerCase(s);
  if (v == u"left") return Align::Left;
  if (v == u"right") return Align::Right;
  if (v == u"center") return Align::Center;
  if (v == u"justify") return Align::Justify;
  return std::nullopt;
}

class Reader {
 public:
  Reader(const TextFormat& base, const HtmlOptions& options) : options_(options) { stack_.push_back({u"", base}); }

  void Text(std::u16string_view s) {
    for (std::size_t i = 0; i < s.size(); ++i) {
      char16_t c = s[i];
      if (options_.condenseWhite) {
        if (IsSpace(c)) {
          if (!lastWasSpace_) Append(u' ');
          lastWasSpace_ = true;
          continue;
        }
      } else if (c == u'\r' || c == u'\n') {
        if (c == u'\r' && i + 1 < s.size() && s[i + 1] == u'\n') ++i;
        c = u'\r';
      }
      Append(c);
    }
  }

  void Open(const Tag& tag) {
    TextFormat f = stack_.back().format;
    const std::u16string& n = tag.name;
    if (n == u"br") {
      if (options_.multiline) Break(Current());
      return;
    }
    if (n == u"b") f.bold = true;
    else if (n == u"i") f.italic = true;
    else if (n == u"u") f.underline = true;
    else if (n == u"font") ReadFont(tag, f);
    else if (n == u"a") {
      if (const auto* href = Attribute(tag, u"href")) f.url = Narrow(*href);
      if (const auto* target = Attribute(tag, u"target")) f.target = Narrow(*target);
    } else if (n == u"p") {
      if (const auto* a = Attribute(tag, u"align"))
        if (auto align = AlignNamed(*a)) f.align = align;
    } else if (n == u"li") {
      f.bullet = true;
    } else if (n == u"textformat") {
      ReadTextFormat(tag, f);
    } else if (n != u"span") {
      return;  // tags a field does not know are left out, their text kept
    }
    stack_.push_back({n, f});
  }

  void Close(const Tag& tag) {
    for (std::size_t i = stack_.size(); i-- > 1;) {
      if (stack_[i].tag != tag.name) continue;
      if ((tag.name == u"p" || tag.name == u"li") && options_.multiline) {
        // The line ends in the format of what it ends, or of the element when it is empty.
        Break(out_.text.empty() ? stack_[i].format : out_.spans.back().format);
      }
      stack_.resize(i);
      return;
    }
  }

  HtmlContent Finish() {
    UnifyParagraphs();
    NormaliseSpans(out_.spans, out_.text.size(), stack_.front().format);
    return std::move(out_);
  }

 private:
  struct Open_ {
    std::u16string tag;
    TextFormat format;
  };

  const TextFormat& Current() const { return stack_.back().format; }

  void Append(char16_t c) { AppendIn(c, Current()); }
  void AppendIn(char16_t c, const TextFormat& f) {
    lastWasSpace_ = false;
    const std::size_t at = out_.text.size();
    out_.text += c;
    if (!out_.spans.empty() && out_.spans.back().format == f) out_.spans.back().end = at + 1;
    else out_.spans.push_back({at, at + 1, f});
  }
  void Break(const TextFormat& f) {
    AppendIn(u'\r', f);
    lastWasSpace_ = options_.condenseWhite;
  }

  static void ReadFont(const Tag& tag, TextFormat& f) {
    if (const auto* face = Attribute(tag, u"face")) f.font = Narrow(*face);
    if (const auto* size = Attribute(tag, u"size")) {
      const bool relative = !size->empty() && ((*size)[0] == u'+' || (*size)[0] == u'-');
      if (auto v = LeadingInteger(*size, true)) f.size = relative ? f.size.value_or(12) + *v : *v;
    }
    if (const auto* color = Attribute(tag, u"color"))
      if (auto c = Colour(*color)) f.color = c;
    if (const auto* spacing = Attribute(tag, u"letterspacing"))
      if (auto v = Decimal(*spacing)) f.letterSpacing = v;
    if (const auto* kerning = Attribute(tag, u"kerning"))
      if (auto v = LeadingInteger(*kerning, true)) f.kerning = *v != 0;
  }

  static void ReadTextFormat(const Tag& tag, TextFormat& f) {
    auto number = [&](const char16_t* name, std::optional<double>& into) {
      if (const auto* v = Attribute(tag, name))
        if (auto n = LeadingInteger(*v, true)) into = n;
    };
    number(u"blockindent", f.blockIndent);
    number(u"indent", f.indent);
    number(u"leading", f.leading);
    number(u"leftmargin", f.leftMargin);
    number(u"rightmargin", f.rightMargin);
    if (const auto* stops = Attribute(tag, u"tabstops")) {
      std::vector<double> list;
      std::size_t start = 0;
      while (start <= stops->size()) {
        std::size_t comma = stops->find(u',', start);
        if (comma == std::u16string::npos) comma = stops->size();
        if (auto n = LeadingInteger(std::u16string_view(*stops).substr(start, comma - start), true)) list.push_back(*n);
        start = comma + 1;
      }
      f.tabStops = list;
    }
  }

  // A paragraph's settings are those of its first character.
  void UnifyParagraphs() {
    const std::u16string& text = out_.text;
    std::size_t start = 0;
    while (start < text.size()) {
      std::size_t end = ParagraphEnd(text, start);
      if (end < text.size()) ++end;
      const TextFormat first = FormatIn(start);
      for (std::size_t i = 0; i < out_.spans.size(); ++i) {
        Span& s = out_.spans[i];
        if (s.end <= start || s.start >= end) continue;
        if (s.start < start || s.end > end) {
          // Split so that only this paragraph's part changes.
          Span head = s, tail = s;
          head.end = std::max(s.start, start);
          tail.start = std::min(s.end, end);
          s.start = std::max(s.start, start);
          s.end = std::min(s.end, end);
          if (tail.start < tail.end) out_.spans.insert(out_.spans.begin() + static_cast<std::ptrdiff_t>(i) + 1, tail);
          if (head.start < head.end) {
            out_.spans.insert(out_.spans.begin() + static_cast<std::ptrdiff_t>(i), head);
            ++i;
          }
        }
        Span& part = out_.spans[i];
        part.format.align = first.align;
        part.format.leftMargin = first.leftMargin, part.format.rightMargin = first.rightMargin;
        part.format.indent = first.indent, part.format.blockIndent = first.blockIndent;
        part.format.leading = first.leading, part.format.bullet = first.bullet;
        part.format.tabStops = first.tabStops;
      }
      start = end;
    }
  }

  TextFormat FormatIn(std::size_t index) const {
    for (const Span& s : out_.spans)
      if (index >= s.start && index < s.end) return s.format;
    return stack_.front().format;
  }

  HtmlOptions options_;
  std::vector<Open_> stack_;
  HtmlContent out_;
  bool lastWasSpace_ = false;
};

std::string Number(double v) {
  if (v == std::floor(v) && std::fabs(v) < 1e15) return std::to_string(static_cast<long long>(v));
  char buf[32];
  std::snprintf(buf, sizeof buf, "%.15g", v);
  return buf;
}

void Escape(std::u16string& out, std::u16string_view s, bool attribute) {
  for (char16_t c : s) {
    switch (c) {
      case u'<': out += u"&lt;"; break;
      case u'>': out += u"&gt;"; break;
      case u'&': out += u"&amp;"; break;
      case u'"':
        if (attribute) out += u"&quot;";
        else out += c;
        break;
      case u'\r': break;
      default: out += c;
    }
  }
}

void Attr(std::u16string& out, const char* name, const std::string& value) {
  out += u' ';
  out += Widen(name);
  out += u"=\"";
  Escape(out, Widen(value), true);
  out += u'"';
}

std::string ColourText(std::uint32_t c) {
  char buf[16];
  std::snprintf(buf, sizeof buf, "#%06X", static_cast<unsigned>(c & 0xFFFFFF));
  return buf;
}

struct FontAttrs {
  std::string face;
  double size = 0;
  std::uint32_t color = 0;
  double letterSpacing = 0;
  bool kerning = false;
  bool operator==(const FontAttrs&) const = default;
};

FontAttrs FontOf(const TextFormat& f) {
  return {f.font.value_or(""), f.size.value_or(12), f.color.value_or(0), f.letterSpacing.value_or(0),
          f.kerning.value_or(false)};
}

// Only what differs from `outer`, all when `outer` is null.
void FontTag(std::u16string& out, const FontAttrs& f, const FontAttrs* outer) {
  out += u"<FONT";
  if (!outer || f.face != outer->face) Attr(out, "FACE", f.face);
  if (!outer || f.size != outer->size) Attr(out, "SIZE", Number(f.size));
  if (!outer || f.color != outer->color) Attr(out, "COLOR", ColourText(f.color));
  if (!outer || f.letterSpacing != outer->letterSpacing) Attr(out, "LETTERSPACING", Number(f.letterSpacing));
  if (!outer || f.kerning != outer->kerning) Attr(out, "KERNING", f.kerning ? "1" : "0");
  out += u'>';
}

const char* AlignName(Align a) {
  switch (a) {
    case Align::Right: return "RIGHT";
    case Align::Center: return "CENTER";
    case Align::Justify: return "JUSTIFY";
    default: return "LEFT";
  }
}

void WriteParagraph(std::u16string& out, const std::u16string& text, const std::vector<Span>& spans, std::size_t start,
                    std::size_t end) {
  const Span* first = nullptr;
  for (const Span& s : spans)
    if (s.end > start && s.start < end) {
      first = &s;
      break;
    }
  if (!first) return;
  const TextFormat& p = first->format;
  std::u16string tf;
  auto measure = [&](const char* name, const std::optional<double>& v) {
    if (v && *v != 0) Attr(tf, name, Number(*v));
  };
  measure("LEFTMARGIN", p.leftMargin);
  measure("RIGHTMARGIN", p.rightMargin);
  measure("INDENT", p.indent);
  measure("BLOCKINDENT", p.blockIndent);
  measure("LEADING", p.leading);
  if (p.tabStops && !p.tabStops->empty()) {
    std::string list;
    for (double stop : *p.tabStops) list += (list.empty() ? "" : ",") + Number(stop);
    Attr(tf, "TABSTOPS", list);
  }
  if (!tf.empty()) out += u"<TEXTFORMAT" + tf + u">";
  const bool bullet = p.bullet.value_or(false);
  if (bullet) {
    out += u"<LI>";
  } else {
    out += u"<P";
    Attr(out, "ALIGN", AlignName(p.align.value_or(Align::Left)));
    out += u'>';
  }
  std::vector<FontAttrs> fonts{FontOf(p)};
  FontTag(out, fonts.front(), nullptr);
  for (const Span& s : spans) {
    if (s.end <= start || s.start >= end) continue;
    const FontAttrs f = FontOf(s.format);
    std::size_t level = fonts.size();
    for (std::size_t i = fonts.size(); i-- > 0;)
      if (fonts[i] == f) {
        level = i;
        break;
      }
    if (level < fonts.size()) {
      for (std::size_t i = fonts.size(); i-- > level + 1;) out += u"</FONT>";
      fonts.resize(level + 1);
    } else {
      FontTag(out, f, &fonts.back());
      fonts.push_back(f);
    }
    const TextFormat& g = s.format;
    const bool link = g.url && !g.url->empty();
    if (link) {
      out += u"<A";
      Attr(out, "HREF", *g.url);
      Attr(out, "TARGET", g.target.value_or(""));
      out += u'>';
    }
    if (g.bold.value_or(false)) out += u"<B>";
    if (g.italic.value_or(false)) out += u"<I>";
    if (g.underline.value_or(false)) out += u"<U>";
    const std::size_t from = std::max(s.start, start), to = std::min(s.end, end);
    Escape(out, std::u16string_view(text).substr(from, to - from), false);
    if (g.underline.value_or(false)) out += u"</U>";
    if (g.italic.value_or(false)) out += u"</I>";
    if (g.bold.value_or(false)) out += u"</B>";
    if (link) out += u"</A>";
  }
  for (std::size_t i = 0; i < fonts.size(); ++i) out += u"</FONT>";
  out += bullet ? u"</LI>" : u"</P>";
  if (!tf.empty()) out += u"</TEXTFORMAT>";
}

}  // namespace

std::u16string DecodeEntities(std::u16string_view s) {
  std::u16string out;
  for (std::size_t i = 0; i < s.size(); ++i) {
    if (s[i] != u'&') {
      out += s[i];
      continue;
    }
    const std::size_t semi = s.find(u';', i);
    if (semi == std::u16string_view::npos || semi - i > 10) {
      out += s[i];
      continue;
    }
    const std::u16string_view name = s.substr(i + 1, semi - i - 1);
    char32_t c = 0;
    if (name == u"lt") c = u'<';
    else if (name == u"gt") c = u'>';
    else if (name == u"amp") c = u'&';
    else if (name == u"quot") c = u'"';
    else if (name == u"apos") c = u'\'';
    else if (name == u"nbsp") c = 0xA0;
    else if (name.size() > 1 && name[0] == u'#') {
      const bool hex = name[1] == u'x' || name[1] == u'X';
      char32_t v = 0;
      bool ok = name.size() > (hex ? 2u : 1u);
      for (std::size_t k = hex ? 2 : 1; ok && k < name.size(); ++k) {
        const char16_t d = Lower(name[k]);
        int digit = d >= u'0' && d <= u'9' ? d - u'0' : hex && d >= u'a' && d <= u'f' ? d - u'a' + 10 : -1;
        if (digit < 0) ok = false;
        else v = v * (hex ? 16 : 10) + static_cast<char32_t>(digit);
        if (v > 0x10FFFF) ok = false;
      }
      if (ok) c = v;
    }
    if (!c) {
      out += s[i];
      continue;
    }
    if (c >= 0x10000) {
      c -= 0x10000;
      out += static_cast<char16_t>(0xD800 + (c >> 10));
      out += static_cast<char16_t>(0xDC00 + (c & 0x3FF));
    } else {
      out += static_cast<char16_t>(c);
    }
    i = semi;
  }
  return out;
}

HtmlContent ParseHtml(std::u16string_view html, const TextFormat& base, const HtmlOptions& options) {
  Reader reader(base, options);
  std::size_t i = 0;
  while (i < html.size()) {
    if (html[i] == u'<') {
      const std::size_t close = html.find(u'>', i);
      if (close == std::u16string_view::npos) break;  // an unfinished tag ends the text
      const std::u16string_view inside = html.substr(i + 1, close - i - 1);
      i = close + 1;
      if (!inside.empty() && (inside[0] == u'!' || inside[0] == u'?')) continue;  // comments, declarations
      const Tag tag = ReadTag(inside);
      if (tag.closing) {
        reader.Close(tag);
      } else {
        reader.Open(tag);
        if (!inside.empty() && inside.back() == u'/' && tag.name != u"br") reader.Close(tag);
      }
      continue;
    }
    const std::size_t next = std::min(html.find(u'<', i), html.size());
    reader.Text(DecodeEntities(html.substr(i, next - i)));
    i = next;
  }
  return reader.Finish();
}

std::u16string WriteHtml(const std::u16string& text, const std::vector<Span>& spans) {
  std::u16string out;
  std::size_t start = 0;
  while (start < text.size()) {
    std::size_t end = ParagraphEnd(text, start);
    if (end < text.size()) ++end;
    WriteParagraph(out, text, spans, start, end);
    start = end;
  }
  return out;
}

}  // namespace quillon::player::text
