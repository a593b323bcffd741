#include "audio/portaudio_source.h"

#include <portaudio.h>

#include <algorithm>
#include <cerrno>

#include "dsp/sample_rate.h"
#include "pskengine.h"

namespace psk {
namespace {
constexpr double kRingSeconds = 2.0;                  // capture buffered before overrun
constexpr auto kLostAfter = std::chrono::seconds(1);  // silence of the callback that means lost
// A sound server's capture can take two seconds to deliver its first
// samples; until then only a longer silence means lost.
constexpr auto kFirstSamplesWithin = std::chrono::seconds(5);

int capture_callback(const void* input, void* /*output*/, unsigned long frames,
                     const PaStreamCallbackTimeInfo* /*time*/, PaStreamCallbackFlags flags,
                     void* user) {
  static_cast<PortAudioSource*>(user)->on_audio(static_cast<const float*>(input), frames,
                                                (flags & paInputOverflow) != 0);
  return paContinue;
}

int32_t start_code_of(PaError err) {
  if (err == paInvalidDevice) return PSK_START_BAD_DEVICE;
  if (err == paDeviceUnavailable) return PSK_START_BUSY;
  if (err == paUnanticipatedHostError) {
    const PaHostErrorInfo* host = Pa_GetLastHostErrorInfo();
    if (host != nullptr && (host->errorCode == -EBUSY || host->errorCode == EBUSY))
      return PSK_START_BUSY;
  }
  return PSK_START_NOT_OPEN;
}
}  // namespace

PortAudioSource::PortAudioSource(double rate_hz, int channels)
    : rate_hz_(rate_hz),
      channels_(channels),
      ring_(static_cast<size_t>(rate_hz * kRingSeconds)),
      resampler_(rate_hz) {
  last_progress_ = std::chrono::steady_clock::now();
}

std::unique_ptr<PortAudioSource> PortAudioSource::open(int portaudio_index, int32_t* code,
                                                       std::string* message) {
  const auto lock = PortAudioSession::lock();
  // A session for the checks below; the source keeps its own.
  PortAudioSession probe;
  if (!probe.ok()) {
    *code = PSK_START_NOT_OPEN;
    *message = probe.error();
    return nullptr;
  }
  const PaDeviceIndex device = portaudio_index < 0 ? Pa_GetDefaultInputDevice() : portaudio_index;
  const PaDeviceInfo* info =
      device >= 0 && device < Pa_GetDeviceCount() ? Pa_GetDeviceInfo(device) : nullptr;
  if (info == nullptr || info->maxInputChannels < 1) {
    *code = PSK_START_BAD_DEVICE;
    *message = "no such capture device";
    return nullptr;
  }
  PaStreamParameters params{};
  params.device = device;
  params.sampleFormat = paFloat32;
  params.suggestedLatency = info->defaultHighInputLatency;
  // Mono at 8000 Hz if the device offers it; else its own rate and at most
  // two channels, averaged.
  double rate = kEngineRateHz;
  params.channelCount = 1;
  if (Pa_IsFormatSupported(&params, nullptr, rate) != paFormatIsSupported) {
    rate = Resampler::rate_supported(info->defaultSampleRate) ? info->defaultSampleRate : 48000.0;
    if (Pa_IsFormatSupported(&params, nullptr, rate) != paFormatIsSupported) {
      params.channelCount = std::min(2, info->maxInputChannels);
    }
  }
  std::unique_ptr<PortAudioSource> source(new PortAudioSource(rate, params.channelCount));
  source->scratch_.resize(source->ring_.capacity());
  PaStream* stream = nullptr;
  PaError err = Pa_OpenStream(&stream, &params, nullptr, rate, paFramesPerBufferUnspecified,
                              paNoFlag, capture_callback, source.get());
  if (err == paNoError) {
    source->stream_ = stream;
    err = Pa_StartStream(stream);
  }
  if (err != paNoError) {
    *code = start_code_of(err);
    *message = Pa_GetErrorText(err);
    return nullptr;  // the destructor closes a stream that opened
  }
  *code = PSK_START_OK;
  return source;
}

PortAudioSource::~PortAudioSource() {
  const auto lock = PortAudioSession::lock();
  if (stream_ != nullptr) {
    Pa_AbortStream(static_cast<PaStream*>(stream_));
    Pa_CloseStream(static_cast<PaStream*>(stream_));
  }
}

void PortAudioSource::on_audio(const float* frames, unsigned long count, bool overflow) {
  if (overflow) overruns_.fetch_add(1, std::memory_order_relaxed);
  uint64_t dropped = 0;
  for (unsigned long f = 0; f < count; ++f) {
    float mono = 0.0f;
    if (frames != nullptr) {
      for (int c = 0; c < channels_; ++c)
        mono += frames[f * static_cast<unsigned long>(channels_) + static_cast<unsigned long>(c)];
      mono /= static_cast<float>(channels_);
    }
    if (!ring_.push_one(mono)) ++dropped;
  }
  if (dropped != 0) overruns_.fetch_add(dropped, std::memory_order_relaxed);
  captured_.fetch_add(count, std::memory_order_relaxed);
}

size_t PortAudioSource::read(std::span<float> out) {
  if (resampled_pos_ == resampled_.size()) {
    resampled_.clear();
    resampled_pos_ = 0;
    const size_t got = ring_.pop(scratch_);
    resampler_.process(std::span<const float>(scratch_.data(), got), resampled_);
  }
  const size_t n = std::min(out.size(), resampled_.size() - resampled_pos_);
  std::copy_n(resampled_.begin() + static_cast<long>(resampled_pos_), n, out.begin());
  resampled_pos_ += n;
  return n;
}

SourceState PortAudioSource::state() const {
  if (stream_ == nullptr || Pa_IsStreamActive(static_cast<PaStream*>(stream_)) != 1)
    return SourceState::Lost;
  const uint64_t captured = captured_.load(std::memory_order_relaxed);
  const auto now = std::chrono::steady_clock::now();
  if (captured != last_captured_) {
    last_captured_ = captured;
    last_progress_ = now;
  }
  const auto allowed = captured == 0 ? kFirstSamplesWithin : kLostAfter;
  return now - last_progress_ > allowed ? SourceState::Lost : SourceState::Running;
}

}  // namespace psk
