#include "display/stage_frame.h"

#include <algorithm>

namespace quillon::player {

void PlaceStage(const Canvas& stage, const Viewport& at, Canvas& view) {
  constexpr Rgba kBar{0, 0, 0, 255};
  const int x0 = std::max(0, at.x), x1 = std::min(view.width, at.x + stage.width);
  for (int y = 0; y < view.height; ++y) {
    Rgba* row = &view.pixels[static_cast<std::size_t>(y) * static_cast<std::size_t>(view.width)];
    const int sy = y - at.y;
    if (sy < 0 || sy >= stage.height || x1 <= x0) {
      std::fill(row, row + view.width, kBar);
      continue;
    }
    std::fill(row, row + x0, kBar);
    std::copy_n(&stage.at(x0 - at.x, sy), x1 - x0, row + x0);
    std::fill(row + x1, row + view.width, kBar);
  }
}

void StageFrame::Render(const Player& player, Canvas& view, Quality quality, bool scaleToFit) {
  const int w = player.movie().StageWidth(), h = player.movie().StageHeight();
  placed_ = scaleToFit ? FitStage(view.width, view.height, w, h) : CentreStage(view.width, view.height, w, h);
  if (placed_.width <= 0 || placed_.height <= 0) {
    PlaceStage(Canvas(), placed_, view);
    return;
  }
  if (stage_.width != placed_.width || stage_.height != placed_.height)
    stage_ = Canvas(placed_.width, placed_.height, {});
  player.Render(stage_, quality, placed_.scale);
  PlaceStage(stage_, placed_, view);
}

}  // namespace quillon::player
