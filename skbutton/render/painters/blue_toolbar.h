// Blue toolbar: flat at rest, a pale blue gradient in a steel-blue outline under the mouse.
#pragma once

#include "redraw.h"

namespace quillon::render {

void PaintBlueToolbar(PaintContext& c, int state);

}  // namespace quillon::render
