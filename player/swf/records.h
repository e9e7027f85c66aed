// Records that several tags share, for the reader and the development tools.
#pragma once

#include "geometry.h"
#include "swf/bytes.h"

namespace quillon::player {

Matrix ReadMatrix(Reader& r);
ColorTransform ReadColorTransform(Reader& r, bool alpha);
// Filter lists (PlaceObject3, button records) are read past: they are not drawn yet.
void SkipFilters(Reader& r);

}  // namespace quillon::player
