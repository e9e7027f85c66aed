#include "render/layer.h"

#include <algorithm>
#include <array>

namespace quillon::player {
namespace {

constexpr std::array<std::string_view, 14> kNames = {"normal", "layer", "multiply", "screen", "lighten",
                                                     "darken", "difference", "add", "subtract", "invert",
                                                     "alpha", "erase", "overlay", "hardlight"};

// Buffers smaller than this come cheaply from the allocator; the kept ones stay within the budget.
constexpr std::size_t kKeepFrom = 64 * 1024, kKeptBytes = 48u << 20, kKeptBuffers = 6;

struct KeptPixels {
  std::vector<std::vector<Rgba>> buffers;
  std::size_t bytes = 0;
};

KeptPixels& Kept() {
  thread_local KeptPixels kept;
  return kept;
}

}  // namespace

std::vector<Rgba> ClearPixels(std::size_t count) {
  KeptPixels& kept = Kept();
  if (count >= kKeepFrom) {
    // The smallest kept buffer that holds them.
    std::size_t best = kept.buffers.size();
    for (std::size_t i = 0; i < kept.buffers.size(); ++i)
      if (kept.buffers[i].capacity() >= count &&
          (best == kept.buffers.size() || kept.buffers[i].capacity() < kept.buffers[best].capacity()))
        best = i;
    if (best < kept.buffers.size()) {
      std::vector<Rgba> out = std::move(kept.buffers[best]);
      kept.buffers.erase(kept.buffers.begin() + static_cast<std::ptrdiff_t>(best));
      kept.bytes -= out.capacity() * sizeof(Rgba);
      out.assign(count, Rgba{0, 0, 0, 0});
      return out;
    }
  }
  return std::vector<Rgba>(count, Rgba{0, 0, 0, 0});
}

void GiveBackPixels(std::vector<Rgba>&& pixels) {
  const std::size_t bytes = pixels.capacity() * sizeof(Rgba);
  if (pixels.capacity() < kKeepFrom || bytes > kKeptBytes) return;
  KeptPixels& kept = Kept();
  // Room is made by dropping the oldest.
  while (!kept.buffers.empty() && (kept.buffers.size() >= kKeptBuffers || kept.bytes + bytes > kKeptBytes)) {
    kept.bytes -= kept.buffers.front().capacity() * sizeof(Rgba);
    kept.buffers.erase(kept.buffers.begin());
  }
  kept.bytes += bytes;
  kept.buffers.push_back(std::move(pixels));
  pixels = {};
}

LayerRect ContentRect(const Layer& layer) {
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
  if (x1 < 0) return {};
  return {x0, y0, x1 + 1, y1 + 1};
}

void TrimToContent(Layer& layer) {
  const LayerRect r = ContentRect(layer);
  if (r.empty()) {
    layer = Layer(layer.x, layer.y, 0, 0);
    return;
  }
  if (r.x0 == 0 && r.y0 == 0 && r.x1 == layer.width && r.y1 == layer.height) return;
  Layer out(layer.x + r.x0, layer.y + r.y0, r.x1 - r.x0, r.y1 - r.y0);
  for (int j = 0; j < out.height; ++j)
    std::copy_n(&layer.at(r.x0, r.y0 + j), out.width, &out.at(0, j));
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
