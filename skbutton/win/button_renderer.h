// The one place where a button window meets the style painters: the control's Redraw and
// RebuildRegion run the redraw dispatcher on the site's back buffer and shape its window.
#pragma once

#include <memory>

#include "button_site.h"

namespace quillon::controls::win {

// Draws the site's control with its style painter (the factory of ButtonForm by default).
std::unique_ptr<Renderer> MakeStyleRenderer(ButtonSite& site);

}  // namespace quillon::controls::win
