#include "text/layout.h"

#include <algorithm>
#include <cmath>
#include <limits>

namespace quillon::player::text {
namespace {

// Text a format leaves unset gets the values of a new field.
constexpr double kDefaultSize = 12;

struct Measured {
  const Face* face = nullptr;
  int glyph = -1;
  double advance = 0;  // pixels, letter spacing and kerning included
  double ascent = 0, descent = 0;
  const TextFormat* format = nullptr;
};

bool IsSpace(char16_t c) { return c == u' ' || c == u'\t' || c == 0x3000; }
// Ideographs break anywhere, as the reference player wraps CJK text.
bool BreaksAnywhere(char32_t c) {
  return (c >= 0x2E80 && c <= 0x9FFF) || (c >= 0xAC00 && c <= 0xD7AF) || (c >= 0xF900 && c <= 0xFAFF) ||
         (c >= 0xFF00 && c <= 0xFFEF) || (c >= 0x20000 && c <= 0x2FFFF);
}

char32_t CodeAt(const std::u16string& s, std::size_t i, std::size_t& units) {
  const char16_t c = s[i];
  units = 1;
  if (c >= 0xD800 && c < 0xDC00 && i + 1 < s.size() && s[i + 1] >= 0xDC00 && s[i + 1] < 0xE000) {
    units = 2;
    return 0x10000 + ((static_cast<char32_t>(c) - 0xD800) << 10) + (static_cast<char32_t>(s[i + 1]) - 0xDC00);
  }
  return c;
}

const TextFormat& FormatOf(const Field& field, std::size_t index, std::size_t& spanHint) {
  if (field.spans.empty()) return field.newFormat;
  if (spanHint >= field.spans.size()) spanHint = 0;
  while (spanHint + 1 < field.spans.size() && field.spans[spanHint].end <= index) ++spanHint;
  while (spanHint > 0 && field.spans[spanHint].start > index) --spanHint;
  return field.spans[spanHint].format;
}

double SizeOf(const TextFormat& f) { return f.size ? std::max(0.0, *f.size) : kDefaultSize; }

Measured Measure(const Field& field, const TextFormat& format, char32_t ch, const FontSource& fonts) {
  Measured m;
  m.format = &format;
  const double size = SizeOf(format);
  const Face* face = FaceFor(field, format, fonts);
  int glyph = face ? face->Glyph(ch) : -1;
  if (glyph < 0 && face && face->IsDevice()) {
    if (const Face* other = fonts.Fallback(ch, format.bold.value_or(false), format.italic.value_or(false))) {
      const int g = other->Glyph(ch);
      if (g >= 0) face = other, glyph = g;
    }
  }
  m.face = face;
  m.glyph = glyph;
  if (face) {
    m.ascent = face->Ascent() * size;
    // An embedded face's ascent is held in whole twips, the fraction cut off.
    if (!face->IsDevice()) m.ascent = std::floor(m.ascent * 20) / 20;
    m.descent = face->Descent() * size;
    if (glyph >= 0) {
      m.advance = face->Advance(glyph) * size;
      if (face->IsDevice()) m.advance = std::round(m.advance);
    }
  }
  m.advance += format.letterSpacing.value_or(0);
  return m;
}

struct Paragraph {
  std::size_t start, end;  // the '\r' excluded
};

std::vector<Paragraph> Paragraphs(const std::u16string& text) {
  std::vector<Paragraph> out;
  std::size_t start = 0;
  for (std::size_t i = 0; i <= text.size(); ++i)
    if (i == text.size() || text[i] == u'\r' || text[i] == u'\n') {
      out.push_back({start, i});
      start = i + 1;
    }
  return out;
}

}  // namespace

const Face* FaceFor(const Field& field, const TextFormat& format, const FontSource& fonts) {
  const bool bold = format.bold.value_or(false), italic = format.italic.value_or(false);
  const std::string name = format.font.value_or("Times New Roman");
  if (field.embedFonts) {
    if (const Face* f = fonts.EmbeddedNamed(name, bold, italic)) return f;
    if (field.fontId)
      if (const Face* f = fonts.Embedded(field.fontId); f && (!format.font || name.empty())) return f;
    return nullptr;
  }
  return fonts.Device(name, bold, italic);
}

Layout LayoutField(const Field& field, const FontSource& fonts) {
  Layout out;
  out.xMin = field.xMin, out.yMin = field.yMin, out.xMax = field.xMax, out.yMax = field.yMax;
  const std::u16string& text = field.text;
  const double boxWidth = (field.xMax - field.xMin) / 20;
  std::size_t hint = 0;

  for (const Paragraph& para : Paragraphs(text)) {
    const TextFormat& first = FormatOf(field, para.start < text.size() ? para.start : (para.start ? para.start - 1 : 0), hint);
    const double leftMargin = first.leftMargin.value_or(0) + first.blockIndent.value_or(0);
    const double rightMargin = first.rightMargin.value_or(0);
    const double indent = first.indent.value_or(0);
    const double leading = first.leading.value_or(0);
    const Align align = first.align.value_or(Align::Left);

    // Measure the paragraph's characters once.
    std::vector<Measured> chars;
    std::vector<std::size_t> at;  // UTF-16 index of each measured character
    std::vector<char32_t> codes;
    int previousGlyph = -1;
    const Face* previousFace = nullptr;
    for (std::size_t i = para.start; i < para.end;) {
      std::size_t units = 1;
      char32_t ch = CodeAt(text, i, units);
      const TextFormat& f = FormatOf(field, i, hint);
      const char32_t shown = field.password ? U'*' : ch;
      Measured m = Measure(field, f, shown == U'\t' ? U' ' : shown, fonts);
      if (f.kerning.value_or(false) && previousFace == m.face && m.face && previousGlyph >= 0 && m.glyph >= 0 &&
          !chars.empty())
        chars.back().advance += m.face->Kerning(previousGlyph, m.glyph) * SizeOf(*chars.back().format);
      previousFace = m.face;
      previousGlyph = m.glyph;
      chars.push_back(m);
      at.push_back(i);
      codes.push_back(ch);
      i += units;
    }

    // Break into lines.
    std::size_t lineStart = 0;
    bool firstLine = true;
    auto emit = [&](std::size_t from, std::size_t to, std::size_t visibleTo) {
      LineBox line;
      line.start = from < chars.size() ? at[from] : para.end;
      line.end = to < chars.size() ? at[to] : para.end;
      // Right and centred lines leave their trailing spaces out of their width.
      if ((align == Align::Right || align == Align::Center) && field.swfVersion >= 8)
        while (visibleTo > from && IsSpace(static_cast<char16_t>(codes[visibleTo - 1] < 0x10000 ? codes[visibleTo - 1] : 0)))
          --visibleTo;
      double width = 0, ascent = 0, descent = 0;
      for (std::size_t k = from; k < visibleTo; ++k) width += chars[k].advance;
      for (std::size_t k = from; k < to; ++k) ascent = std::max(ascent, chars[k].ascent), descent = std::max(descent, chars[k].descent);
      if (from == to) {
        // An empty line takes the height of the format at its place.
        const Measured m = Measure(field, first, U' ', fonts);
        ascent = m.ascent, descent = m.descent;
      }
      const double start = kGutter + leftMargin + (firstLine ? indent : 0);
      const double room = boxWidth - kGutter - rightMargin - start;
      line.x = align == Align::Right ? start + room - width : align == Align::Center ? start + (room - width) / 2 : start;
      if (align != Align::Left && line.x < start) line.x = start;
      line.width = width;
      line.ascent = ascent;
      line.descent = descent;
      line.leading = leading;
      const std::size_t lineIndex = out.lines.size();
      double x = line.x;
      for (std::size_t k = from; k < to; ++k) {
        const Measured& m = chars[k];
        if (m.face && m.glyph >= 0 && codes[k] != U' ' && codes[k] != U'\t') {
          PlacedGlyph g;
          g.face = m.face;
          g.glyph = m.glyph;
          g.x = x;
          g.size = SizeOf(*m.format);
          g.advance = m.advance;
          g.color = m.format->color.value_or(0);
          g.index = at[k];
          g.line = lineIndex;
          g.underline = m.format->underline.value_or(false);
          out.glyphs.push_back(g);
        }
        x += m.advance;
      }
      out.lines.push_back(line);
      firstLine = false;
    };

    if (!field.wordWrap) {
      emit(0, chars.size(), chars.size());
      continue;
    }
    while (lineStart < chars.size() || (lineStart == 0 && chars.empty())) {
      if (chars.empty()) {
        emit(0, 0, 0);
        break;
      }
      const double room = boxWidth - 2 * kGutter - leftMargin - rightMargin - (firstLine ? indent : 0);
      double width = 0;
      std::size_t k = lineStart, lastBreak = lineStart;
      bool broke = false;
      for (; k < chars.size(); ++k) {
        if (IsSpace(static_cast<char16_t>(codes[k] < 0x10000 ? codes[k] : 0))) {
          lastBreak = k + 1;
          width += chars[k].advance;
          continue;
        }
        if (BreaksAnywhere(codes[k]) && k > lineStart) lastBreak = std::max(lastBreak, k);
        if (width + chars[k].advance > room && k > lineStart) {
          broke = true;
          break;
        }
        width += chars[k].advance;
        if (BreaksAnywhere(codes[k])) lastBreak = k + 1;
      }
      if (!broke) {
        emit(lineStart, chars.size(), chars.size());
        break;
      }
      // Break at the last opportunity, else inside the word that does not fit.
      std::size_t end = lastBreak > lineStart ? lastBreak : k;
      std::size_t visible = end;
      while (visible > lineStart && IsSpace(static_cast<char16_t>(codes[visible - 1] < 0x10000 ? codes[visible - 1] : 0))) --visible;
      emit(lineStart, end, visible);
      lineStart = end;
    }
  }

  // Lines stack from the gutter down; each line's leading lies below it.
  double y = kGutter;
  for (LineBox& line : out.lines) {
    line.y = y;
    y += line.ascent + line.descent + line.leading;
    out.textWidth = std::max(out.textWidth, line.width);
  }
  for (PlacedGlyph& g : out.glyphs) g.baseline = out.lines[g.line].y + out.lines[g.line].ascent;
  if (!out.lines.empty()) out.textHeight = y - kGutter - out.lines.back().leading;
  if (text.empty()) out.textWidth = out.textHeight = 0;

  // Auto-size moves the box around the text.
  if (field.autoSize != AutoSize::None) {
    const double height = (out.textHeight + 2 * kGutter) * 20;
    out.yMax = out.yMin + height;
    if (!field.wordWrap) {
      const double width = (out.textWidth + 2 * kGutter) * 20;
      const double oldWidth = field.xMax - field.xMin;
      if (field.autoSize == AutoSize::Right) out.xMin = field.xMax - width;
      else if (field.autoSize == AutoSize::Center) out.xMin = field.xMin + (oldWidth - width) / 2;
      out.xMax = out.xMin + width;
      // Aligned text moves with the box it now fills.
      const double shift = (oldWidth - width) / 20;
      for (std::size_t i = 0; i < out.lines.size(); ++i) {
        const TextFormat& f = FormatOf(field, out.lines[i].start, hint);
        const Align a = f.align.value_or(Align::Left);
        const double dx = a == Align::Right ? -shift : a == Align::Center ? -shift / 2 : 0;
        out.lines[i].x += dx;
        for (PlacedGlyph& g : out.glyphs)
          if (g.line == i) g.x += dx;
      }
    }
  }

  // Scrolling: the lines that fit in the box below the gutter.
  const double visible = (out.yMax - out.yMin) / 20 - 2 * kGutter;
  const int count = static_cast<int>(out.lines.size());
  int fit = 0;
  double used = 0;
  for (int i = count - 1; i >= 0; --i) {
    used += out.lines[static_cast<std::size_t>(i)].ascent + out.lines[static_cast<std::size_t>(i)].descent;
    if (used > visible && fit > 0) break;
    ++fit;
    used += out.lines[static_cast<std::size_t>(i)].leading;
  }
  out.maxScroll = std::max(1, count - fit + 1);
  const int scroll = std::clamp(field.scroll, 1, out.maxScroll);
  int shown = 0;
  used = 0;
  for (int i = scroll - 1; i < count; ++i) {
    used += out.lines[static_cast<std::size_t>(i)].ascent + out.lines[static_cast<std::size_t>(i)].descent;
    if (used > visible && shown > 0) break;
    ++shown;
    used += out.lines[static_cast<std::size_t>(i)].leading;
  }
  out.bottomScroll = std::max(scroll, scroll + shown - 1);
  const double innerWidth = (out.xMax - out.xMin) / 20 - 2 * kGutter;
  double widest = 0;
  for (const LineBox& line : out.lines) widest = std::max(widest, line.x - kGutter + line.width);
  out.maxHScroll = field.wordWrap ? 0 : std::max(0.0, std::floor(widest - innerWidth));
  return out;
}

std::size_t Layout::LineOf(std::size_t index) const {
  for (std::size_t i = 0; i < lines.size(); ++i)
    if (index <= lines[i].end && (i + 1 == lines.size() || index < lines[i + 1].start)) return i;
  return lines.empty() ? 0 : lines.size() - 1;
}

double Layout::LineTop(std::size_t line, int scroll) const {
  if (lines.empty()) return kGutter;
  const std::size_t first = static_cast<std::size_t>(std::clamp(scroll, 1, static_cast<int>(lines.size())) - 1);
  const std::size_t l = std::min(line, lines.size() - 1);
  return lines[l].y - lines[first].y + kGutter;
}

std::size_t Layout::CharAt(const Field& field, double x, double y) const {
  if (lines.empty()) return 0;
  std::size_t line = lines.size() - 1;
  for (std::size_t i = 0; i < lines.size(); ++i) {
    const double top = LineTop(i, field.scroll);
    if (y < top + lines[i].ascent + lines[i].descent + lines[i].leading) {
      line = i;
      break;
    }
  }
  const LineBox& l = lines[line];
  const double px = x + field.hscroll;
  // Nearest boundary between the line's characters.
  std::size_t best = l.start;
  double bestDistance = std::abs(px - l.x);
  double edge = l.x;
  for (const PlacedGlyph& g : glyphs) {
    if (g.line != line) continue;
    edge = g.x + g.advance;
    const double d = std::abs(px - edge);
    if (d < bestDistance) bestDistance = d, best = g.index + 1;
  }
  // Spaces carry no glyph: fall back on even steps between known edges.
  if (px > edge) return l.end;
  return std::min(best, l.end);
}

LineMetrics MetricsOfLine(const Layout& layout, std::size_t line) {
  LineMetrics m;
  if (line >= layout.lines.size()) return m;
  const LineBox& l = layout.lines[line];
  m.x = l.x;
  m.width = l.width;
  m.ascent = l.ascent;
  m.descent = l.descent;
  m.leading = l.leading;
  m.height = l.ascent + l.descent + l.leading;
  return m;
}

}  // namespace quillon::player::text
