// Clock-error readings of the receiver core against the generator's truth.
// Tolerance: after 30 s of idle at SNR 10 dB (2500 Hz) every reading within
// +-3 ppm, for -300..+300 ppm, in all six modes; the sign positive when the
// card samples fast.  The built-in test signal reads -26 dB (+-1) and
// +30 ppm (+-3) once its timing has bridged two idle runs.  The readings do
// not depend on the block sizes the input comes in.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "measure_run.h"
#include "sources/builtin_signal.h"

namespace psk {
namespace {

constexpr PskMode kModes[] = {PskMode::Bpsk31, PskMode::Qpsk31,  PskMode::Bpsk63,
                              PskMode::Qpsk63, PskMode::Bpsk125, PskMode::Qpsk125};

void check_clock(PskMode mode, double ppm) {
  TestSignalSpec spec;
  spec.mode = mode;
  spec.carrier_hz = 1501.7;
  spec.imd_db = -28;
  spec.snr_db = 10;
  spec.ppm = ppm;
  spec.idle_seconds = 30;
  spec.seconds = 30;
  spec.seed = 47;
  const test::Readings r = test::measure(mode, make_test_signal(spec).samples);
  const std::string what = std::string(mode_info(mode).name) + " " + std::to_string(ppm) + " ppm";
  ASSERT_FALSE(r.clock.empty()) << what;
  for (const test::Reading& reading : r.clock) EXPECT_NEAR(reading.value, ppm, 3.0) << what;
}

TEST(ClockError, Within3PpmAfter30SecondsOfIdleAtSnr10) {
  for (PskMode mode : kModes) {
    check_clock(mode, -300.0);
    check_clock(mode, 300.0);
  }
  for (double ppm : {-117.0, 0.0, 61.0}) check_clock(PskMode::Bpsk31, ppm);
}

TEST(ClockError, BuiltInSignalReadsItsImdAndClockError) {
  // As the engine runs it: BPSK31 at 1500 Hz, AFC on.  Its idle runs last
  // 5 s, too short alone for the clock; the text between them is the same
  // transmission, so the timing bridges them.
  BuiltinSignal builtin;
  std::vector<float> x(60 * 8000);
  builtin.read(x);
  const test::Readings r = test::measure(PskMode::Bpsk31, x);
  ASSERT_GE(r.imd.size(), 4u);
  EXPECT_LT(r.imd.front().t, 5.0);
  for (const test::Reading& reading : r.imd) EXPECT_NEAR(reading.value, -26.0, 1.0);
  ASSERT_FALSE(r.clock.empty());
  EXPECT_LT(r.clock.front().t, 25.0);
  for (const test::Reading& reading : r.clock) EXPECT_NEAR(reading.value, 30.0, 3.0);
}

TEST(ClockError, MeasurementsDoNotDependOnBlockSizes) {
  TestSignalSpec spec;
  spec.mode = PskMode::Qpsk125;
  spec.imd_db = -24;
  spec.snr_db = 15;
  spec.ppm = -80;
  spec.idle_seconds = 15;
  spec.seconds = 15;
  const std::vector<float> x = make_test_signal(spec).samples;
  auto events = [&](size_t block) {
    Receiver r;
    r.set_mode(PSK_MODE_QPSK125);
    r.set_afc_limit(500);
    std::vector<EngineEvent> out;
    for (size_t i = 0; i < x.size(); i += block) {
      r.process(std::span<const float>(x).subspan(i, std::min(block, x.size() - i)));
      for (const EngineEvent& e : r.take_events())
        if (e.msg == WM_ENGINE_IMD || e.msg == WM_ENGINE_CLOCKERR) out.push_back(e);
    }
    return out;
  };
  const std::vector<EngineEvent> whole = events(x.size());
  size_t imd = 0, clock = 0;
  for (const EngineEvent& e : whole) (e.msg == WM_ENGINE_IMD ? imd : clock)++;
  EXPECT_GE(imd, 10u);
  EXPECT_GE(clock, 1u);
  for (size_t block : {1u, 37u, 256u, 801u}) EXPECT_EQ(events(block), whole) << block;
}

}  // namespace
}  // namespace psk
