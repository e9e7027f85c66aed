// Soft gradient: a highlight band at the top over a long gradient that brightens downwards.
#pragma once

#include "redraw.h"

namespace quillon::render {

void PaintSoftGradient(PaintContext& c, int state);

}  // namespace quillon::render
