// Gold hover: a two-part face at rest, gold under the mouse and orange when pressed, in a navy outline.
#pragma once

#include "redraw.h"

namespace quillon::render {

void PaintGoldHover(PaintContext& c, int state);

}  // namespace quillon::render
