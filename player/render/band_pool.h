// Worker threads kept for drawing one frame in bands side by side: each band is a run of
// rows that only its own job writes.
#pragma once

#include <condition_variable>
#include <cstdint>
#include <functional>
#include <mutex>
#include <thread>
#include <vector>

namespace quillon::player {

class BandPool {
 public:
  // `threads` counts the caller's own: a pool of 1 starts no thread.
  explicit BandPool(int threads);
  ~BandPool();
  BandPool(const BandPool&) = delete;
  BandPool& operator=(const BandPool&) = delete;

  int threads() const { return static_cast<int>(workers_.size()) + 1; }
  // Runs job(0) .. job(count - 1) on the workers and the calling thread; returns when all are done.
  void Run(int count, const std::function<void(int)>& job);

  // The drawing threads a count asks for: 0 is one a core.
  static int Resolve(int requested);

 private:
  void Work();
  // Takes the next job of the current round and runs it; false when none is left.
  bool RunOne(std::unique_lock<std::mutex>& lock);

  std::mutex mutex_;
  std::condition_variable wake_, done_;
  const std::function<void(int)>* job_ = nullptr;
  int count_ = 0, next_ = 0, running_ = 0;
  std::uint64_t round_ = 0;
  bool stop_ = false;
  std::vector<std::thread> workers_;
};

}  // namespace quillon::player
