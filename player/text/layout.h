// Lays a field's text out in lines: where each glyph goes, and the measures scripts read
// (textWidth, textHeight, maxscroll, ...). Drawing and the TextField object share it.
#pragma once

#include <cstdint>
#include <vector>

#include "text/field.h"

namespace quillon::player::text {

class FontSource;  // finds the movie's embedded fonts and the system's device fonts

struct LineBox {
  std::size_t start = 0, end = 0;  // UTF-16 units of Field::text, the line's '\r' excluded
  double x = 0, y = 0;             // pixels: left of the first glyph, top of the line box
  double width = 0, ascent = 0, descent = 0, leading = 0;  // pixels
};

struct Layout {
  std::vector<LineBox> lines;
  // (glyph placements for drawing are added by the layout code)
  double textWidth = 0, textHeight = 0;  // pixels, as TextField.textWidth/textHeight give them
  int maxScroll = 1, bottomScroll = 1;   // for the field's current scroll
  double maxHScroll = 0;
};

Layout LayoutField(const Field& field, const FontSource& fonts);

}  // namespace quillon::player::text
