// Records that several tags share, for the reader and the development tools.
#pragma once

#include <vector>

#include "geometry.h"
#include "render/filter.h"
#include "swf/bytes.h"

namespace quillon::player {

Matrix ReadMatrix(Reader& r);
Rgba ReadRgb(Reader& r);
Rgba ReadRgba(Reader& r);
Rgba ReadColor(Reader& r, bool alpha);
void ReadRect(Reader& r, double& xMin, double& xMax, double& yMin, double& yMax);
ColorTransform ReadColorTransform(Reader& r, bool alpha);
// A filter list (PlaceObject3, button records); a damaged one keeps the filters read whole.
std::vector<Filter> ReadFilters(Reader& r);

}  // namespace quillon::player
