#include "survey/band_survey.h"

#include <algorithm>
#include <cmath>
#include <deque>
#include <numbers>

#include "core/receiver.h"
#include "dsp/sample_rate.h"
#include "pskengine.h"
#include "survey/callsign.h"
#include "survey/sender_split.h"

namespace psk {
namespace {

constexpr double kRate = kEngineRateHz;
constexpr size_t kHistory = 16384;           // samples kept for the start of a new over
constexpr int64_t kPreroll = kEngineRateHz;  // a new over's receiver starts this far back, samples
constexpr double kPresentDb = 6.0;           // channel power over its noise while on the air, dB
constexpr double kPresenceMarginHz = 8.0;    // beyond the idle tones, for the presence window
constexpr double kMaxFall = 0.1;        // power below this share of the recent level (-10 dB): gone
constexpr size_t kRecentChecks = 4;     // checks the recent level is the median of (0.5 s)
constexpr int kEndChecks = 4;           // checks without power that end an over (0.5 s)
constexpr double kPairMatchHz = 2.0;    // a pair seen again within this of the first look
constexpr int32_t kAfcLimitHz = 10;     // the receivers' AFC range around the pair's centre
constexpr int32_t kSquelch = 20;        // no text below an SNR of about -10 dB in 2500 Hz
constexpr size_t kFeedBlock = 80;       // samples per receiver call
constexpr int kModeSymbols = 64;        // non-reversal text symbols that decide BPSK or QPSK
constexpr int kFewestModeSymbols = 16;  // the fewest that decide it when an over ends early
constexpr double kQpskShare = 0.3;      // share of quarter turns among them that means QPSK
constexpr size_t kMaxUndecided = 60 * kEngineRateHz;  // an over still undecided after this is BPSK
constexpr double kEndMemorySeconds = 10.0;  // how long an over's end limits a new one's start
constexpr double kDisturbMarginHz = 5.0;    // see drop_disturbed_readings
constexpr double kSameLevelDb = 3.0;      // S/N that tells turn takers apart when no call is heard
constexpr size_t kMaxStationText = 4096;  // bytes of text kept per station

PskMode mode_for(double baud, bool qpsk) {
  if (baud < 40) return qpsk ? PskMode::Qpsk31 : PskMode::Bpsk31;
  if (baud < 90) return qpsk ? PskMode::Qpsk63 : PskMode::Bpsk63;
  return qpsk ? PskMode::Qpsk125 : PskMode::Bpsk125;
}

double median(std::vector<double> v) {
  if (v.empty()) return 0.0;
  std::sort(v.begin(), v.end());
  const size_t h = v.size() / 2;
  return v.size() % 2 ? v[h] : 0.5 * (v[h - 1] + v[h]);
}

double median_of(const std::vector<TimedValue>& values) {
  std::vector<double> v;
  for (const TimedValue& x : values) v.push_back(x.value);
  return median(v);
}

}  // namespace

double StationRecord::median_imd() const {
  return median_of(imd);
}
double StationRecord::median_clock_ppm() const {
  return median_of(clock_ppm);
}

// One over: a receiver on one signal from the moment it was found until its
// channel goes quiet.  feed() runs on a worker and touches only this object.
struct BandSurvey::Over {
  double baud;                      // symbol rate of its tones
  bool qpsk = false;                // the receiver runs QPSK
  bool decided = false;             // BPSK or QPSK is settled
  int64_t start_sample;             // survey sample of the first sample fed
  std::vector<float> audio;         // over samples not yet dropped (all of them until decided)
  int64_t audio_base = 0;           // over sample index of audio[0]
  int64_t fed = 0;                  // over samples fed to the receiver
  std::unique_ptr<Receiver> rx;     // the receiver
  int quarter_turns = 0;            // text symbols turning by about 90 degrees
  int straight = 0;                 // text symbols keeping their phase
  std::vector<double> centres;      // centres of its tone pairs, Hz
  double signal_sum = 0;            // see OverReport
  double noise_sum = 0;             // see OverReport
  int absent = 0;                   // presence checks without power in a row
  int present = 0;                  // presence checks with power in a row
  std::deque<double> recent_power;  // channel power of the latest checks with power
  int64_t last_present = 0;         // survey sample of the last check with power
  int64_t last_disturbed = -1;      // survey sample a neighbour last disturbed its IMD (-1 never)
  size_t imd_checked = 0;           // readings checked for disturbing neighbours
  TaggedOver heard;                 // readings and text so far

