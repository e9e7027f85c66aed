// The layers of one frame that every band draws whole (those with filters in them), shared by
// the bands: the first band that needs one draws it, the others wait for it and take it.
#pragma once

#include <condition_variable>
#include <deque>
#include <functional>
#include <mutex>

#include "geometry.h"
#include "render/layer.h"

namespace quillon::player {

class LayerCache {
 public:
  // What a layer's pixels depend on besides the object: its placement and the target's grid.
  struct Key {
    const void* object = nullptr;
    Matrix matrix;
    int originX = 0, originY = 0, width = 0, height = 0;
    double scale = 1;
    int quality = 0;
    std::size_t maskLayers = 0;
    bool operator==(const Key& o) const {
      return object == o.object && matrix.a == o.matrix.a && matrix.b == o.matrix.b && matrix.c == o.matrix.c &&
             matrix.d == o.matrix.d && matrix.tx == o.matrix.tx && matrix.ty == o.matrix.ty && originX == o.originX &&
             originY == o.originY && width == o.width && height == o.height && scale == o.scale &&
             quality == o.quality && maskLayers == o.maskLayers;
    }
  };

  // The layer for `key`: made by `make` on the first call, the same one for every later call.
  const Layer& Get(const Key& key, const std::function<Layer()>& make);
  std::size_t size() const;

 private:
  struct Entry {
    Key key;
    Layer layer;
    bool ready = false;
  };
  mutable std::mutex mutex_;
  std::condition_variable ready_;
  std::deque<Entry> entries_;  // a deque: entries stay where they are as others are added
};

}  // namespace quillon::player
