// Orange gloss: a face split at about three eighths of its height, orange when hot, pressed or latched.
#pragma once

#include "redraw.h"

namespace quillon::render {

void PaintOrangeGloss(PaintContext& c, int state);

}  // namespace quillon::render
