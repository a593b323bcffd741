#include "measure_lines.h"

#include <cstdio>

#include "json_lines.h"
#include "pskengine.h"

namespace tonvista::cli {
namespace {

// Received text is printed a line at a time: at each line feed, at 64 bytes,
// after a pause of a second without characters, and at the end.
constexpr double kTextPauseSeconds = 1.0;
constexpr size_t kTextMaxBytes = 64;

// Notifications printed as {"t":..,"<name>":wparam}.  Adding a kind of
// numeric line is one entry here.
struct NumericLine {
  uint32_t msg;      // WM_ENGINE_* code
  const char* name;  // JSON name
};
constexpr NumericLine kNumericLines[] = {
    {WM_ENGINE_IMD, "imd"},
    {WM_ENGINE_CLOCKERR, "clock_ppm"},
};

void print(const std::string& line) {
  std::fputs(line.c_str(), stdout);
  std::fputc('\n', stdout);
}

}  // namespace

MeasureLines::MeasureLines(int32_t rx_frequency) : printed_freq_(rx_frequency) {
  print(json_number_line(0.0, "freq", rx_frequency));
}

void MeasureLines::event(double t, uint32_t msg, int32_t wparam) {
  for (const NumericLine& line : kNumericLines) {
    if (msg == line.msg) print(json_number_line(t, line.name, wparam));
  }
  if (msg == WM_ENGINE_STATUS) {
    print(json_text_line(t, "status", wparam == 0 ? "running" : "lost"));
  }
  if (msg == WM_ENGINE_RXCHAR) {
    text_last_ = t;
    text_ += decoder_.Push(static_cast<uint8_t>(wparam));
    if (wparam == '\n' || text_.size() >= kTextMaxBytes) print_text(t);
  }
}

void MeasureLines::frequency(double t, int32_t hz) {
  if (hz == printed_freq_) return;
  printed_freq_ = hz;
  print(json_number_line(t, "freq", hz));
}

void MeasureLines::tick(double t) {
  if (!text_.empty() && t - text_last_ >= kTextPauseSeconds) print_text(t);
}

void MeasureLines::finish(double t) {
  text_ += decoder_.Flush();
  print_text(t);
  std::fflush(stdout);
}

void MeasureLines::print_text(double t) {
  if (!text_.empty()) print(json_text_line(t, "text", text_));
  text_.clear();
}

}  // namespace tonvista::cli
