#include "modem/psk_demodulator.h"

#include <algorithm>
#include <cmath>
#include <numbers>

#include "coding/varicode.h"
#include "coding/viterbi.h"
#include "dsp/sample_rate.h"
#include "modem/afc.h"
#include "modem/baseband_spectrum.h"
#include "modem/downconverter.h"
#include "modem/idle_detector.h"
#include "modem/phase_reference.h"
#include "modem/pulse_filter.h"
#include "modem/symbol_sync.h"

namespace psk {
namespace {

constexpr int kSettleSymbols =
    24;                         // symbols muted after a start or retune while the timing settles
constexpr size_t kChunk = 256;  // input samples per step, so AFC moves act promptly
// Signal level: the SNR in 2500 Hz estimated from the power within +-baud
// over the noise beside it, as level = 40 + 2 * SNR(dB), within 0..100.  So
// every mode reads alike: noise alone about 0..10, 0 dB SNR 40, 30 dB 100.
constexpr double kLevelAtZeroDb = 40.0;
constexpr double kLevelPerDb = 2.0;
// Power within +-baud per unit of SNR in 2500 Hz, relative to the noise
// there, times 2500/baud (measured for the 9-bin band of the Hann spectrum).
constexpr double kBandGain = 0.45;

// The detectors: the previous symbol alone, and a reference averaged over
// about this many symbols.  Chosen automatically per signal by whose recent
// decisions sit closer to the ideal phase changes.
// Symbols are averaged with weights falling by 1/e over this many symbols.
// QPSK, decoded along the trellis, gains from a longer memory.
double reference_memory(bool qpsk) {
  return qpsk ? 8.0 : 6.0;
}
// The other detector takes over when its mean square error is below this
// share of the current one's (a margin against flapping).
constexpr double kChoiceMargin = 0.8;
// QPSK sideband sense: time constant of each sense's mean metric gain per
// symbol, symbols, and the lead the other sense needs to take over.
constexpr double kSenseSymbols = 32.0;
constexpr double kSenseMargin = 0.1;
// A fade: the power over the last few symbols (time constant kFadeSymbols)
// below this share of the longer-term mean.
constexpr double kFadeSymbols = 3.0;
constexpr double kFadeRatio = 0.25;
// Time constant of the symbol timing estimate, symbols: long enough that its
// jitter costs little on weak signals, short enough to find a new
// transmission's clock phase within its first second of idle.
constexpr double kTimingSymbols = 48.0;
// QPSK: the in-band SNR (dB) below which the AFC follows the changes with
// the decoded bits' modulation removed, and the rise that ends it.
constexpr double kKnownChangesFromDb = 8.0;
constexpr double kKnownChangesHysteresisDb = 4.0;
// ... and only after this many decoded changes: at the start of a signal the
// raised changes pull the AFC in before decoded bits can be trusted.
constexpr int64_t kKnownChangesFirst = 32;
// Time constant of the symbol power average that scales the symbols, symbols.
constexpr double kAgcSymbols = 16.0;
// A silence: this many symbols in a row 20 dB below the mean power over the
// timing estimate's time constant.
constexpr int kSilenceSymbols = 16;
constexpr double kSilenceRatio = 0.01;

constexpr std::complex<float> kQuarterTurnOf[4] = {{1, 0}, {0, 1}, {-1, 0}, {0, -1}};

int decimation_for(double baud) {
  return static_cast<int>(std::lround(kEngineRateHz / (PskDemodulator::kSps * baud)));
}

}  // namespace

struct PskDemodulator::Chain {
  explicit Chain(PskMode mode)
      : info(mode_info(mode)),
        // Every mode's decimation and passband are valid.
        down(*Downconverter::make(decimation_for(info.baud), 6.0 * info.baud)),
        matched(zero_isi_matched_filter(kSps)),
        sync(kSps, kTimingSymbols),
        spectrum(8.0 * info.baud / 31.25),  // about half a second in every mode
        afc(info.baud, info.qpsk),
        detectors{PhaseReference(info.qpsk, 0.0),
                  PhaseReference(info.qpsk, reference_memory(info.qpsk))} {
    settle_from(0.0);
  }

  // Symbols count as reversals again once neither they nor the symbol before
  // reach back (through the filters) to input before this sample.
  void settle_from(double sample) {
    const double reach = matched.delay() * down.decimation() + down.delay();
    settled_from = sample + reach + kEngineRateHz / info.baud;
  }

