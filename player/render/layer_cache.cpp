#include "render/layer_cache.h"

namespace quillon::player {

const Layer& LayerCache::Get(const Key& key, const std::function<Layer()>& make) {
  std::unique_lock lock(mutex_);
  for (Entry& e : entries_) {
    if (!(e.key == key)) continue;
    // A band drawing it holds no lock while it does, and needs no layer another band is waiting
    // on: what it draws lies inside this layer, which the others have not got into yet.
    ready_.wait(lock, [&e] { return e.ready; });
    e.used = true;
    return e.layer;
  }
  Entry& mine = entries_.emplace_back();
  mine.key = key;
  lock.unlock();
  Layer made;
  try {
    made = make();
  } catch (...) {
    lock.lock();
    mine.ready = true;  // waiting bands take an empty layer
    mine.key.recorded = false;  // and the next frame tries again
    ready_.notify_all();
    throw;
  }
  lock.lock();
  mine.layer = std::move(made);
  mine.ready = true;
  ready_.notify_all();
  return mine.layer;
}

void LayerCache::EndFrame() {
  std::lock_guard lock(mutex_);
  std::erase_if(entries_, [](const Entry& e) { return !e.used || !e.key.recorded; });
  for (Entry& e : entries_) e.used = false;
}

std::size_t LayerCache::size() const {
  std::lock_guard lock(mutex_);
  return entries_.size();
}

}  // namespace quillon::player
