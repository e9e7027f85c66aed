// Lays a field's text out in lines: where each glyph goes, and the measures scripts read
// (textWidth, textHeight, maxscroll, ...). Drawing and the TextField object share it.
#pragma once

#include <cstdint>
#include <string_view>
#include <vector>

#include "text/face.h"
#include "text/field.h"

namespace quillon::player::text {

// Finds the movie's embedded fonts and the system's device fonts. This base finds none, so
// text measures as zero width and draws nothing; the player's source and the stub's derive.
class FontSource {
 public:
  virtual ~FontSource() = default;
  // An embedded font (DefineFont, DefineFont2, DefineFont3) by character id.
  virtual const Face* Embedded(std::uint16_t /*id*/) const { return nullptr; }
  // An embedded font by the name DefineFontInfo or DefineFont2 gives it, matching the style
  // when there is a choice.
  virtual const Face* EmbeddedNamed(std::string_view /*name*/, bool /*bold*/, bool /*italic*/) const { return nullptr; }
  // A device face: "_sans", "_serif", "_typewriter" or a named face, mapped to what the system has.
  virtual const Face* Device(std::string_view /*name*/, bool /*bold*/, bool /*italic*/) const { return nullptr; }
  // A device face that holds `ch`, for characters the chosen face lacks.
  virtual const Face* Fallback(char32_t /*ch*/, bool /*bold*/, bool /*italic*/) const { return nullptr; }
};

// The reference player keeps this many pixels between a field's box and its text.
inline constexpr double kGutter = 2;

struct LineBox {
  std::size_t start = 0, end = 0;  // UTF-16 units of Field::text, the line's '\r' excluded
  double x = 0, y = 0;             // pixels: left of the first glyph, top of the line box
  double width = 0, ascent = 0, descent = 0, leading = 0;  // pixels
  double height() const { return ascent + descent; }
};

// One glyph to draw, in pixels of the field's space with (0, 0) at the box's top-left, before
// scrolling.
struct PlacedGlyph {
  const Face* face = nullptr;
  int glyph = 0;
  double x = 0, baseline = 0;  // the glyph's origin
  double size = 0;             // the em height in pixels
  double advance = 0;          // pixels to the next character (letter spacing included)
  std::uint32_t color = 0;     // 0xRRGGBB
  std::size_t index = 0;       // the character of Field::text it shows
  std::size_t line = 0;        // into Layout::lines
  bool underline = false;
};

struct Layout {
  std::vector<LineBox> lines;
  std::vector<PlacedGlyph> glyphs;  // in text order
  double textWidth = 0, textHeight = 0;  // pixels, as TextField.textWidth/textHeight give them
  int maxScroll = 1, bottomScroll = 1;   // for the field's current scroll
  double maxHScroll = 0;
  // The box after auto-size, in twips (the field's own box when it does not auto-size).
  double xMin = 0, yMin = 0, xMax = 0, yMax = 0;

  // The character index nearest to a point in the field's space (pixels from the box's
  // top-left, scroll applied), for the caret and selection.
  std::size_t CharAt(const Field& field, double x, double y) const;
  // The line holding a character index (the last line for the end of the text).
  std::size_t LineOf(std::size_t index) const;
  // The top of line `line` in pixels below the box's top when the field shows `scroll` first.
  double LineTop(std::size_t line, int scroll) const;
};

Layout LayoutField(const Field& field, const FontSource& fonts);

// TextField.getLineMetrics: the measures of one line.
struct LineMetrics {
  double x = 0, width = 0, height = 0, ascent = 0, descent = 0, leading = 0;
};
LineMetrics MetricsOfLine(const Layout& layout, std::size_t line);

// The face a format asks for: an embedded one when the field uses embedded fonts (by name,
// or the field's font id), else a device face; null when nothing is found.
const Face* FaceFor(const Field& field, const TextFormat& format, const FontSource& fonts);

}  // namespace quillon::player::text
