// Font and text tags for tests: fonts whose glyphs are squares, so every pixel and measure of
// the text follows from the numbers given.
#pragma once

#include <string>

#include "swf_writer.h"

namespace quillon::player::test {

// A glyph outline: the square [0, side] x [-side, 0] in font units (on the baseline), as
// shape records with one fill bit and no line bits.
inline Bytes SquareGlyph(int side) {
  Bits b;
  b.u(1, 4);  // fill bits
  b.u(0, 4);  // line bits
  b.u(0, 1);  // style change
  b.u(0, 1);  // new styles
  b.u(0, 1);  // line style
  b.u(1, 1);  // fill style 1
  b.u(0, 1);  // fill style 0
  b.u(1, 1);  // move to
  b.u(31, 5);
  b.s(0, 31);
  b.s(-side, 31);
  b.u(1, 1);  // fill style 1 = 1
  const std::pair<int, int> steps[] = {{side, 0}, {0, side}, {-side, 0}, {0, -side}};
  for (const auto& [dx, dy] : steps) {
    b.u(1, 1);   // edge
    b.u(1, 1);   // straight
    b.u(15, 4);  // 17 bits
    b.u(1, 1);   // general line
    b.s(dx, 17);
    b.s(dy, 17);
  }
  b.u(0, 6);
  return b.done();
}

struct TestFont {
  int id = 1;
  std::string name = "Squares";
  bool font3 = false;            // DefineFont3 (20480 units an em) instead of DefineFont2
  std::u16string codes = u"A";   // one square glyph each
  int side = 512;                // in 1024ths of an em
  int advance = 512;             // in 1024ths of an em
  int ascent = 800, descent = 200, leading = 0;  // in 1024ths of an em
  bool layout = true;
};

inline Bytes FontTag(const TestFont& f) {
  const int k = f.font3 ? 20 : 1;
  Bytes body;
  U16(body, static_cast<unsigned>(f.id));
  body.push_back(static_cast<std::uint8_t>((f.layout ? 0x80 : 0) | 0x08 | 0x04));  // wide offsets and codes
  body.push_back(1);                                                                // language
  body.push_back(static_cast<std::uint8_t>(f.name.size()));
  body.insert(body.end(), f.name.begin(), f.name.end());
  U16(body, static_cast<unsigned>(f.codes.size()));
  const Bytes glyph = SquareGlyph(f.side * k);
  const std::size_t n = f.codes.size();
  const std::size_t tableSize = 4 * n + 4;
  for (std::size_t i = 0; i < n; ++i) U32(body, static_cast<std::uint32_t>(tableSize + i * glyph.size()));
  U32(body, static_cast<std::uint32_t>(tableSize + n * glyph.size()));
  for (std::size_t i = 0; i < n; ++i) Append(body, glyph);
  for (const char16_t c : f.codes) U16(body, c);
  if (f.layout) {
    U16(body, static_cast<unsigned>(f.ascent * k));
    U16(body, static_cast<unsigned>(f.descent * k));
    U16(body, static_cast<unsigned>(f.leading * k));
    for (std::size_t i = 0; i < n; ++i) U16(body, static_cast<unsigned>(f.advance * k));
    for (std::size_t i = 0; i < n; ++i) Append(body, Rect(0, f.side * k, -f.side * k, 0));
    U16(body, 0);  // no kerning
  }
  return Tag(f.font3 ? 75 : 48, body);
}

struct TextRun {
  int fontId = 1;
  Rgb color{0, 0, 0};
  int x = 0, y = 0;   // twips
  bool hasX = true;   // without, the record starts where the last one's advances end
  int height = 240;   // twips
  std::vector<std::pair<int, int>> glyphs;  // index, advance (twips)
};

// DefineText (colour without alpha) or DefineText2, every record setting font, colour and offsets.
inline Bytes StaticText(int id, const std::vector<TextRun>& runs, bool alpha) {
  Bytes body;
  U16(body, static_cast<unsigned>(id));
  Append(body, Rect(0, 4000, 0, 4000));
  Append(body, MatrixBytes(0, 0));
  body.push_back(8);   // glyph bits
  body.push_back(16);  // advance bits
  for (const TextRun& r : runs) {
    body.push_back(static_cast<std::uint8_t>(0x80 | 0x08 | 0x04 | 0x02 | (r.hasX ? 0x01 : 0)));
    U16(body, static_cast<unsigned>(r.fontId));
    body.insert(body.end(), {r.color.r, r.color.g, r.color.b});
    if (alpha) body.push_back(r.color.a);
    if (r.hasX) U16(body, static_cast<unsigned>(r.x));
    U16(body, static_cast<unsigned>(r.y));
    U16(body, static_cast<unsigned>(r.height));
    body.push_back(static_cast<std::uint8_t>(r.glyphs.size()));
    Bits b;
    for (const auto& [index, advance] : r.glyphs) {
      b.u(static_cast<std::uint32_t>(index), 8);
      b.s(advance, 16);
    }
    Append(body, b.done());
  }
  body.push_back(0);
  return Tag(alpha ? 33 : 11, body);
}

struct EditText {
  int id = 2;
  int xMin = 0, xMax = 2000, yMin = 0, yMax = 600;  // twips
  int fontId = 0;       // 0: no font
  int height = 240;     // twips
  bool outlines = false, border = false, html = false, wordWrap = false, multiline = false, password = false;
  bool readOnly = true;  // false: an input field
  bool hasColor = false;
  Rgb color{0, 0, 0};
  std::string variable, text;
};

inline Bytes EditTextTag(const EditText& e) {
  Bytes body;
  U16(body, static_cast<unsigned>(e.id));
  Append(body, Rect(e.xMin, e.xMax, e.yMin, e.yMax));
  std::uint8_t a = e.readOnly ? 0x08 : 0;
  if (!e.text.empty()) a |= 0x80;
  if (e.wordWrap) a |= 0x40;
  if (e.multiline) a |= 0x20;
  if (e.password) a |= 0x10;
  if (e.hasColor) a |= 0x04;
  if (e.fontId) a |= 0x01;
  std::uint8_t b = 0;
  if (e.border) b |= 0x08;
  if (e.html) b |= 0x02;
  if (e.outlines) b |= 0x01;
  body.push_back(a);
  body.push_back(b);
  if (e.fontId) {
    U16(body, static_cast<unsigned>(e.fontId));
    U16(body, static_cast<unsigned>(e.height));
  }
  if (e.hasColor) body.insert(body.end(), {e.color.r, e.color.g, e.color.b, e.color.a});
  body.insert(body.end(), e.variable.begin(), e.variable.end());
  body.push_back(0);
  if (!e.text.empty()) {
    body.insert(body.end(), e.text.begin(), e.text.end());
    body.push_back(0);
  }
  return Tag(37, body);
}

}  // namespace quillon::player::test
