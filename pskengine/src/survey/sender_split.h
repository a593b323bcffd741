// Two stations taking turns without a pause make one over.  Its text, cut
// at the starts of idle runs, tells them apart: each stretch of text names
// its sender after "de", and each idle run belongs to the sender of the text
// around it.  A run between the texts of two senders (the one's last idle
// and the other's first) belongs to neither: its readings are dropped.
#pragma once

#include <cstdint>
#include <map>
#include <string>
#include <vector>

#include "survey/band_survey.h"

namespace psk {

// What one over's receiver gave, each piece with the number of idle runs
// begun before it.
struct TaggedOver {
  std::vector<TimedValue> imd;      // IMD readings
  std::vector<int64_t> imd_run;     // idle runs begun before each
  std::vector<TimedValue> clock;    // clock-error readings
  std::vector<int64_t> clock_run;   // idle runs begun before each
  std::string text;                 // decoded bytes
  std::vector<int64_t> text_run;    // idle runs begun before each
  std::map<int64_t, double> run_t;  // when each idle run was first seen, s
};

// The over as one report per sender when its text names more than one, else
// whole (which holds the over's times, frequency, mode and S/N).
std::vector<OverReport> split_by_sender(const TaggedOver& over, const OverReport& whole);

}  // namespace psk
