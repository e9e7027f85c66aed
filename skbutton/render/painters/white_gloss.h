// White gloss: a white-to-BackColor gloss over the upper half, a white rim and a darker outline.
#pragma once

#include "redraw.h"

namespace quillon::render {

void PaintWhiteGloss(PaintContext& c, int state);

}  // namespace quillon::render
