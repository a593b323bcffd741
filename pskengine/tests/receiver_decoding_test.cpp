// The demodulator inside the receiver core: text events from the built-in
// signal, squelch and mode settings through the receiver, vectors and level,
// and the same events and frequency track whatever the block sizes, with AFC.
#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <vector>

#include "core/receiver.h"
#include "pskengine.h"
#include "sources/builtin_signal.h"
#include "test_signal.h"

namespace psk {
namespace {

std::vector<float> builtin_seconds(double seconds) {
  BuiltinSignal source;
  std::vector<float> x(static_cast<size_t>(seconds * 8000));
  size_t got = 0;
  while (got < x.size()) got += source.read(std::span<float>(x).subspan(got));
  return x;
}

std::string received_text(const std::vector<EngineEvent>& events) {
  std::string text;
  for (const EngineEvent& e : events) {
    if (e.msg != WM_ENGINE_RXCHAR) continue;
    EXPECT_EQ(e.lparam, 0);
    EXPECT_TRUE(e.wparam >= 0 && e.wparam <= 255);
    text.push_back(static_cast<char>(e.wparam));
  }
  return text;
}

TEST(ReceiverDecoding, BuiltInSignalPrintsItsFirstOverWithVectorsAndLevel) {
  const auto x = builtin_seconds(18);
  Receiver r;
  r.set_afc_limit(500);
  r.set_squelch(30);
  r.process(x);
  const std::string text = received_text(r.take_events());
  const std::string first_over(BuiltinSignal::overs()[0]);
  EXPECT_EQ(text.substr(0, first_over.size()), first_over);
  EXPECT_NEAR(r.rx_frequency(), 1500, 1);
  EXPECT_GT(r.signal_level(), 70);  // 20 dB SNR
  const auto v = r.vectors();
  for (size_t i = 0; i < v.size(); i += 2)
    EXPECT_NEAR(std::hypot(v[i], v[i + 1]), 1000.0, 300.0) << i / 2;

  Receiver closed;  // squelch above the level: nothing printed
  closed.set_squelch(99);
  closed.process(x);
  EXPECT_EQ(received_text(closed.take_events()), "");
}

TEST(ReceiverDecoding, ModeAndFrequencySettingsReachTheDemodulator) {
  test::SignalSpec spec;
  spec.mode = PskMode::Qpsk125;
  spec.carrier_hz = 1000;
  spec.text = "QPSK125 through the receiver core";
  const auto x = test::make_signal(spec);
  Receiver r;
  EXPECT_EQ(r.set_mode(PSK_MODE_QPSK125), 0);
  r.set_rx_frequency(1000);
  EXPECT_EQ(r.set_mode(3), -1);  // refused: the mode stays
  r.process(x);
  EXPECT_EQ(received_text(r.take_events()), spec.text);
  EXPECT_EQ(r.rx_frequency(), 1000);  // AFC off by default
}

TEST(ReceiverDecoding, SameEventsAndFrequencyTrackWhateverTheBlockSizesWithAfc) {
  test::SignalSpec spec;
  spec.carrier_hz = 1517.3;
  spec.text = "AFC at work";
  auto x = test::make_signal(spec);
  test::add_noise(x, test::mean_power(x), 10.0, 3);
  auto run = [&](size_t block) {
    Receiver r;
    r.set_afc_limit(500);
    std::vector<EngineEvent> events;
    std::vector<int32_t> track;
    for (size_t i = 0; i < x.size(); i += block) {
      r.process(std::span<const float>(x).subspan(i, std::min(block, x.size() - i)));
      for (const EngineEvent& e : r.take_events()) {
        events.push_back(e);
        if (e.msg == WM_ENGINE_DISPLAY) track.push_back(r.rx_frequency());
      }
    }
    return std::make_pair(events, track);
  };
  const auto whole = run(x.size());
  EXPECT_EQ(received_text(whole.first), spec.text);
  for (size_t block : {1u, 37u, 801u}) {
    const auto parts = run(block);
    EXPECT_EQ(parts.first, whole.first) << block;
  }
  // The frequency at each display tick, fed in 800-sample blocks (one tick each).
  const auto ticks = run(800);
  EXPECT_EQ(ticks.first, whole.first);
  EXPECT_NEAR(ticks.second.back(), 1517, 1);
}

}  // namespace
}  // namespace psk
