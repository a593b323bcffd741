// A single-producer single-consumer ring of samples, lock-free and without
// allocation after construction: the audio callback writes, the processing
// thread reads.
#pragma once

#include <atomic>
#include <cstddef>
#include <memory>
#include <span>

namespace psk {

template <typename T>
class SpscRing {
 public:
  // capacity is rounded up to a power of two.
  explicit SpscRing(size_t capacity) {
    size_t c = 1;
    while (c < capacity) c <<= 1;
    capacity_ = c;
    data_ = std::make_unique<T[]>(c);
  }
  size_t capacity() const { return capacity_; }

  // Producer: writes as many of items as fit; returns how many.
  size_t push(std::span<const T> items) {
    const size_t head = head_.load(std::memory_order_relaxed);
    const size_t tail = tail_.load(std::memory_order_acquire);
    const size_t n = std::min(items.size(), capacity_ - (head - tail));
    for (size_t i = 0; i < n; ++i) data_[(head + i) & (capacity_ - 1)] = items[i];
    head_.store(head + n, std::memory_order_release);
    return n;
  }
  // Producer: writes one item if it fits.
  bool push_one(const T& item) {
    const size_t head = head_.load(std::memory_order_relaxed);
    if (head - tail_.load(std::memory_order_acquire) == capacity_) return false;
    data_[head & (capacity_ - 1)] = item;
    head_.store(head + 1, std::memory_order_release);
    return true;
  }
  // Consumer: reads up to out.size() items; returns how many.
  size_t pop(std::span<T> out) {
    const size_t tail = tail_.load(std::memory_order_relaxed);
    const size_t head = head_.load(std::memory_order_acquire);
    const size_t n = std::min(out.size(), head - tail);
    for (size_t i = 0; i < n; ++i) out[i] = data_[(tail + i) & (capacity_ - 1)];
    tail_.store(tail + n, std::memory_order_release);
    return n;
  }
  // Either side: items waiting (a snapshot).
  size_t size() const {
    return head_.load(std::memory_order_acquire) - tail_.load(std::memory_order_acquire);
  }

 private:
  size_t capacity_ = 0;                      // items, a power of two
  std::unique_ptr<T[]> data_;                // storage
  alignas(64) std::atomic<size_t> head_{0};  // items written (producer)
  alignas(64) std::atomic<size_t> tail_{0};  // items read (consumer)
};

}  // namespace psk
