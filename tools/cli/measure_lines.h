// The JSON lines that measure prints for what the engine reports: numeric
// readings at once, received text a line at a time, the receive frequency
// when it moves, and (listening live) the input's status.
#pragma once

#include <cstdint>
#include <string>

#include "platform/codepage/codepage.h"

namespace tonvista::cli {

class MeasureLines {
 public:
  // Prints the first frequency line at t = 0.
  explicit MeasureLines(int32_t rx_frequency);
  // One notification (WM_ENGINE_* code and its wParam) at time t, seconds.
  void event(double t, uint32_t msg, int32_t wparam);
  // The receive frequency at time t; printed when it moved.
  void frequency(double t, int32_t hz);
  // Text waiting since a pause of a second is printed.
  void tick(double t);
  // Prints what is left and flushes the output.
  void finish(double t);

 private:
  void print_text(double t);

  codepage::Decoder decoder_;  // received bytes to UTF-8
  std::string text_;           // received text not yet printed, UTF-8
  double text_last_ = 0.0;     // time of its newest character, seconds
  int32_t printed_freq_;       // the frequency last printed, Hz
};

}  // namespace tonvista::cli
