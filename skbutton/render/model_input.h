// What the renderer reads of a skbutton, taken from the control's model in one go.
#pragma once

#include "paint_input.h"

namespace quillon::controls {
class skbutton;
}

namespace quillon::render {

// Properties, state and flags of the button, the surface font as a LOGFONT-level description
// (at the given dots per inch) and the container's UserMode ambient flag.
PaintInput PaintInputFrom(const controls::skbutton& button, int dpi = 96);

}  // namespace quillon::render
