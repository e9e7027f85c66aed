// The styles that look like system push buttons: Classic, Flat, HoverRaised and HoverThin.
#pragma once

#include "redraw.h"

namespace quillon::render {

// A BackColor face framed by the system's three-dimensional edges.
void PaintEdgeStyles(PaintContext& c, int state);

}  // namespace quillon::render
