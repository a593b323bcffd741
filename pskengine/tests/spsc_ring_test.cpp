// The audio callback's ring: every sample arrives once, in order, while a
// producer and a consumer thread run at once; a full ring refuses rather than
// overwrites.
#include "sources/spsc_ring.h"

#include <gtest/gtest.h>

#include <thread>
#include <vector>

namespace psk {
namespace {

TEST(SpscRing, ConcurrentProducerAndConsumerKeepOrder) {
  SpscRing<uint32_t> ring(1000);  // rounded up to 1024
  EXPECT_EQ(ring.capacity(), 1024u);
  constexpr uint32_t kCount = 61 * 32768;  // whole chunks
  std::thread producer([&] {
    uint32_t next = 0;
    std::vector<uint32_t> chunk(61);
    while (next < kCount) {
      for (auto& v : chunk) v = next++;
      size_t done = 0;
      while (done < chunk.size()) done += ring.push(std::span<const uint32_t>(chunk).subspan(done));
    }
  });
  std::vector<uint32_t> buffer(97);
  uint32_t expected = 0;
  bool in_order = true;
  while (expected < kCount) {
    const size_t n = ring.pop(buffer);
    for (size_t i = 0; i < n; ++i) in_order &= buffer[i] == expected++;
  }
  producer.join();
  EXPECT_TRUE(in_order);
}

TEST(SpscRing, FullRingRefusesNewItems) {
  SpscRing<float> ring(4);
  const std::vector<float> five = {1, 2, 3, 4, 5};
  EXPECT_EQ(ring.push(five), 4u);
  EXPECT_FALSE(ring.push_one(6.0f));
  std::vector<float> out(8);
  EXPECT_EQ(ring.pop(out), 4u);
  EXPECT_EQ(out[0], 1.0f);
  EXPECT_EQ(out[3], 4.0f);
  EXPECT_TRUE(ring.push_one(7.0f));
  EXPECT_EQ(ring.size(), 1u);
}

}  // namespace
}  // namespace psk
