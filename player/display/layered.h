// Which display objects draw through an offscreen layer (Player::DrawLayered).
#pragma once

#include "display/player.h"

namespace quillon::player {

// A blend mode other than normal, filters, bitmap caching, an opaque background or a scroll rect.
bool NeedsLayer(const DisplayObject& obj);

}  // namespace quillon::player
