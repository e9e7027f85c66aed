// The SilverToolbar style: a flat toolbar button that lights up in pale silver under the mouse,
// sinks in grey when pressed and shows a near-white face while it keeps a set Value. It also
// sets ForeColor: white while pressed, the system button text otherwise.
#pragma once

#include "redraw.h"

namespace quillon::render {

void PaintSilverToolbar(PaintContext& c, int state);

}  // namespace quillon::render
