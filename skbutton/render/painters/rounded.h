// The Rounded style: a soft gradient face, an orange rim under the mouse, a sunken pressed face,
// a coloured inner rim for the focused or default button and a dark outline per colour scheme.
// SystemTheme buttons fall back to it when visual styles are off.
#pragma once

#include "redraw.h"

namespace quillon::render {

void PaintRounded(PaintContext& c, int state);

}  // namespace quillon::render
