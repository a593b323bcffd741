#include "modem/idle_detector.h"

namespace psk {

void IdleDetector::reset() {
  run_ = 0;
  prev_position_ = start_ = end_ = 0;
  runs_ = 0;
  last_start_ = last_end_ = 0;
}

void IdleDetector::process(bool reversal, double position) {
  if (reversal) {
    if (run_ == 0) start_ = prev_position_;
    ++run_;
    end_ = position;
    if (run_ == kMinRun) ++runs_;
  } else {
    if (run_ >= kMinRun) {
      last_start_ = start_;
      last_end_ = end_;
    }
    run_ = 0;
  }
  prev_position_ = position;
}

}  // namespace psk
