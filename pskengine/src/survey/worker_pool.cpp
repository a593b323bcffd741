#include "survey/worker_pool.h"

namespace psk {

WorkerPool::WorkerPool(int threads) {
  for (int i = 1; i < threads; ++i) workers_.emplace_back([this] { work(); });
}

WorkerPool::~WorkerPool() {
  {
    std::lock_guard lock(mutex_);
    stop_ = true;
  }
  wake_.notify_all();
  for (std::thread& t : workers_) t.join();
}

void WorkerPool::run(size_t count, const std::function<void(size_t)>& job) {
  if (workers_.empty() || count <= 1) {
    for (size_t i = 0; i < count; ++i) job(i);
    return;
  }
  {
    std::lock_guard lock(mutex_);
    job_ = &job;
    count_ = count;
    next_ = 0;
    finished_ = 0;
    ++batch_;
  }
  wake_.notify_all();
  drain();
  std::unique_lock lock(mutex_);
  done_.wait(lock, [this] { return finished_ == count_; });
  job_ = nullptr;
}

// Takes tasks of the current batch until none is left.
void WorkerPool::drain() {
  std::unique_lock lock(mutex_);
  while (job_ != nullptr && next_ < count_) {
    const size_t task = next_++;
    const auto* job = job_;
    lock.unlock();
    (*job)(task);
    lock.lock();
    if (++finished_ == count_) done_.notify_all();
  }
}

void WorkerPool::work() {
  uint64_t seen = 0;
  for (;;) {
    {
      std::unique_lock lock(mutex_);
      wake_.wait(lock, [&] { return stop_ || batch_ != seen; });
      if (stop_) return;
      seen = batch_;
    }
    drain();
  }
}

}  // namespace psk
