#include "render/layer.h"

#include <algorithm>
#include <array>

namespace quillon::player {
namespace {

constexpr std::array<std::string_view, 14> kNames = {"normal", "layer", "multiply", "screen", "lighten",
                                                     "darken", "difference", "add", "subtract", "invert",
                                                     "alpha", "erase", "overlay", "hardlight"};

}  // namespace

void TrimToContent(Layer& layer) {
  int x0 = layer.width, y0 = layer.height, x1 = -1, y1 = -1;
  for (int j = 0; j < layer.height; ++j) {
    const Rgba* row = &layer.pixels[static_cast<std::size_t>(j) * static_cast<std::size_t>(layer.width)];
    int first = 0;
    while (first < layer.width && row[first].a == 0) ++first;
    if (first == layer.width) continue;
    int last = layer.width - 1;
    while (row[last].a == 0) --last;
    x0 = std::min(x0, first), x1 = std::max(x1, last);
    y0 = std::min(y0, j), y1 = j;
  }
  if (x1 < 0) {
    layer = Layer(layer.x, layer.y, 0, 0);
    return;
  }
  if (x0 == 0 && y0 == 0 && x1 == layer.width - 1 && y1 == layer.height - 1) return;
  Layer out(layer.x + x0, layer.y + y0, x1 - x0 + 1, y1 - y0 + 1);
  for (int j = 0; j < out.height; ++j)
    std::copy_n(&layer.at(x0, y0 + j), out.width, &out.at(0, j));
  layer = std::move(out);
}

BlendMode BlendModeFromName(std::string_view name) {
  for (std::size_t i = 0; i < kNames.size(); ++i)
    if (kNames[i] == name) return static_cast<BlendMode>(i + 1);
  return BlendMode::Normal;
}

std::string_view BlendModeName(BlendMode mode) {
  const auto i = static_cast<std::size_t>(mode);
  return i >= 1 && i <= kNames.size() ? kNames[i - 1] : kNames[0];
}

}  // namespace quillon::player
