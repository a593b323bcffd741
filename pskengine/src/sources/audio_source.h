// Audio input behind one interface: a capture device, a WAV file or the
// built-in test signal.  Every source delivers mono samples at 8000 Hz with
// full scale 1.0, whatever its own rate and channel count.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>

namespace psk {

enum class SourceState {
  Running,  // samples flow (or will)
  Ended,    // a file has ended; no more samples will come
  Lost,     // the device stopped delivering (unplugged, stream failed)
};

class AudioSource {
 public:
  virtual ~AudioSource() = default;
  // Writes up to out.size() samples into out and returns their number.  A
  // live source returns what has arrived so far (possibly none) and never
  // waits; any other source fills out until it ends.
  virtual size_t read(std::span<float> out) = 0;
  // True when a device delivers samples at its own pace; false when the
  // reader must pace them itself (files, the built-in signal).
  virtual bool live() const = 0;
  virtual SourceState state() const = 0;
  // Samples dropped because the reader fell behind, since the source opened.
  virtual uint64_t overruns() const { return 0; }
};

}  // namespace psk
