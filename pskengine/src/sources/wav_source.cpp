#include "sources/wav_source.h"

#include <sndfile.h>

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstring>
#include <filesystem>

#include "dsp/sample_rate.h"

namespace psk {
namespace {
constexpr int kMaxChannels = 64;       // more is taken for a damaged header
constexpr size_t kChunkFrames = 4096;  // frames read at a time

// Finite samples only, within a generous range, so a damaged float file
// cannot feed NaN or infinity to the receiver.
float sane(float s) {
  return std::isfinite(s) ? std::clamp(s, -16.0f, 16.0f) : 0.0f;
}
}  // namespace

struct WavSource::Memory {
  std::vector<uint8_t> bytes;  // the file image
  sf_count_t pos = 0;          // read position

  static sf_count_t length(void* user) {
    return static_cast<sf_count_t>(static_cast<Memory*>(user)->bytes.size());
  }
  static sf_count_t seek(sf_count_t offset, int whence, void* user) {
    Memory* m = static_cast<Memory*>(user);
    const sf_count_t size = static_cast<sf_count_t>(m->bytes.size());
    sf_count_t base = whence == SEEK_SET ? 0 : whence == SEEK_CUR ? m->pos : size;
    m->pos = std::clamp<sf_count_t>(base + offset, 0, size);
    return m->pos;
  }
  static sf_count_t read(void* ptr, sf_count_t count, void* user) {
    Memory* m = static_cast<Memory*>(user);
    const sf_count_t size = static_cast<sf_count_t>(m->bytes.size());
    const sf_count_t n = std::clamp<sf_count_t>(count, 0, size - m->pos);
    if (n > 0) std::memcpy(ptr, m->bytes.data() + m->pos, static_cast<size_t>(n));
    m->pos += n;
    return n;
  }
  static sf_count_t write(const void*, sf_count_t, void*) { return 0; }
  static sf_count_t tell(void* user) { return static_cast<Memory*>(user)->pos; }
};

std::unique_ptr<WavSource> WavSource::open_file(const std::string& path, std::string* error) {
  std::error_code ec;
  const auto status = std::filesystem::status(path, ec);
  if (!std::filesystem::exists(status)) {
    *error = "cannot open '" + path + "': no such file";
    return nullptr;
  }
  if (!std::filesystem::is_regular_file(status)) {
    *error = "cannot open '" + path + "': not a file";
    return nullptr;
  }
  std::unique_ptr<WavSource> source(new WavSource());
  SF_INFO info{};
  errno = 0;
  source->file_ = sf_open(path.c_str(), SFM_READ, &info);
  if (source->file_ == nullptr) {
    const int err = errno;
    if (err == EACCES || err == EPERM) {
      *error = "cannot open '" + path + "': " + std::strerror(err);
    } else {
      *error = "cannot read '" + path + "' as audio: " + sf_strerror(nullptr);
    }
    return nullptr;
  }
  return finish_open(std::move(source), path, error);
}

std::unique_ptr<WavSource> WavSource::open_memory(std::vector<uint8_t> bytes, std::string* error) {
  std::unique_ptr<WavSource> source(new WavSource());
  source->memory_ = std::make_unique<Memory>();
  source->memory_->bytes = std::move(bytes);
  SF_VIRTUAL_IO io{&Memory::length, &Memory::seek, &Memory::read, &Memory::write, &Memory::tell};
  SF_INFO info{};
  source->file_ = sf_open_virtual(&io, SFM_READ, &info, source->memory_.get());
  if (source->file_ == nullptr) {
    *error = std::string("cannot read the data as audio: ") + sf_strerror(nullptr);
    return nullptr;
  }
  return finish_open(std::move(source), "the data", error);
}

std::unique_ptr<WavSource> WavSource::finish_open(std::unique_ptr<WavSource> source,
                                                  const std::string& name, std::string* error) {
  SF_INFO info{};
  sf_command(static_cast<SNDFILE*>(source->file_), SFC_GET_CURRENT_SF_INFO, &info, sizeof info);
  if (info.channels < 1 || info.channels > kMaxChannels) {
    *error = "cannot read '" + name + "' as audio: " + std::to_string(info.channels) + " channels";
    return nullptr;
  }
  if (!Resampler::rate_supported(info.samplerate)) {
    *error = "cannot read '" + name + "' as audio: unsupported sample rate " +
             std::to_string(info.samplerate) + " Hz";
    return nullptr;
  }
  // Float files come back as written (no normalisation); integer files scale
  // to full scale 1.0.
  sf_command(static_cast<SNDFILE*>(source->file_), SFC_SET_NORM_FLOAT, nullptr, SF_TRUE);
  source->file_rate_hz_ = info.samplerate;
  source->channels_ = info.channels;
  source->file_frames_ = std::max<sf_count_t>(info.frames, 0);
  source->total_samples_ = static_cast<int64_t>(std::floor(
      static_cast<double>(source->file_frames_) * kEngineRateHz / info.samplerate + 1e-9));
  source->resampler_ = std::make_unique<Resampler>(source->file_rate_hz_);
  return source;
}

WavSource::~WavSource() {
  if (file_ != nullptr) sf_close(static_cast<SNDFILE*>(file_));
}

void WavSource::fill() {
  pending_.erase(pending_.begin(), pending_.begin() + static_cast<long>(pending_pos_));
  pending_pos_ = 0;
  frames_.resize(kChunkFrames * static_cast<size_t>(channels_));
  const sf_count_t got = sf_readf_float(static_cast<SNDFILE*>(file_), frames_.data(),
                                        static_cast<sf_count_t>(kChunkFrames));
  mono_.clear();
  for (sf_count_t f = 0; f < got; ++f) {
    float sum = 0;
    for (int c = 0; c < channels_; ++c)
      sum += sane(frames_[static_cast<size_t>(f * channels_ + c)]);
    mono_.push_back(sum / static_cast<float>(channels_));
  }
  resampler_->process(mono_, pending_);
  if (got <= 0) {
    // End of the file (or of what a truncated file holds): flush the
    // filter's tail with silence, then stop at the expected length.
    input_done_ = true;
    const size_t tail = static_cast<size_t>(resampler_->half_length() + resampler_->step() + 2);
    mono_.assign(tail, 0.0f);
    resampler_->process(mono_, pending_);
  }
}

size_t WavSource::read(std::span<float> out) {
  size_t written = 0;
  while (written < out.size() && delivered_ < total_samples_) {
    if (pending_pos_ == pending_.size()) {
      if (input_done_) break;
      fill();
      continue;
    }
    const size_t n = std::min({out.size() - written, pending_.size() - pending_pos_,
                               static_cast<size_t>(total_samples_ - delivered_)});
    std::copy_n(pending_.begin() + static_cast<long>(pending_pos_), n,
                out.begin() + static_cast<long>(written));
    pending_pos_ += n;
    written += n;
    delivered_ += static_cast<int64_t>(n);
  }
  if (written < out.size() && delivered_ < total_samples_ && input_done_) {
    // A truncated file holds fewer frames than its header promises.
    total_samples_ = delivered_;
  }
  return written;
}

SourceState WavSource::state() const {
  return delivered_ >= total_samples_ ? SourceState::Ended : SourceState::Running;
}

}  // namespace psk