  const ModeInfo& info;                        // mode parameters
  Downconverter down;                          // mixer and decimator
  ComplexFir matched;                          // zero-ISI matched filter
  SymbolSync sync;                             // symbol timing
  BasebandSpectrum spectrum;                   // level and AFC search
  Afc afc;                                     // frequency control
  std::array<PhaseReference, 2> detectors;     // differential and with a reference
  double short_power = 0;                      // mean |y|^2 over the last few symbols
  double long_power = 0;                       // mean |y|^2 over the timing's time constant
  int absent_symbols = 0;                      // symbols in a row far below long_power
  uint64_t fades = 0;                          // fade flags of the last 64 symbols, newest in bit 0
  int fade_hold = 0;                           // symbols left of differential decisions
  int reference_run = 0;                       // symbols the reference has been chosen in a row
  int detector = 0;                            // detector whose decisions are used
  std::array<ViterbiDecoder, 2> viterbi;       // QPSK differential decoders: normal, opposite sense
  std::array<PhaseTrellisDecoder, 2> trellis;  // ... against the reference
  ConvEncoder reencoder;                       // QPSK: the decoded bits coded again
  // QPSK: the last symbols as the detectors saw them, newest last, and the
  // sum of the retunes (rad per symbol) when each came.
  std::array<std::pair<std::complex<float>, double>, ViterbiDecoder::kDepth + 1> recent{};
  bool weak = true;                              // QPSK: the AFC follows the known changes
  int64_t known_changes = 0;                     // QPSK: changes the decoded bits have given
  double retuned = 0;                            // sum of the retunes since reset, rad per symbol
  std::array<double, 2> sense_gain{0, 0};        // running mean metric gain per sense
  int sense = 0;                                 // sense whose bits are used
  VaricodeDecoder varicode;                      // bit-to-byte decoder
  IdleDetector idle;                             // runs of reversals
  int mute = kSettleSymbols;                     // symbols until decoded bits count again
  std::vector<std::complex<float>> baseband;     // decimated samples of one chunk
  int64_t decimated = 0;                         // decimated samples since reset
  std::complex<float> prev{0, 0};                // previous symbol sample
  double agc = 0;                                // running mean |y|^2 at symbol instants
  double agc_weight = 0;                         // weight of the symbols in agc, 1 when full
  std::array<std::complex<float>, 8> vectors{};  // last eight normalised z, oldest first
  // Input sample before which a symbol (or the one it is compared with) may
  // hold input from before the start or the last retune.
  double settled_from = 0;
};

PskDemodulator::PskDemodulator(PskMode mode, double frequency_hz)
    : mode_(mode), set_hz_(std::clamp(frequency_hz, kMinHz, kMaxHz)) {
  set_mode(mode);
}

PskDemodulator::~PskDemodulator() = default;
PskDemodulator::PskDemodulator(PskDemodulator&&) noexcept = default;
PskDemodulator& PskDemodulator::operator=(PskDemodulator&&) noexcept = default;

void PskDemodulator::set_mode(PskMode mode) {
  const double hz = chain_ ? frequency() : set_hz_;
  has_pending_ = false;
  mode_ = mode;
  chain_ = std::make_unique<Chain>(mode);
  chain_->down.set_frequency(hz);
  reset();
}

void PskDemodulator::reset() {
  const double hz = frequency();
  has_pending_ = false;
  chain_ = std::make_unique<Chain>(mode_);
  chain_->down.set_frequency(hz);
  chain_->afc.reset();
  level_ = 0;
  band_snr_db_ = -99;
  snr_db_ = -99;
  samples_ = 0;
  decoded_.clear();
  symbols_.clear();
}

void PskDemodulator::set_frequency(double hz) {
  const double target = std::clamp(hz, kMinHz, kMaxHz);
  // Setting again the frequency already set and held changes nothing: the
  // signal being followed is neither lost nor muted.
  if (target == set_hz_ && std::abs(frequency() - target) < 0.5) return;
  set_hz_ = target;
  has_pending_ = false;
  chain_->down.set_frequency(set_hz_);
  chain_->mute = std::max(chain_->mute, kSettleSymbols);
  chain_->afc.reset();
  chain_->settle_from(static_cast<double>(samples_));
}

void PskDemodulator::set_afc_limit(double hz) {
  afc_limit_ = std::max(hz, 0.0);
  if (afc_limit_ == 0) {
    // AFC off holds the receiver where the AFC left it (the program keeps
    // showing that frequency), so it becomes the frequency set.
    set_hz_ = frequency();
    return;
  }
  // A smaller limit takes effect at once.
  apply_correction(0.0);
}

void PskDemodulator::set_squelch(int threshold) {
  squelch_ = std::clamp(threshold, 0, 99);
}

double PskDemodulator::frequency() const {
  return has_pending_ ? pending_hz_ : chain_->down.frequency();
}

void PskDemodulator::apply_correction(double hz) {
  const double lo = std::max(kMinHz, set_hz_ - afc_limit_);
  const double hi = std::min(kMaxHz, set_hz_ + afc_limit_);
  // The new frequency takes effect at the next chunk boundary (counted from
  // the first sample), so the result never depends on the caller's block sizes.
  pending_hz_ = std::clamp(frequency() + hz, lo, hi);
  has_pending_ = true;
}

void PskDemodulator::process(std::span<const float> in) {
  decoded_.clear();
  symbols_.clear();
  Chain& c = *chain_;
  while (!in.empty()) {
    const size_t into_chunk = static_cast<size_t>(samples_ % static_cast<int64_t>(kChunk));
    if (into_chunk == 0 && has_pending_) {
      // The reference follows a fine move at once; a jump starts it afresh.
      const double moved_hz = pending_hz_ - c.down.frequency();
      for (PhaseReference& r : c.detectors) {
        if (c.afc.acquiring())
          r.reset();
        else
          r.shift_frequency(-2.0 * std::numbers::pi * moved_hz / c.info.baud);
      }
      c.retuned += -2.0 * std::numbers::pi * moved_hz / c.info.baud;
      if (c.afc.acquiring()) c.detector = 0;
      c.down.set_frequency(pending_hz_);
      has_pending_ = false;
    }
    const auto part = in.first(std::min(in.size(), kChunk - into_chunk));
    in = in.subspan(part.size());
    samples_ += static_cast<int64_t>(part.size());
    c.baseband.clear();
    c.down.process(part, c.baseband);
    for (const std::complex<float> x : c.baseband) {
      if (c.spectrum.process(x)) handle_frame();
      const std::complex<float> y = c.matched.process(x);
      if (c.sync.process(y)) handle_symbol(c.sync.symbol(), c.sync.symbol_time());
      ++c.decimated;
    }
  }
}

void PskDemodulator::handle_frame() {
  Chain& c = *chain_;
  double band = 0;
  for (int k = -Afc::kHalfBand; k <= Afc::kHalfBand; ++k) band += c.spectrum.average(k);
  const double noise = c.spectrum.noise_density() * Afc::kBandBins;
  const double ratio = noise > 0 ? band / noise : 1.0;
  band_snr_db_ = 10.0 * std::log10(std::max(ratio, 1e-10));
  const double snr = (ratio - 1.0) * c.info.baud / (2500.0 * kBandGain);
  snr_db_ = 10.0 * std::log10(std::max(snr, 1e-10));
  level_ =
      static_cast<int>(std::clamp(std::lround(kLevelAtZeroDb + kLevelPerDb * snr_db_), 0L, 100L));
  if (afc_limit_ > 0) apply_correction(c.afc.on_frame(c.spectrum));
}

void PskDemodulator::handle_symbol(std::complex<float> y, double time) {
  Chain& c = *chain_;
  const std::complex<float> z = y * std::conj(c.prev);
  c.prev = y;
  c.agc += (std::norm(y) - c.agc) / kAgcSymbols;
  // The changes' size against the running mean divided by the weight it has
  // gathered since it started from nothing: about 1 from the first symbol on.
  c.agc_weight += (1.0 - c.agc_weight) / kAgcSymbols;
  const double power = c.agc / c.agc_weight;
  const std::complex<float> zn = power > 0 ? z / static_cast<float>(power) : z;
  std::rotate(c.vectors.begin(), c.vectors.begin() + 1, c.vectors.end());
  c.vectors.back() = zn;

  // The instant in input samples: undo the matched filter's and the
  // decimator's delays.
  const int d = c.down.decimation();
  const double position = (time - c.matched.delay() + 1.0) * d - 1.0 - c.down.delay();

  const bool present = band_snr_db_ >= 10.0 * std::log10(Afc::kDetectRatio);
  // A signal back after a silence starts the symbol timing afresh.
  c.long_power += (std::norm(y) - c.long_power) / kTimingSymbols;
  if (std::norm(y) < kSilenceRatio * c.long_power) {
    ++c.absent_symbols;
  } else {
    if (c.absent_symbols >= kSilenceSymbols) c.sync.forget_phase();
    c.absent_symbols = 0;
  }
  // Weak QPSK: the changes raised to the 4th power drown in noise, so the
  // AFC follows the changes with the decoded bits' modulation removed
  // (below).  On stronger signals it keeps to the raised changes, which a
  // burst of decoding errors in a fade cannot mislead.
  if (band_snr_db_ < kKnownChangesFromDb)
    c.weak = true;
  else if (band_snr_db_ > kKnownChangesFromDb + kKnownChangesHysteresisDb)
    c.weak = false;
  const bool afc_on_known = c.info.qpsk && c.known_changes > kKnownChangesFirst && c.weak;
  if (afc_limit_ > 0 && !afc_on_known) apply_correction(c.afc.on_symbol(z, present));

  // Both detectors see every symbol; the decisions come from one of them.
  const std::complex<float> ys = c.agc > 0 ? y / static_cast<float>(std::sqrt(c.agc)) : y;
  std::array<std::complex<float>, 2> changes;
  for (size_t i = 0; i < 2; ++i) changes[i] = c.detectors[i].process(ys);
  if (detector_ == Detector::Automatic) {
    const int other = 1 - c.detector;
    const auto error = [&](int i) {
      return c.detectors[static_cast<size_t>(i)].mean_square_error();
    };
    if (error(other) < kChoiceMargin * error(c.detector)) c.detector = other;
    if (!c.detectors[1].settled()) c.detector = 0;
  } else {
    c.detector = detector_ == Detector::Reference ? 1 : 0;
  }
  // A fade: the carrier's phase may turn quickly through it, and a reference
  // averaged over the symbols before it lags; the previous symbol alone
  // follows.  From a fade's start until the reference has renewed itself
  // after it, decisions come from the differential detector.
  c.short_power += (std::norm(y) - c.short_power) / kFadeSymbols;
  if (c.short_power < kFadeRatio * c.agc)
    c.fade_hold = static_cast<int>(std::ceil(2 * reference_memory(c.info.qpsk)));
  else if (c.fade_hold > 0)
    --c.fade_hold;
  const bool faded = detector_ == Detector::Automatic && c.fade_hold > 0;
  const std::complex<float> change = changes[faded ? 0 : static_cast<size_t>(c.detector)];

  // The reversal flag (idle runs, the measurements) is the plain change from
  // the symbol before: it must not hang on a reference still settling after
  // a silence or a fade, nor wait for the detectors the AFC restarts while
  // it acquires a signal.  After the start or a retune, only symbols wholly
  // of the input since count.
  const bool settled = position >= c.settled_from;
  const bool reversal = settled && (c.info.qpsk ? z.real() < -std::abs(z.imag()) : z.real() < 0.0f);
  int bit;
  if (!c.info.qpsk) {
    bit = change.real() < 0.0f ? 0 : 1;
  } else {
    // Differential: match with each code output, the correlation of the
    // change with its turn (outputs 0..3 turn by 180, 270, 0, 90 degrees).
    // Against the reference: the symbol's correlation with each carrier
    // phase.  The opposite sideband sense sees every turn conjugated.
    const float re = changes[0].real(), im = changes[0].imag();
    const std::complex<float> a = c.detectors[1].symbol();
    const std::array<int, 2> bits{
        c.viterbi[0].process({-re, -im, re, im}),
        c.viterbi[1].process({-re, im, re, -im}),
    };
    const std::array<int, 2> trellis_bits{
        c.trellis[0].process({a.real(), a.imag(), -a.real(), -a.imag()}),
        c.trellis[1].process({a.real(), -a.imag(), -a.real(), a.imag()}),
    };
    for (int s = 0; s < 2; ++s)
      c.sense_gain[s] += (c.viterbi[s].last_gain() - c.sense_gain[s]) / kSenseSymbols;
    // Follow the sense whose best path grows faster, with a margin against flapping.
    const int other = 1 - c.sense;
    if (c.sense_gain[other] > c.sense_gain[c.sense] + kSenseMargin) c.sense = other;
    const size_t sense = static_cast<size_t>(c.sense);
    // The decoders decide on the symbol kDepth - 1 ago: a fade near it
    // (within the reference's renewal either side) takes the differential bits.
    c.fades = (c.fades << 1) | (faded ? 1u : 0u);
    constexpr int kNear = 8;  // symbols
    constexpr uint64_t kNearMask = ((uint64_t{1} << (2 * kNear + 1)) - 1)
                                   << (ViterbiDecoder::kDepth - 1 - kNear);
    const bool faded_then = (c.fades & kNearMask) != 0;
    // The trellis decides on symbols up to now: its bits count once the
    // reference has been chosen over its whole span and a little more.
    c.reference_run = c.detector == 1 ? c.reference_run + 1 : 0;
    const bool trellis_ready = c.reference_run > 2 * ViterbiDecoder::kDepth;
    bit = (!trellis_ready || faded_then) ? bits[sense] : trellis_bits[sense];
    // The decoded bits, coded again, give the phase change between two
    // symbols of kDepth ago: without its modulation it shows the carrier's
    // turn far more clearly than the changes raised to the 4th power.
    std::rotate(c.recent.begin(), c.recent.begin() + 1, c.recent.end());
    c.recent.back() = {ys, c.retuned};
    if (bit >= 0 && detector_ != Detector::Differential) {
      const int turn = kQuarterTurnsOfOutput[c.reencoder.push(bit)];
      const auto& [now, now_retuned] = c.recent[1];
      const std::complex<float> before = c.recent[0].first;
      const std::complex<float> known = kQuarterTurnOf[c.sense == 0 ? turn : (4 - turn) & 3];
      // Retunes since then would have turned it too.
      const std::complex<float> since =
          std::polar(1.0f, static_cast<float>(c.retuned - now_retuned));
      const std::complex<float> w = now * std::conj(before) * std::conj(known) * since;
      c.detectors[1].observe_change(w);
      ++c.known_changes;
      if (afc_limit_ > 0 && afc_on_known) apply_correction(c.afc.on_symbol(w, present, true));
    }
  }
  c.idle.process(reversal, position);
  const bool locked = settled && !(afc_limit_ > 0 && c.afc.acquiring());
  symbols_.push_back({position, zn, reversal, locked});
  // While the AFC acquires a signal the bits are garbage; after it, QPSK
  // still needs the decoder's delay to flush them.  Then the Varicode decoder
  // waits for a clean gap.
  if (afc_limit_ > 0 && c.afc.acquiring())
    c.mute = std::max(c.mute, (c.info.qpsk ? ViterbiDecoder::kDepth : 0) + 1);
  if (c.mute > 0) {
    if (--c.mute == 0) c.varicode.reset();
    return;
  }
  if (bit < 0) return;
  const int byte = c.varicode.push(bit);
  if (byte >= 0 && level_ >= squelch_) decoded_.push_back(static_cast<uint8_t>(byte));
}

std::array<std::array<int, 2>, 8> PskDemodulator::vectors() const {
  std::array<std::array<int, 2>, 8> out{};
  for (size_t i = 0; i < 8; ++i) {
    const std::complex<float> v = chain_->vectors[i] * 1000.0f;
    // Rotate by +90 degrees: no change (real positive) points up.
    const float x = std::clamp(-v.imag(), -30000.0f, 30000.0f);
    const float y = std::clamp(v.real(), -30000.0f, 30000.0f);
    out[i] = {static_cast<int>(std::lround(x)), static_cast<int>(std::lround(y))};
  }
  return out;
}

bool PskDemodulator::idle() const {
  return chain_->idle.idle();
}
// Outside idle the detector's current run may be a lone reversal in text:
// report the last finished idle run instead.
double PskDemodulator::idle_start() const {
  const IdleDetector& d = chain_->idle;
  return d.idle() ? d.start() : d.last_start();
}
double PskDemodulator::idle_end() const {
  const IdleDetector& d = chain_->idle;
  return d.idle() ? d.end() : d.last_end();
}
int64_t PskDemodulator::idle_runs() const {
  return chain_->idle.runs();
}
bool PskDemodulator::afc_tracking() const {
  return chain_->afc.tracking();
}
bool PskDemodulator::using_reference() const {
  return chain_->detector == 1;
}
bool PskDemodulator::inverted_sideband() const {
  return chain_->sense == 1;
}

}  // namespace psk
