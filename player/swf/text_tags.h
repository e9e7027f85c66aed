// Reading the text tags: fonts and what adds to them, static text, text fields and their
// render settings.
#pragma once

#include "swf/bytes.h"
#include "swf/movie.h"

namespace quillon::player {

// Reads a text tag into the movie's dictionary (the tags that add to a character replace it
// with the completed one); false when `code` is no text tag.
bool ReadTextTag(Reader& tag, int code, Movie& movie);

// Shape records without styles (a glyph's outline), filled with fill style 1 (movie.cpp).
void ReadGlyphRecords(Reader& r, ShapeGeometry& g);

}  // namespace quillon::player
