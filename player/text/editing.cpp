#include "text/editing.h"

#include <algorithm>

namespace quillon::player::text {
namespace {

template <typename T> void Take(std::optional<T>& into, const std::optional<T>& from) {
  if (from) into = from;
}

// Members that differ between `a` and `b` become unset in `a`.
template <typename T> void Keep(std::optional<T>& a, const std::optional<T>& b) {
  if (a != b) a.reset();
}

TextFormat CharacterPart(const TextFormat& f) {
  TextFormat c;
  c.font = f.font, c.size = f.size, c.color = f.color;
  c.bold = f.bold, c.italic = f.italic, c.underline = f.underline;
  c.url = f.url, c.target = f.target;
  c.letterSpacing = f.letterSpacing, c.kerning = f.kerning;
  return c;
}

TextFormat ParagraphPart(const TextFormat& f) {
  TextFormat p;
  p.align = f.align, p.leftMargin = f.leftMargin, p.rightMargin = f.rightMargin, p.indent = f.indent;
  p.leading = f.leading, p.blockIndent = f.blockIndent, p.bullet = f.bullet, p.tabStops = f.tabStops;
  return p;
}

bool HasAny(const TextFormat& f) { return !(f == TextFormat{}); }

// Splits the span holding `at` so that a span boundary falls there.
void SplitAt(std::vector<Span>& spans, std::size_t at) {
  for (std::size_t i = 0; i < spans.size(); ++i) {
    Span& s = spans[i];
    if (s.start < at && at < s.end) {
      Span tail = s;
      tail.start = at;
      s.end = at;
      spans.insert(spans.begin() + static_cast<std::ptrdiff_t>(i) + 1, tail);
      return;
    }
  }
}

void Touch(Field& field) { ++field.revision; }

}  // namespace

void TextFormat::MergeFrom(const TextFormat& o) {
  Take(font, o.font), Take(size, o.size), Take(color, o.color);
  Take(bold, o.bold), Take(italic, o.italic), Take(underline, o.underline);
  Take(url, o.url), Take(target, o.target), Take(align, o.align);
  Take(leftMargin, o.leftMargin), Take(rightMargin, o.rightMargin), Take(indent, o.indent);
  Take(leading, o.leading), Take(blockIndent, o.blockIndent), Take(letterSpacing, o.letterSpacing);
  Take(bullet, o.bullet), Take(kerning, o.kerning), Take(tabStops, o.tabStops);
}

TextFormat DefaultFormat() {
  TextFormat f;
  f.font = "Times New Roman";
  f.size = 12;
  f.color = 0;
  f.bold = f.italic = f.underline = false;
  f.url = "";
  f.target = "";
  f.align = Align::Left;
  f.leftMargin = f.rightMargin = f.indent = f.leading = f.blockIndent = f.letterSpacing = 0;
  f.bullet = f.kerning = false;
  f.tabStops = std::vector<double>{};
  return f;
}

std::u16string FieldNewlines(std::u16string_view s) {
  std::u16string out;
  out.reserve(s.size());
  for (std::size_t i = 0; i < s.size(); ++i) {
    if (s[i] == u'\r' && i + 1 < s.size() && s[i + 1] == u'\n') continue;
    out += s[i] == u'\n' ? u'\r' : s[i];
  }
  return out;
}

void NormaliseSpans(std::vector<Span>& spans, std::size_t length, const TextFormat& fallback) {
  std::vector<Span> out;
  for (const Span& s : spans) {
    const std::size_t start = std::min(s.start, length), end = std::min(s.end, length);
    if (start >= end) continue;
    if (!out.empty() && out.back().format == s.format && out.back().end == start) {
      out.back().end = end;
    } else {
      out.push_back({start, end, s.format});
    }
  }
  if (out.empty()) {
    // An empty text keeps the format of what it held, for what comes next.
    const TextFormat& keep = spans.empty() ? fallback : spans.front().format;
    out.push_back({0, length, keep});
  }
  // No gaps: a hole takes its left neighbour's format.
  out.front().start = 0;
  for (std::size_t i = 1; i < out.size(); ++i) out[i].start = out[i - 1].end;
  out.back().end = length;
  spans = std::move(out);
}

void SetText(Field& field, std::u16string_view text, const TextFormat& format) {
  field.text = FieldNewlines(text);
  field.spans = {{0, field.text.size(), format}};
  field.selectionBegin = std::min(field.selectionBegin, field.text.size());
  field.selectionEnd = std::min(field.selectionEnd, field.text.size());
  Touch(field);
}

void SetContent(Field& field, std::u16string text, std::vector<Span> spans) {
  field.text = std::move(text);
  NormaliseSpans(spans, field.text.size(), field.newFormat);
  field.spans = std::move(spans);
  field.selectionBegin = std::min(field.selectionBegin, field.text.size());
  field.selectionEnd = std::min(field.selectionEnd, field.text.size());
  Touch(field);
}

void ReplaceRange(Field& field, std::size_t begin, std::size_t end, std::u16string_view text, const TextFormat& format) {
  const std::size_t size = field.text.size();
  begin = std::min(begin, size);
  end = std::clamp(end, begin, size);
  const std::u16string insert = FieldNewlines(text);
  const std::size_t removed = end - begin, added = insert.size();
  field.text.replace(begin, removed, insert);
  std::vector<Span> spans;
  for (const Span& s : field.spans)
    if (s.start < begin) spans.push_back({s.start, std::min(s.end, begin), s.format});
  if (added) spans.push_back({begin, begin + added, format});
  for (const Span& s : field.spans)
    if (s.end > end) spans.push_back({std::max(s.start, end) - removed + added, s.end - removed + added, s.format});
  const TextFormat fallback = field.spans.empty() ? format : field.spans.front().format;
  NormaliseSpans(spans, field.text.size(), added ? format : fallback);
  field.spans = std::move(spans);
  auto follow = [&](std::size_t& at) {
    if (at >= end) at = at - removed + added;
    else if (at > begin) at = begin + added;
  };
  follow(field.selectionBegin);
  follow(field.selectionEnd);
  Touch(field);
}

TextFormat FormatAt(const Field& field, std::size_t index) {
  if (field.spans.empty()) return field.newFormat;
  for (const Span& s : field.spans)
    if (index >= s.start && index < s.end) return s.format;
  return field.spans.back().format;
}

std::size_t ParagraphStart(const std::u16string& text, std::size_t index) {
  index = std::min(index, text.size());
  while (index > 0 && text[index - 1] != u'\r') --index;
  return index;
}

std::size_t ParagraphEnd(const std::u16string& text, std::size_t index) {
  index = std::min(index, text.size());
  while (index < text.size() && text[index] != u'\r') ++index;
  return index;
}

void ApplyFormat(Field& field, std::size_t begin, std::size_t end, const TextFormat& format) {
  const std::size_t size = field.text.size();
  begin = std::min(begin, size);
  end = std::clamp(end, begin, size);
  if (field.spans.empty()) NormaliseSpans(field.spans, size, field.newFormat);
  auto apply = [&](std::size_t from, std::size_t to, const TextFormat& part) {
    if (from >= to || !HasAny(part)) return;
    SplitAt(field.spans, from);
    SplitAt(field.spans, to);
    for (Span& s : field.spans)
      if (s.start >= from && s.end <= to) s.format.MergeFrom(part);
  };
  apply(begin, end, CharacterPart(format));
  // Paragraph settings cover every paragraph the range reaches, its '\r' included.
  const TextFormat para = ParagraphPart(format);
  if (HasAny(para) && size > 0) {
    const std::size_t from = ParagraphStart(field.text, begin);
    std::size_t to = ParagraphEnd(field.text, end > begin ? end - 1 : begin);
    if (to < size) ++to;
    apply(from, to, para);
  }
  NormaliseSpans(field.spans, size, field.newFormat);
  Touch(field);
}

TextFormat RangeFormat(const Field& field, std::size_t begin, std::size_t end) {
  const std::size_t size = field.text.size();
  begin = std::min(begin, size);
  end = std::clamp(end, begin, size);
  if (begin == end) return FormatAt(field, begin);
  std::optional<TextFormat> out;
  for (const Span& s : field.spans) {
    if (s.end <= begin || s.start >= end) continue;
    if (!out) {
      out = s.format;
      continue;
    }
    TextFormat& f = *out;
    const TextFormat& g = s.format;
    Keep(f.font, g.font), Keep(f.size, g.size), Keep(f.color, g.color), Keep(f.bold, g.bold);
    Keep(f.italic, g.italic), Keep(f.underline, g.underline), Keep(f.url, g.url), Keep(f.target, g.target);
    Keep(f.align, g.align), Keep(f.leftMargin, g.leftMargin), Keep(f.rightMargin, g.rightMargin);
    Keep(f.indent, g.indent), Keep(f.leading, g.leading), Keep(f.blockIndent, g.blockIndent);
    Keep(f.letterSpacing, g.letterSpacing), Keep(f.bullet, g.bullet), Keep(f.kerning, g.kerning);
    Keep(f.tabStops, g.tabStops);
  }
  return out ? *out : FormatAt(field, begin);
}

bool RestrictAllows(const std::optional<std::u16string>& pattern, char16_t ch) {
  if (!pattern) return true;
  const std::u16string& p = *pattern;
  // Ranges read left to right, later ones overriding; a '^' flips the meaning of what follows.
  // A pattern that opens with '^' starts from everything allowed.
  bool allowed = !p.empty() && p[0] == u'^', including = true;
  for (std::size_t i = 0; i < p.size(); ++i) {
    char16_t first = p[i];
    if (first == u'^') {
      including = !including;
      continue;
    }
    if (first == u'\\' && i + 1 < p.size()) first = p[++i];
    char16_t last = first;
    if (i + 2 < p.size() && p[i + 1] == u'-') {
      i += 2;
      last = p[i];
      if (last == u'\\' && i + 1 < p.size()) last = p[++i];
    }
    if (ch >= first && ch <= last) allowed = including;
  }
  return allowed;
}

std::u16string FilterTyped(std::u16string_view typed, const std::optional<std::u16string>& pattern, int maxChars,
                           std::size_t length, std::size_t replacing) {
  std::u16string out;
  for (char16_t ch : typed) {
    if (!RestrictAllows(pattern, ch)) {
      // A letter of the other case may fit.
      char16_t other = ch;
      if (ch >= u'a' && ch <= u'z') other = static_cast<char16_t>(ch - 32);
      else if (ch >= u'A' && ch <= u'Z') other = static_cast<char16_t>(ch + 32);
      if (other == ch || !RestrictAllows(pattern, other)) continue;
      ch = other;
    }
    out += ch;
  }
  if (maxChars > 0) {
    const std::size_t kept = length - std::min(replacing, length);
    const auto limit = static_cast<std::size_t>(maxChars);
    const std::size_t room = kept >= limit ? 0 : limit - kept;
    if (out.size() > room) out.resize(room);
  }
  return out;
}

}  // namespace quillon::player::text