  double centre() const {
    std::vector<double> c = centres;
    return median(c);
  }

  void start_receiver() {
    rx = std::make_unique<Receiver>();
    rx->set_mode(mode_info(mode_for(baud, qpsk)).engine_code);
    rx->set_rx_frequency(static_cast<int32_t>(std::lround(centre())));
    // AFC off: the pair gives the carrier within a fraction of a hertz, and
    // a strong neighbour can pull an AFC off a weak signal's text.
    rx->set_afc_limit(0);
    heard = TaggedOver();
    imd_checked = 0;
    fed = 0;
  }

  // Counts the phase changes of text symbols (reversals are idle or data
  // alike and say nothing) while the channel holds the signal.
  void count_symbols() {
    if (absent > 0) return;
    for (const SymbolInfo& s : rx->demodulator().symbols()) {
      if (s.reversal || std::abs(s.z) < 0.3f) continue;
      const double a = std::abs(std::arg(s.z));
      if (a < std::numbers::pi / 4)
        ++straight;
      else if (a < 3 * std::numbers::pi / 4)
        ++quarter_turns;
    }
  }

  void decide(bool ending) {
    const int counted = quarter_turns + straight;
    if (counted < (ending ? kFewestModeSymbols : kModeSymbols) && audio.size() < kMaxUndecided &&
        !ending)
      return;
    decided = true;
    if (quarter_turns > kQpskShare * (quarter_turns + straight)) {
      qpsk = true;
      start_receiver();  // and run the over again from its start
    }
  }

