// The receiver core: settings validation, deterministic display ticks, raw
// samples and the signal level against generated truth.
#include "core/receiver.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "pskengine.h"
#include "sim/test_signal.h"

namespace psk {
namespace {

TEST(ReceiverSettings, BadValuesAreRefusedAndFrequencyIsClamped) {
  Receiver r;
  EXPECT_EQ(r.rx_frequency(), 1500);
  EXPECT_EQ(r.set_rx_frequency(50), kSettingOk);
  EXPECT_EQ(r.rx_frequency(), 100);
  r.set_rx_frequency(5000);
  EXPECT_EQ(r.rx_frequency(), 3000);
  r.set_rx_frequency(-2147483647 - 1);
  EXPECT_EQ(r.rx_frequency(), 100);

  for (int code : {0, 1, 8, 9, 16, 17}) EXPECT_EQ(r.set_mode(code), kSettingOk) << code;
  for (int code : {-1, 2, 7, 10, 18, 32}) EXPECT_EQ(r.set_mode(code), kSettingRefused) << code;
  EXPECT_EQ(r.settings().mode_code(), 17);  // the last good one

  EXPECT_EQ(r.set_afc_limit(500), kSettingOk);
  EXPECT_EQ(r.set_afc_limit(-1), kSettingRefused);
  EXPECT_EQ(r.set_afc_limit(3001), kSettingRefused);
  EXPECT_EQ(r.settings().afc_limit_hz(), 500);
  EXPECT_EQ(r.set_afc_limit(0), kSettingOk);

  EXPECT_EQ(r.set_squelch(99), kSettingOk);
  EXPECT_EQ(r.set_squelch(100), kSettingRefused);
  EXPECT_EQ(r.set_squelch(-1), kSettingRefused);
  EXPECT_EQ(r.settings().squelch(), 99);

  EXPECT_EQ(r.set_fft_mode(10, 100, 90), kSettingOk);
  EXPECT_EQ(r.set_fft_mode(0, 100, 50), kSettingRefused);
  EXPECT_EQ(r.set_fft_mode(5, 100, 91), kSettingRefused);
  EXPECT_EQ(r.settings().fft_smoothing(), 10);
  EXPECT_EQ(r.settings().fft_bias(), 90);
  EXPECT_EQ(r.spectrum().smoothing(), 10);
  EXPECT_EQ(r.spectrum().bias(), 90);
}

TEST(Receiver, SameInputGivesSameStateWhateverTheBlockSizes) {
  TestSignalSpec spec;
  spec.snr_db = 10;
  spec.idle_seconds = 1;
  spec.text = "tonvista";
  spec.seconds = 3;
  const std::vector<float> x = make_test_signal(spec).samples;
  Receiver whole;
  whole.process(x);
  const std::vector<EngineEvent> expected = whole.take_events();
  // One display event per 800 samples, and the text as received bytes.
  size_t displays = 0;
  std::string text;
  for (const EngineEvent& e : expected) {
    if (e.msg == WM_ENGINE_DISPLAY) {
      EXPECT_EQ(e, (EngineEvent{WM_ENGINE_DISPLAY, 0, 0}));
      ++displays;
    } else {
      EXPECT_EQ(e.msg, static_cast<uint32_t>(WM_ENGINE_RXCHAR));
      EXPECT_EQ(e.lparam, 0);
      text.push_back(static_cast<char>(e.wparam));
    }
  }
  EXPECT_EQ(displays, x.size() / 800);
  EXPECT_EQ(text, spec.text);
  for (size_t block : {1u, 37u, 799u, 801u}) {
    Receiver r;
    std::vector<EngineEvent> events;
    for (size_t pos = 0; pos < x.size(); pos += block) {
      r.process(std::span<const float>(x).subspan(pos, std::min(block, x.size() - pos)));
      for (const EngineEvent& e : r.take_events()) events.push_back(e);
    }
    EXPECT_EQ(events, expected) << block;
    EXPECT_EQ(r.fft_levels(), whole.fft_levels()) << block;
    EXPECT_EQ(r.signal_level(), whole.signal_level()) << block;
    EXPECT_EQ(r.samples_processed(), x.size());
  }
  EXPECT_TRUE(whole.take_events().empty());  // taken once
}

TEST(Receiver, RawDataIsTheNewestSamplesIn16BitRange) {
  Receiver r;
  std::vector<int32_t> out(2049, -7);
  EXPECT_EQ(r.raw_samples(out), 2047);  // zeros before any input
  EXPECT_EQ(out[0], 0);
  EXPECT_EQ(out[2047], -7);  // never past the newest 2047

  std::vector<float> x(3000);
  for (size_t i = 0; i < x.size(); ++i)
    x[i] = static_cast<float>(static_cast<int>(i) - 1500) / 32768.0f;
  x[2999] = 2.0f;  // beyond full scale: clipped
  x[2998] = -2.0f;
  r.process(x);
  ASSERT_EQ(r.raw_samples(out), 2047);
  for (int i = 0; i < 2045; ++i) ASSERT_EQ(out[i], 953 + i - 1500) << i;  // sample 953 first
  EXPECT_EQ(out[2045], -32768);
  EXPECT_EQ(out[2046], 32767);
  std::vector<int32_t> few(10);
  ASSERT_EQ(r.raw_samples(few), 10);
  EXPECT_EQ(few[9], 32767);
  EXPECT_EQ(few[0], 2990 - 1500);
}

TEST(Receiver, SignalLevelRisesWithSnrAtTheReceiveFrequency) {
  // Noise alone reads low; the level rises monotonically with the SNR; a
  // strong signal beside the receive frequency does not count.
  auto level = [](std::optional<double> snr, int rx_hz, double carrier = 1500) {
    TestSignalSpec spec;
    spec.carrier_hz = carrier;
    spec.snr_db = snr;
    spec.idle_seconds = 1;
    spec.text = "CQ CQ de W1DEMO";
    spec.seconds = 4;
    spec.seed = 3;
    TestSignal s = make_test_signal(spec);
    if (!snr) {  // noise alone: the noise of a 0 dB signal, without it
      spec.snr_db = 0.0;
      const TestSignal noisy = make_test_signal(spec);
      const double scale = std::sqrt(noisy.signal_power / s.signal_power);
      for (size_t i = 0; i < s.samples.size(); ++i)
        s.samples[i] = noisy.samples[i] - scale * s.samples[i];
    }
    Receiver r;
    r.set_rx_frequency(rx_hz);
    r.process(s.samples);
    return r.signal_level();
  };
  EXPECT_LT(level(std::nullopt, 1500), 15);
  int previous = level(-10.0, 1500);
  EXPECT_GT(previous, 10);
  for (double snr = -5; snr <= 20; snr += 5) {
    const int now = level(snr, 1500);
    EXPECT_GT(now, previous) << snr;
    previous = now;
  }
  EXPECT_GT(level(30.0, 1500), 90);
  EXPECT_LT(level(30.0, 1800), 15);
}

TEST(Receiver, ResetForgetsTheSignalButKeepsSettings) {
  Receiver r;
  r.set_rx_frequency(1000);
  r.set_fft_mode(5, 100, 20);
  TestSignalSpec spec;
  spec.carrier_hz = 1000;
  spec.snr_db = 20;
  spec.seconds = 1;
  r.process(make_test_signal(spec).samples);
  EXPECT_GT(r.signal_level(), 50);
  r.reset();
  EXPECT_EQ(r.signal_level(), 0);
  EXPECT_EQ(r.samples_processed(), 0u);
  for (int32_t level : r.fft_levels()) ASSERT_EQ(level, 0);
  EXPECT_TRUE(r.take_events().empty());
  EXPECT_EQ(r.rx_frequency(), 1000);
  EXPECT_EQ(r.settings().fft_smoothing(), 5);
}

}  // namespace
}  // namespace psk
