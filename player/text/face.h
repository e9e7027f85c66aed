// A font face as layout and drawing see it, whether embedded in the movie or found on the
// system: metrics in ems, glyph lookup and outlines.
#pragma once

#include <cstdint>

#include "swf/movie.h"

namespace quillon::player::text {

// Outlines are in a 1024-unit em square, y down (the EM square of DefineFont and DefineFont2),
// filled with fill style 1.
inline constexpr double kEmUnits = 1024;

class Face {
 public:
  virtual ~Face() = default;
  // Metrics as fractions of the em height.
  virtual double Ascent() const = 0;
  virtual double Descent() const = 0;
  virtual double Leading() const = 0;
  // The glyph for a character, or -1 when the face has none.
  virtual int Glyph(char32_t ch) const = 0;
  // Advance width in ems.
  virtual double Advance(int glyph) const = 0;
  // The kerning adjustment between two glyphs, in ems.
  virtual double Kerning(int /*left*/, int /*right*/) const { return 0; }
  // The glyph's outline, or null for an empty one.
  virtual const ShapeGeometry* Outline(int glyph) const = 0;
  // Device faces draw with the system's outlines and hinting; embedded ones come from the movie.
  virtual bool IsDevice() const = 0;
};

}  // namespace quillon::player::text