  void feed() {
    while (fed < audio_base + static_cast<int64_t>(audio.size())) {
      const auto from = static_cast<size_t>(fed - audio_base);
      // Calls end where the demodulator ends its chunks, so that its
      // symbols() hold every symbol of the call.
      const auto to_grid =
          kFeedBlock - static_cast<size_t>(rx->demodulator().samples() % kFeedBlock);
      const size_t n = std::min(to_grid, audio.size() - from);
      rx->process(std::span<const float>(audio).subspan(from, n));
      fed += static_cast<int64_t>(n);
      const double t = static_cast<double>(start_sample + fed) / kRate;
      for (const EngineEvent& e : rx->take_events()) {
        const int64_t run = rx->demodulator().idle_runs();
        heard.run_t.emplace(run, t);
        if (e.msg == WM_ENGINE_IMD) {
          heard.imd.push_back({t, e.wparam});
          heard.imd_run.push_back(run);
        }
        if (e.msg == WM_ENGINE_CLOCKERR) {
          heard.clock.push_back({t, e.wparam});
          heard.clock_run.push_back(run);
        }
        if (e.msg == WM_ENGINE_RXCHAR) {
          heard.text += static_cast<char>(e.wparam);
          heard.text_run.push_back(run);
        }
      }
      if (!decided) {
        count_symbols();
        decide(false);
      }
    }
    if (decided && !audio.empty()) {
      audio_base += static_cast<int64_t>(audio.size());
      audio.clear();
    }
  }
};

BandSurvey::BandSurvey(const SurveyOptions& options)
    : options_(options),
      pool_(options.threads),
      short_spectrum_(kPresenceFft),
      long_spectrum_(kScanFft) {}

BandSurvey::~BandSurvey() = default;

void BandSurvey::process(std::span<const float> samples) {
  while (!samples.empty()) {
    const size_t n = std::min(samples.size(), static_cast<size_t>(kTick) - pending_input_.size());
    for (float s : samples.first(n))
      pending_input_.push_back(std::isfinite(s) ? std::clamp(s, -16.0f, 16.0f) : 0.0f);
    samples = samples.subspan(n);
    if (pending_input_.size() == static_cast<size_t>(kTick)) {
      tick();
      pending_input_.clear();
    }
  }
}

void BandSurvey::tick() {
  history_.insert(history_.end(), pending_input_.begin(), pending_input_.end());
  if (history_.size() > kHistory)
    history_.erase(history_.begin(),
                   history_.begin() + static_cast<std::ptrdiff_t>(history_.size() - kHistory));
  samples_ += static_cast<int64_t>(pending_input_.size());
  for (auto& over : overs_)
    over->audio.insert(over->audio.end(), pending_input_.begin(), pending_input_.end());
  pool_.run(overs_.size(), [this](size_t i) { overs_[i]->feed(); });
  drop_disturbed_readings();
  ++ticks_;
  check_presence();
  if (ticks_ % kScanEvery == 0) search();
}

void BandSurvey::drop_disturbed_readings() {
  // Whether a signal at hz with symbol rate baud puts power where the
  // over's IMD is measured (its tones and products, carrier +- baud/2 and
  // +- 3 baud/2): its main lobe (+- baud) or its own products meet one.
  auto disturbs = [](const Over& over, double hz, double baud) {
    for (double k : {-1.5, -0.5, 0.5, 1.5}) {
      const double f = over.centre() + k * over.baud;
      if (std::abs(f - hz) < baud + kDisturbMarginHz) return true;
      for (double p : {hz - 1.5 * baud, hz + 1.5 * baud})
        if (std::abs(f - p) < kDisturbMarginHz) return true;
    }
    return false;
  };
  for (auto& over : overs_) {
    for (const auto& other : overs_)
      if (other != over && disturbs(*over, other->centre(), other->baud))
        over->last_disturbed = samples_;
    for (const Ended& e : ended_)
      if (disturbs(*over, e.centre_hz, e.baud))
        over->last_disturbed = std::max(over->last_disturbed, e.sample);
    // A reading averages stretches of the idle run in progress: it is
    // dropped if a neighbour disturbed the over at any time since that run began.
    const double idle_start =
        static_cast<double>(over->start_sample) + over->rx->demodulator().idle_start();
    if (over->heard.imd.size() > over->imd_checked &&
        static_cast<double>(over->last_disturbed) >= idle_start) {
      over->heard.imd.resize(over->imd_checked);
      over->heard.imd_run.resize(over->imd_checked);
    }
    over->imd_checked = over->heard.imd.size();
  }
}

void BandSurvey::check_presence() {
  short_spectrum_.compute(history_);
  for (size_t i = 0; i < overs_.size();) {
    Over& over = *overs_[i];
    // Power around the idle tones, where the signal has most of its power
    // and a neighbour 150 Hz away little.  Present: well above the noise,
    // and not fallen far below the over's recent level (a neighbour's
    // sidebands may keep the channel above the noise when it goes).
    const ChannelPower p =
        short_spectrum_.channel_power(over.centre(), over.baud / 2 + kPresenceMarginHz);
    std::vector<double> recent(over.recent_power.begin(), over.recent_power.end());
    const bool present =
        p.in_band_db >= kPresentDb && (recent.empty() || p.total >= median(recent) * kMaxFall);
    if (present) {
      over.absent = 0;
      ++over.present;
      over.last_present = samples_;
      over.recent_power.push_back(p.total);
      if (over.recent_power.size() > kRecentChecks) over.recent_power.pop_front();
    } else {
      over.present = 0;
      if (++over.absent >= kEndChecks) {
        end_over(i);
        continue;
      }
    }
    ++i;
  }
}

void BandSurvey::search() {
  long_spectrum_.compute(history_);
  // S/N of the overs on the air, from this spectrum if they filled all of it.
  for (auto& over : overs_) {
    if (over->present * kTick <= kScanFft) continue;
    const ChannelPower p = long_spectrum_.channel_power(over->centre(), over->baud);
    over->signal_sum += p.signal;
    over->noise_sum += p.noise_2500;
  }
  std::vector<Pending> seen;
  for (const ToneCandidate& c : long_spectrum_.find_pairs(options_.from_hz, options_.to_hz)) {
    auto on_air = std::find_if(overs_.begin(), overs_.end(), [&](const auto& o) {
      return o->baud == c.baud && std::abs(o->centre() - c.centre_hz) <= c.baud / 2;
    });
    if (on_air != overs_.end()) {
      (*on_air)->centres.push_back(c.centre_hz);
      continue;
    }
    // Tones inside the spectrum of a signal on the air are its text's
    // sidebands, not a new signal.
    const bool inside = std::any_of(overs_.begin(), overs_.end(), [&](const auto& o) {
      return std::abs(o->centre() - c.centre_hz) < o->baud + c.baud / 2;
    });
    if (inside) continue;
    auto first = std::find_if(pending_.begin(), pending_.end(), [&](const Pending& p) {
      return p.baud == c.baud && std::abs(p.centre_hz - c.centre_hz) <= kPairMatchHz &&
             p.seen_at == ticks_ - kScanEvery;
    });
    if (first != pending_.end()) {
      start_over(0.5 * (first->centre_hz + c.centre_hz), c.baud);
      overs_.back()->centres = {first->centre_hz, c.centre_hz};
    } else {
      seen.push_back({c.centre_hz, c.baud, ticks_});
    }
  }
  pending_ = std::move(seen);
}

void BandSurvey::start_over(double centre_hz, double baud) {
  int64_t begin = std::max<int64_t>(samples_ - kPreroll, 0);
  begin = std::max(begin, samples_ - static_cast<int64_t>(history_.size()));
  // Never back into the last over on this frequency (a station taking turns).
  for (const Ended& e : ended_)
    if (std::abs(e.centre_hz - centre_hz) <= baud / 2) begin = std::max(begin, e.sample);
  auto over = std::make_unique<Over>();
  over->baud = baud;
  over->start_sample = begin;
  over->last_present = samples_;
  over->centres = {centre_hz};
  over->audio.assign(history_.end() - (samples_ - begin), history_.end());
  over->start_receiver();
  overs_.push_back(std::move(over));
}

void BandSurvey::end_over(size_t index) {
  std::unique_ptr<Over> over = std::move(overs_[index]);
  overs_.erase(overs_.begin() + static_cast<std::ptrdiff_t>(index));
  if (!over->decided) {
    // Too little text for the usual count: decide on what there is, and run
    // it again as QPSK if that is what it was.
    over->decide(true);
    over->feed();
  }
  ended_.push_back({over->centre(), over->baud, over->last_present});
  std::erase_if(ended_, [this](const Ended& e) {
    return static_cast<double>(samples_ - e.sample) > kEndMemorySeconds * kRate;
  });
  OverReport report;
  report.start_t = static_cast<double>(over->start_sample) / kRate;
  report.end_t = static_cast<double>(over->last_present) / kRate;
  report.freq_hz = over->centre();
  report.mode = mode_for(over->baud, over->qpsk);
  report.call = sender_of(over->heard.text);
  report.imd = over->heard.imd;
  report.clock_ppm = over->heard.clock;
  report.signal_sum = over->signal_sum;
  report.noise_sum = over->noise_sum;
  report.snr_db = over->noise_sum > 0 && over->signal_sum > 0
                      ? 10.0 * std::log10(over->signal_sum / over->noise_sum)
                      : 0.0;
  report.text = over->heard.text;
  for (OverReport& part : split_by_sender(over->heard, report)) {
    // A part that named nobody and measured nothing tells nothing about a
    // station (a burst of text, or a pair that was not a signal).
    if (part.call.empty() && part.imd.empty()) continue;
    file_over(part);
    reports_.push_back(std::move(part));
  }
}

void BandSurvey::file_over(OverReport& report) {
  const double near = mode_info(report.mode).baud / 4 + 1.0;
  std::vector<StationRecord*> named, unnamed;  // the stations on the over's frequency and mode
  for (StationRecord& s : stations_) {
    if (s.mode != report.mode || std::abs(s.freq_hz - report.freq_hz) > near) continue;
    (s.call.empty() ? unnamed : named).push_back(&s);
  }
  StationRecord* station = nullptr;
  if (!report.call.empty()) {
    for (StationRecord& s : stations_)
      if (s.call == report.call) station = &s;
    // The first over that names the only station heard there before names it.
    if (!station && named.empty() && !unnamed.empty()) {
      station = unnamed.front();
      station->call = report.call;
    }
  } else if (named.size() == 1) {
    station = named.front();
  } else if (named.size() > 1) {
    // Stations taking turns: the one whose level this over has, if only
    // one comes near it; otherwise the over is nobody's.
    std::sort(named.begin(), named.end(), [&](const StationRecord* a, const StationRecord* b) {
      return std::abs(a->snr_db - report.snr_db) < std::abs(b->snr_db - report.snr_db);
    });
    const double nearest = std::abs(named[0]->snr_db - report.snr_db);
    const double next = std::abs(named[1]->snr_db - report.snr_db);
    if (nearest > kSameLevelDb || next < nearest + kSameLevelDb) return;
    station = named[0];
  } else if (!unnamed.empty()) {
    station = unnamed.front();
  }
  if (!station) {
    stations_.emplace_back();
    station = &stations_.back();
    station->call = report.call;
    station->mode = report.mode;
    station->first_t = report.start_t;
  }
  report.call = station->call;
  station->freq_hz = (station->freq_hz * station->overs + report.freq_hz) /
                     static_cast<double>(station->overs + 1);
  ++station->overs;
  station->last_t = std::max(station->last_t, report.end_t);
  station->imd.insert(station->imd.end(), report.imd.begin(), report.imd.end());
  station->clock_ppm.insert(station->clock_ppm.end(), report.clock_ppm.begin(),
                            report.clock_ppm.end());
  station->signal_sum += report.signal_sum;
  station->noise_sum += report.noise_sum;
  if (station->signal_sum > 0 && station->noise_sum > 0)
    station->snr_db = 10.0 * std::log10(station->signal_sum / station->noise_sum);
  if (station->text.size() < kMaxStationText) {
    station->text += report.text;
    station->text += '\n';
    if (station->text.size() > kMaxStationText) station->text.resize(kMaxStationText);
  }
}

void BandSurvey::finish() {
  if (!pending_input_.empty()) {
    samples_ += static_cast<int64_t>(pending_input_.size());
    for (auto& over : overs_)
      over->audio.insert(over->audio.end(), pending_input_.begin(), pending_input_.end());
    pool_.run(overs_.size(), [this](size_t i) { overs_[i]->feed(); });
    pending_input_.clear();
  }
  while (!overs_.empty()) end_over(0);
}

std::vector<OverReport> BandSurvey::take_overs() {
  std::vector<OverReport> taken;
  taken.swap(reports_);
  return taken;
}

std::vector<StationRecord> BandSurvey::stations() const {
  std::vector<StationRecord> sorted = stations_;
  std::stable_sort(
      sorted.begin(), sorted.end(),
      [](const StationRecord& a, const StationRecord& b) { return a.freq_hz < b.freq_hz; });
  return sorted;
}

}  // namespace psk
