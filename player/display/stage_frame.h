// A whole view drawn as the playing window shows it: the stage scaled to fit (or at its own
// size) and centred, black bars around it.
#pragma once

#include "display/player.h"
#include "render/stage_view.h"

namespace quillon::player {

class StageFrame {
 public:
  // Draws the player's current frame into `view` (its size is the view's).
  void Render(const Player& player, Canvas& view, Quality quality, bool scaleToFit = true);
  // Where the stage went in the last view drawn.
  const Viewport& placed() const { return placed_; }

 private:
  Canvas stage_;  // kept between frames: a view of the same size reuses it
  Viewport placed_;
};

// Copies `stage` into `view` at the viewport's corner and paints the rest black; the parts
// of the stage that fall outside the view are cut off.
void PlaceStage(const Canvas& stage, const Viewport& at, Canvas& view);

}  // namespace quillon::player
