// Layers with filters in them, kept by the frame that draws them and the next: the bands of a
// frame share them (the first band that needs one draws it, the others wait for it and take it),
// and a layer whose object shows just what it showed last frame is taken as it was.
#pragma once

#include <condition_variable>
#include <cstdint>
#include <deque>
#include <functional>
#include <mutex>
#include <vector>

#include "geometry.h"
#include "render/filter.h"
#include "render/layer.h"

namespace quillon::player {

// What an object shows, written down by the display: equal records draw equal pixels.
struct ContentRecord {
  std::vector<std::uint64_t> words;
  std::vector<Filter> filters;
  bool operator==(const ContentRecord&) const = default;
};

class LayerCache {
 public:
  // What a layer's pixels depend on: the object, its placement and the target's grid.
  struct Key {
    const void* object = nullptr;
    Matrix matrix;
    int originX = 0, originY = 0, width = 0, height = 0;
    double scale = 1;
    int quality = 0;
    std::size_t maskLayers = 0;
    // Whether `content` says all the object shows; without it the layer serves this frame only.
    bool recorded = false;
    ContentRecord content;
    bool operator==(const Key& o) const = default;
  };

  // The layer for `key`: made by `make` on the first call, the same one for every later call
  // this frame, and the next frame too when its content is recorded.
  const Layer& Get(const Key& key, const std::function<Layer()>& make);
  // Drops the layers this frame did not ask for, and those it may not keep; no Get may run.
  void EndFrame();
  std::size_t size() const;

 private:
  struct Entry {
    Key key;
    Layer layer;
    bool ready = false;
    bool used = true;  // asked for since the last EndFrame
  };
  mutable std::mutex mutex_;
  std::condition_variable ready_;
  std::deque<Entry> entries_;  // a deque: entries stay where they are as others are added
};

}  // namespace quillon::player
