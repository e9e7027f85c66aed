#include "render/band_pool.h"

#include <algorithm>

namespace quillon::player {

BandPool::BandPool(int threads) {
  for (int i = 1; i < threads; ++i) workers_.emplace_back([this] { Work(); });
}

BandPool::~BandPool() {
  {
    const std::lock_guard<std::mutex> lock(mutex_);
    stop_ = true;
    wake_.notify_all();
  }
  for (std::thread& t : workers_) t.join();
}

int BandPool::Resolve(int requested) {
  if (requested > 0) return std::min(requested, 64);
  const unsigned cores = std::thread::hardware_concurrency();
  return static_cast<int>(std::clamp(cores, 1u, 64u));
}

bool BandPool::RunOne(std::unique_lock<std::mutex>& lock) {
  if (!job_ || next_ >= count_) return false;
  const int index = next_++;
  ++running_;
  const std::function<void(int)>& job = *job_;
  lock.unlock();
  job(index);
  lock.lock();
  --running_;
  if (next_ >= count_ && running_ == 0) done_.notify_all();
  return true;
}

void BandPool::Work() {
  std::unique_lock<std::mutex> lock(mutex_);
  std::uint64_t seen = 0;
  for (;;) {
    wake_.wait(lock, [&] { return stop_ || round_ != seen; });
    if (stop_) return;
    seen = round_;
    while (RunOne(lock)) {
    }
  }
}

void BandPool::Run(int count, const std::function<void(int)>& job) {
  if (count <= 0) return;
  if (workers_.empty() || count == 1) {
    for (int i = 0; i < count; ++i) job(i);
    return;
  }
  std::unique_lock<std::mutex> lock(mutex_);
  job_ = &job;
  count_ = count;
  next_ = 0;
  ++round_;
  wake_.notify_all();
  while (RunOne(lock)) {
  }
  done_.wait(lock, [&] { return next_ >= count_ && running_ == 0; });
  job_ = nullptr;
  count_ = 0;
}

}  // namespace quillon::player
