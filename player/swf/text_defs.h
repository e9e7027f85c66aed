// The movie's text characters as the tags define them: fonts (DefineFont, 2, 3 and the tags
// that add to them), static text (DefineText, DefineText2) and text fields (DefineEditText).
#pragma once

#include <array>
#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "geometry.h"

namespace quillon::player {

// The geometry types live in movie.h, which includes this file after declaring them.
struct ShapeGeometry;

// CSMTextSettings: how the authoring tool asked a text to be rendered.
struct TextRenderSettings {
  bool advancedAntiAlias = false;  // "advanced" rather than "normal"
  int gridFit = 0;                 // 0 none, 1 pixel, 2 subpixel
  double thickness = 0, sharpness = 0;
};

struct FontGlyph {
  std::uint16_t code = 0;                // UTF-16 unit (or the font's code page) it maps from
  double advance = 0;                    // em units of the font (see FontDef::emSquare)
  std::array<double, 4> bounds{};        // x min, y min, x max, y max, when the font has a layout
};

// DefineFontAlignZones: one entry per glyph, each zone as (position, size) in ems.
struct FontAlignZone {
  std::vector<std::pair<double, double>> x, y;
};

struct FontDef {
  int version = 1;           // the DefineFont tag it came from: 1, 2 or 3
  double emSquare = 1024;    // outline units per em: 1024, or 20480 for DefineFont3
  std::string name;          // from DefineFont2/3 or DefineFontInfo, UTF-8
  bool bold = false, italic = false, smallText = false, shiftJis = false, ansi = false, wideCodes = false;
  std::uint8_t language = 0;
  bool hasLayout = false;
  double ascent = 0, descent = 0, leading = 0;  // em units
  std::vector<FontGlyph> glyphs;
  // Outlines, one per glyph, in the font's units (y down), fill style 1.
  std::vector<ShapeGeometry> outlines;
  std::map<std::pair<std::uint16_t, std::uint16_t>, double> kerning;  // by codes, em units
  std::vector<FontAlignZone> alignZones;
  int alignHint = 0;  // DefineFontAlignZones' CSM table hint: 0 thin, 1 medium, 2 thick
  std::string fullName, copyright;  // DefineFontName
};

struct TextGlyph {
  std::uint32_t index = 0;  // into the font's glyphs
  double advance = 0;       // twips
};

// A text record with every setting resolved from the records before it.
struct TextRecord {
  std::uint16_t fontId = 0;
  Rgba color{0, 0, 0, 255};
  double x = 0, y = 0;  // twips: the first glyph's origin on the baseline
  double height = 0;    // twips: the em height
  std::vector<TextGlyph> glyphs;
};

struct TextDef {
  double xMin = 0, yMin = 0, xMax = 0, yMax = 0;
  Matrix matrix;
  std::vector<TextRecord> records;
  std::optional<TextRenderSettings> settings;
};

struct EditTextDef {
  double xMin = 0, yMin = 0, xMax = 0, yMax = 0;
  bool hasText = false, wordWrap = false, multiline = false, password = false, readOnly = false;
  bool hasTextColor = false, hasMaxLength = false, hasFont = false, hasFontClass = false, autoSize = false;
  bool hasLayout = false, noSelect = false, border = false, wasStatic = false, html = false, useOutlines = false;
  std::uint16_t fontId = 0;
  std::string fontClass;
  double fontHeight = 240;  // twips
  Rgba textColor{0, 0, 0, 255};
  int maxLength = 0;
  int align = 0;  // 0 left, 1 right, 2 centre, 3 justify
  double leftMargin = 0, rightMargin = 0, indent = 0, leading = 0;  // twips
  std::string variableName, initialText;  // UTF-8
  std::optional<TextRenderSettings> settings;
};

}  // namespace quillon::player
