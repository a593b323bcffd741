// A small pool of threads that runs the same job on tasks 0..n-1 and
// returns when all are done.  Tasks must be independent (each touches only
// its own data), so the results never depend on the number of threads or on
// which thread ran which task.
#pragma once

#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <mutex>
#include <thread>
#include <vector>

namespace psk {

class WorkerPool {
 public:
  // threads <= 1 runs every task on the caller's thread.
  explicit WorkerPool(int threads);
  ~WorkerPool();
  WorkerPool(const WorkerPool&) = delete;
  WorkerPool& operator=(const WorkerPool&) = delete;

  int threads() const { return static_cast<int>(workers_.size()) + 1; }
  // Runs job(i) for every i in 0..count-1, the caller's thread taking part.
  void run(size_t count, const std::function<void(size_t)>& job);

 private:
  void work();
  void drain();

  std::vector<std::thread> workers_;                  // helper threads (threads - 1)
  std::mutex mutex_;                                  // guards everything below
  std::condition_variable wake_;                      // a batch started, or stop
  std::condition_variable done_;                      // the batch's last task ended
  const std::function<void(size_t)>* job_ = nullptr;  // the batch's job
  size_t count_ = 0;                                  // tasks in the batch
  size_t next_ = 0;                                   // next task to hand out
  size_t finished_ = 0;                               // tasks finished
  uint64_t batch_ = 0;                                // batches started
  bool stop_ = false;                                 // the pool is closing
};

}  // namespace psk
