// The band survey: a receiver on every PSK signal of the band, and one record
// per station.
//
// Every 0.125 s of audio a short spectrum tells which followed signals are
// still on the air; every 0.5 s a long one looks for new signals (idle tone
// pairs, see band_scanner.h).  A pair seen twice running starts an "over":
// a fresh Receiver tuned to it, fed from a second before the pair was seen.
// The over lasts while its channel holds power and ends after half a second
// without; the over's text says who sent it (the callsign after "de"), and
// its readings (IMD, clock error, S/N) go to that station's record.  So two
// stations taking turns on one frequency keep separate records, and a
// station keeps its record from over to over.
//
// Each over starts as BPSK at the symbol rate of its tones; once its text
// shows quarter-turn phase changes it is QPSK, and a QPSK receiver runs the
// over again from its start.  Overs are processed in parallel by a worker
// pool, each touching only its own receiver, and everything that depends on
// more than one over runs on the caller's thread in a fixed order: the
// results are the same for any number of threads.
//
// A neighbour whose signal reaches the frequencies an over's IMD is measured
// at (its tones and third-order products) would add to them: an IMD reading
// is dropped when such a neighbour was on the air at any time during the
// idle run it was measured in.
#pragma once

#include <cstdint>
#include <memory>
#include <span>
#include <string>
#include <vector>

#include "dsp/sample_rate.h"
#include "modem/modes.h"
#include "survey/band_scanner.h"
#include "survey/worker_pool.h"

namespace psk {

struct SurveyOptions {
  double from_hz = 200.0;  // lowest carrier searched, Hz
  double to_hz = 2900.0;   // highest carrier searched, Hz
  int threads = 1;         // threads the receivers run on
};

struct TimedValue {
  double t;       // seconds of audio from the start of the survey
  int32_t value;  // dB or ppm
};

// What one over brought: reported when it ends.
struct OverReport {
  double start_t = 0;                 // first heard, s
  double end_t = 0;                   // last heard, s
  double freq_hz = 0;                 // carrier frequency, Hz
  PskMode mode = PskMode::Bpsk31;     // mode identified
  std::string call;                   // its sender, empty when the text named none
  std::vector<TimedValue> imd;        // IMD readings, dB
  std::vector<TimedValue> clock_ppm;  // clock-error readings, ppm
  double snr_db = 0;                  // mean signal power over the noise in 2500 Hz, dB
  double signal_sum = 0;              // signal power summed over the spectra S/N came from
  double noise_sum = 0;               // noise in 2500 Hz summed over the same spectra
  std::string text;                   // decoded bytes (code page 932)
};

struct StationRecord {
  std::string call;                   // callsign, empty for a station that never named itself
  double freq_hz = 0;                 // carrier frequency (mean over its overs), Hz
  PskMode mode = PskMode::Bpsk31;     // mode
  std::vector<TimedValue> imd;        // every IMD reading, dB
  std::vector<TimedValue> clock_ppm;  // every clock-error reading, ppm
  double snr_db = 0;                  // S/N in 2500 Hz over all its overs, dB
  double first_t = 0;                 // first heard, s
  double last_t = 0;                  // last heard, s
  int overs = 0;                      // overs heard
  double signal_sum = 0;              // see OverReport, over all its overs
  double noise_sum = 0;               // see OverReport, over all its overs
  std::string text;                   // decoded text of its overs, one line each

  // Median of the IMD readings (the mean of the middle two for an even
  // count); 0 without readings.
  double median_imd() const;
  // Median of the clock-error readings, or 0 without any.
  double median_clock_ppm() const;
};

class BandSurvey {
 public:
  static constexpr int kTick = 1000;         // samples between presence checks (0.125 s)
  static constexpr int kScanEvery = 4;       // presence checks per search for new signals
  static constexpr int kPresenceFft = 2048;  // short spectrum, samples
  static constexpr int kScanFft = 8192;      // long spectrum, samples

  explicit BandSurvey(const SurveyOptions& options);
  ~BandSurvey();
  BandSurvey(const BandSurvey&) = delete;
  BandSurvey& operator=(const BandSurvey&) = delete;

  // Processes 8000 Hz samples, any block size.
  void process(std::span<const float> samples);
  // Ends the overs still on the air (end of the input).
  void finish();
  // Overs that ended since the last call, in the order they ended.
  std::vector<OverReport> take_overs();
  // One record per station, in order of frequency.
  std::vector<StationRecord> stations() const;
  // Seconds of audio processed.
  double seconds() const { return static_cast<double>(samples_) / kEngineRateHz; }

 private:
  struct Over;
  struct Pending {
    double centre_hz;  // where the pair was seen
    double baud;       // its spacing
    int64_t seen_at;   // tick of the search that saw it
  };
  void tick();
  void check_presence();
  void drop_disturbed_readings();
  void search();
  void start_over(double centre_hz, double baud);
  void end_over(size_t index);
  // Adds an over to its station's record and gives the report that
  // station's call; an over nobody can be told to have sent stays unfiled.
  void file_over(OverReport& report);

  SurveyOptions options_;                     // band and threads
  WorkerPool pool_;                           // runs the overs' receivers
  BandSpectrum short_spectrum_;               // presence
  BandSpectrum long_spectrum_;                // searching, frequency, S/N
  std::vector<float> history_;                // newest samples, kHistory of them at most
  std::vector<float> pending_input_;          // samples not yet making a full tick
  int64_t samples_ = 0;                       // samples processed (whole ticks)
  int64_t ticks_ = 0;                         // ticks done
  std::vector<std::unique_ptr<Over>> overs_;  // overs on the air, in order started
  std::vector<Pending> pending_;              // pairs seen once, waiting for a second look
  struct Ended {
    double centre_hz;  // where it was
    double baud;       // its symbol rate
    int64_t sample;    // survey sample it was last heard at
  };
  std::vector<Ended> ended_;             // overs ended in the last few seconds
  std::vector<OverReport> reports_;      // ended overs not yet taken
  std::vector<StationRecord> stations_;  // the records
};

}  // namespace psk
