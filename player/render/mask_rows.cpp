#include "render/mask_rows.h"

#include <algorithm>

namespace quillon::player {

RowSpan CoveredRows(const MaskBuffer& mask, int width, int top, int bottom) {
  if (width <= 0) return {};
  const int rows = static_cast<int>(mask.size() / static_cast<std::size_t>(width));
  top = std::max(top, 0), bottom = std::min(bottom, rows);
  auto zeroRow = [&](int y) {
    return ZeroRun(mask.data() + static_cast<std::size_t>(y) * static_cast<std::size_t>(width), width) == width;
  };
  while (top < bottom && zeroRow(top)) ++top;
  while (bottom > top && zeroRow(bottom - 1)) --bottom;
  return {top, bottom};
}

}  // namespace quillon::player
