#include "swf/text_tags.h"

#include <cmath>
#include <cstring>

#include "swf/records.h"
#include "swf/text.h"

namespace quillon::player {
namespace {

enum TextTag : int {
  kDefineFont = 10, kDefineText = 11, kDefineFontInfo = 13, kDefineText2 = 33, kDefineEditText = 37,
  kDefineFont2 = 48, kDefineFontInfo2 = 62, kDefineFontAlignZones = 73, kCsmTextSettings = 74,
  kDefineFont3 = 75, kDefineFontName = 88,
};

// A 16-bit float (1 sign, 5 exponent, 10 mantissa bits), as align zones store them.
double Half(std::uint16_t h) {
  const int sign = h >> 15, exponent = (h >> 10) & 31, mantissa = h & 1023;
  double v;
  if (exponent == 0) v = std::ldexp(mantissa, -24);
  else if (exponent == 31) v = mantissa ? NAN : INFINITY;
  else v = std::ldexp(mantissa + 1024, exponent - 25);
  return sign ? -v : v;
}

// A name stored with its length; the authoring tools end some with a zero.
std::string LengthName(Reader& r, int swfVersion) {
  const std::size_t n = r.u8();
  const auto bytes = r.bytes(n);
  std::string s(bytes.begin(), bytes.end());
  if (const auto zero = s.find('\0'); zero != std::string::npos) s.resize(zero);
  return swfVersion >= 6 ? s : Latin1ToUtf8(s);
}

template <typename T> const T* Existing(const Movie& movie, std::uint16_t id) {
  const Character* c = movie.Find(id);
  return c ? std::get_if<T>(c) : nullptr;
}

void Define(Movie& movie, std::uint16_t id, Character c) {
  movie.dictionary[id] = std::make_shared<const Character>(std::move(c));
}

// The outlines of a glyph table whose offsets count from `base`, `count` entries.
void ReadOutlines(Reader& r, std::size_t base, const std::vector<std::size_t>& offsets, std::size_t end,
                  FontDef& font) {
  for (std::size_t i = 0; i < offsets.size(); ++i) {
    ShapeGeometry g;
    g.fills.push_back(FillStyle{});  // white: the text's colour comes through a colour transform
    g.fills.back().color = {255, 255, 255, 255};
    const std::size_t at = base + offsets[i];
    const std::size_t stop = i + 1 < offsets.size() ? base + offsets[i + 1] : end;
    if (at < stop && stop <= r.size()) {
      r.seek(at);
      Reader glyph(r.bytes(stop - at));
      ReadGlyphRecords(glyph, g);
    }
    font.outlines.push_back(std::move(g));
  }
}

void ReadFont1(Reader& r, Movie& movie) {
  FontDef font;
  const std::uint16_t id = r.u16();
  const std::size_t base = r.pos();
  const std::size_t first = r.u16();
  const std::size_t count = first / 2;
  std::vector<std::size_t> offsets{first};
  for (std::size_t i = 1; i < count && !r.failed(); ++i) offsets.push_back(r.u16());
  if (r.failed()) return;
  font.glyphs.resize(offsets.size());
  ReadOutlines(r, base, offsets, r.size(), font);
  Define(movie, id, std::move(font));
}

void ReadFont23(Reader& r, int code, Movie& movie) {
  FontDef font;
  font.version = code == kDefineFont3 ? 3 : 2;
  font.emSquare = code == kDefineFont3 ? 20480 : 1024;
  const std::uint16_t id = r.u16();
  const std::uint8_t flags = r.u8();
  font.hasLayout = flags & 0x80;
  font.shiftJis = flags & 0x40;
  font.smallText = flags & 0x20;
  font.ansi = flags & 0x10;
  const bool wideOffsets = flags & 0x08;
  font.wideCodes = flags & 0x04;
  font.italic = flags & 0x02;
  font.bold = flags & 0x01;
  font.language = r.u8();
  font.name = LengthName(r, movie.version);
  const std::size_t count = r.u16();
  const std::size_t base = r.pos();
  std::vector<std::size_t> offsets;
  for (std::size_t i = 0; i < count && !r.failed(); ++i) offsets.push_back(wideOffsets ? r.u32() : r.u16());
  const std::size_t codeTable = count || !r.atEnd() ? (wideOffsets ? r.u32() : r.u16()) : 0;
  if (r.failed()) {
    if (count == 0) Define(movie, id, std::move(font));  // a font of device text only
    return;
  }
  font.glyphs.resize(count);
  ReadOutlines(r, base, offsets, base + codeTable, font);
  r.seek(base + codeTable);
  for (auto& glyph : font.glyphs) glyph.code = font.wideCodes ? r.u16() : r.u8();
  if (font.hasLayout && !r.failed()) {
    font.ascent = r.u16();
    font.descent = r.u16();
    font.leading = r.s16();
    // Stored signed, but the reference player reads advances as unsigned: wide glyphs stay wide.
    for (auto& glyph : font.glyphs) glyph.advance = r.u16();
    for (auto& glyph : font.glyphs) ReadRect(r, glyph.bounds[0], glyph.bounds[2], glyph.bounds[1], glyph.bounds[3]);
    const std::size_t kerns = r.u16();
    for (std::size_t i = 0; i < kerns && !r.failed(); ++i) {
      const std::uint16_t a = font.wideCodes ? r.u16() : r.u8();
      const std::uint16_t b = font.wideCodes ? r.u16() : r.u8();
      const double adjust = r.s16();
      if (!r.failed()) font.kerning[{a, b}] = adjust;
    }
  }
  Define(movie, id, std::move(font));
}

void ReadFontInfo(Reader& r, int code, Movie& movie) {
  const std::uint16_t id = r.u16();
  const FontDef* existing = Existing<FontDef>(movie, id);
  if (!existing) return;
  FontDef font = *existing;
  font.name = LengthName(r, code == kDefineFontInfo2 ? 6 : movie.version);
  const std::uint8_t flags = r.u8();
  font.smallText = flags & 0x20;
  font.shiftJis = flags & 0x10;
  font.ansi = flags & 0x08;
  font.italic = flags & 0x04;
  font.bold = flags & 0x02;
  font.wideCodes = flags & 0x01;
  if (code == kDefineFontInfo2) font.language = r.u8();
  for (auto& glyph : font.glyphs) {
    const std::uint16_t c = font.wideCodes ? r.u16() : r.u8();
    if (r.failed()) break;
    glyph.code = c;
  }
  Define(movie, id, std::move(font));
}

void ReadAlignZones(Reader& r, Movie& movie) {
  const std::uint16_t id = r.u16();
  const FontDef* existing = Existing<FontDef>(movie, id);
  if (!existing) return;
  FontDef font = *existing;
  font.alignHint = static_cast<int>(r.u8() >> 6);
  font.alignZones.clear();
  while (!r.atEnd() && font.alignZones.size() < font.glyphs.size()) {
    const std::size_t n = r.u8();
    std::vector<std::pair<double, double>> data;
    for (std::size_t i = 0; i < n; ++i) {
      const double at = Half(r.u16());
      data.emplace_back(at, Half(r.u16()));
    }
    const std::uint8_t mask = r.u8();
    if (r.failed()) break;
    FontAlignZone zone;
    // The zones listed are x first when both are present.
    std::size_t next = 0;
    if ((mask & 1) && next < data.size()) zone.x.push_back(data[next++]);
    if ((mask & 2) && next < data.size()) zone.y.push_back(data[next++]);
    font.alignZones.push_back(std::move(zone));
  }
  Define(movie, id, std::move(font));
}

void ReadFontName(Reader& r, Movie& movie) {
  const std::uint16_t id = r.u16();
  const FontDef* existing = Existing<FontDef>(movie, id);
  if (!existing) return;
  FontDef font = *existing;
  font.fullName = r.str();
  font.copyright = r.str();
  Define(movie, id, std::move(font));
}

void ReadRenderSettings(Reader& r, Movie& movie) {
  const std::uint16_t id = r.u16();
  TextRenderSettings s;
  const std::uint8_t bits = r.u8();
  s.advancedAntiAlias = (bits >> 6) == 1;
  s.gridFit = (bits >> 3) & 7;
  s.thickness = r.f32();
  s.sharpness = r.f32();
  if (r.failed()) return;
  if (const TextDef* text = Existing<TextDef>(movie, id)) {
    TextDef copy = *text;
    copy.settings = s;
    Define(movie, id, std::move(copy));
  } else if (const EditTextDef* edit = Existing<EditTextDef>(movie, id)) {
    EditTextDef copy = *edit;
    copy.settings = s;
    Define(movie, id, std::move(copy));
  }
}

void ReadStaticText(Reader& r, bool alpha, Movie& movie) {
  TextDef text;
  const std::uint16_t id = r.u16();
  ReadRect(r, text.xMin, text.xMax, text.yMin, text.yMax);
  text.matrix = ReadMatrix(r);
  const int glyphBits = r.u8(), advanceBits = r.u8();
  TextRecord state;
  double x = 0;
  while (!r.failed() && !r.atEnd()) {
    const std::uint8_t flags = r.u8();
    if (flags == 0 || r.failed()) break;
    if (flags & 0x08) state.fontId = r.u16();
    if (flags & 0x04) state.color = ReadColor(r, alpha);
    if (flags & 0x01) x = r.s16();
    if (flags & 0x02) state.y = r.s16();
    if (flags & 0x08) state.height = r.u16();
    TextRecord rec = state;
    rec.x = x;
    const std::size_t count = r.u8();
    for (std::size_t i = 0; i < count && !r.failed(); ++i) {
      TextGlyph g;
      g.index = r.ubits(glyphBits);
      g.advance = r.sbits(advanceBits);
      x += g.advance;
      rec.glyphs.push_back(g);
    }
    r.align();
    if (r.failed()) break;
    text.records.push_back(std::move(rec));
  }
  Define(movie, id, std::move(text));
}

void ReadEditText(Reader& r, Movie& movie) {
  EditTextDef e;
  const std::uint16_t id = r.u16();
  ReadRect(r, e.xMin, e.xMax, e.yMin, e.yMax);
  const std::uint8_t a = r.u8(), b = r.u8();
  e.hasText = a & 0x80;
  e.wordWrap = a & 0x40;
  e.multiline = a & 0x20;
  e.password = a & 0x10;
  e.readOnly = a & 0x08;
  e.hasTextColor = a & 0x04;
  e.hasMaxLength = a & 0x02;
  e.hasFont = a & 0x01;
  e.hasFontClass = b & 0x80;
  e.autoSize = b & 0x40;
  e.hasLayout = b & 0x20;
  e.noSelect = b & 0x10;
  e.border = b & 0x08;
  e.wasStatic = b & 0x04;
  e.html = b & 0x02;
  e.useOutlines = b & 0x01;
  if (e.hasFont) e.fontId = r.u16();
  if (e.hasFontClass) e.fontClass = r.str();
  if (e.hasFont || e.hasFontClass) e.fontHeight = r.u16();
  if (e.hasTextColor) e.textColor = ReadColor(r, true);
  if (e.hasMaxLength) e.maxLength = r.u16();
  if (e.hasLayout) {
    e.align = r.u8();
    e.leftMargin = r.u16();
    e.rightMargin = r.u16();
    e.indent = r.u16();
    e.leading = r.s16();
  }
  e.variableName = ReadText(r, movie.version);
  if (e.hasText) e.initialText = ReadText(r, movie.version);
  // A field cut short keeps what was read.
  Define(movie, id, std::move(e));
}

}  // namespace

bool ReadTextTag(Reader& tag, int code, Movie& movie) {
  switch (code) {
    case kDefineFont: ReadFont1(tag, movie); return true;
    case kDefineFont2:
    case kDefineFont3: ReadFont23(tag, code, movie); return true;
    case kDefineFontInfo:
    case kDefineFontInfo2: ReadFontInfo(tag, code, movie); return true;
    case kDefineFontAlignZones: ReadAlignZones(tag, movie); return true;
    case kDefineFontName: ReadFontName(tag, movie); return true;
    case kCsmTextSettings: ReadRenderSettings(tag, movie); return true;
    case kDefineText:
    case kDefineText2: ReadStaticText(tag, code == kDefineText2, movie); return true;
    case kDefineEditText: ReadEditText(tag, movie); return true;
    default: return false;
  }
}

}  // namespace quillon::player
