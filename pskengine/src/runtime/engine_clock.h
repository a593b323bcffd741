// The processing thread's sense of time.  The engine paces files, holds the
// status lamp and retries a lost device by this clock; a run uses the steady
// clock, a test a clock it moves by hand, so no test waits for time to pass.
#pragma once

#include <chrono>
#include <condition_variable>
#include <mutex>

namespace psk {

class EngineClock {
 public:
  using time_point = std::chrono::steady_clock::time_point;
  using duration = std::chrono::steady_clock::duration;

  virtual ~EngineClock() = default;
  virtual time_point now() const = 0;
  // Blocks until now() reaches deadline or interrupt() is called; true when
  // interrupted.  After interrupt() every call returns true at once, until
  // clear_interrupt().
  virtual bool wait_until(time_point deadline) = 0;
  virtual void interrupt() = 0;
  virtual void clear_interrupt() = 0;
};

// The steady clock, with a condition variable for early wake-up.
class SteadyEngineClock : public EngineClock {
 public:
  time_point now() const override { return std::chrono::steady_clock::now(); }
  bool wait_until(time_point deadline) override {
    std::unique_lock lock(mutex_);
    if (deadline == time_point::max()) {
      cv_.wait(lock, [this] { return interrupted_; });
      return true;
    }
    return cv_.wait_until(lock, deadline, [this] { return interrupted_; });
  }
  void interrupt() override {
    {
      std::lock_guard lock(mutex_);
      interrupted_ = true;
    }
    cv_.notify_all();
  }
  void clear_interrupt() override {
    std::lock_guard lock(mutex_);
    interrupted_ = false;
  }

 private:
  std::mutex mutex_;            // guards interrupted_
  std::condition_variable cv_;  // wakes wait_until on interrupt
  bool interrupted_ = false;    // the waiting thread must end
};

}  // namespace psk
