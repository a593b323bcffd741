// A loaded main window for tests of the spectrum and waterfall displays.
#pragma once

#include "app/Module1.h"
#include "replay_test_support.h"

namespace testing_support {

// The spectrum's grid, trace and cursor; the waterfall's stroke for no signal.
constexpr forms::Rgb kGrid = forms::RGB(0, 80, 0), kTrace = forms::RGB(0, 255, 255),
                     kCursor = forms::RGB(255, 255, 0), kNoSignal = forms::RGB(0, 0, 120);

struct DisplayTest : LoadedMainWindow {
  // Sets the displayed range, and the grid divisions when given.
  static void Range(int low, int high, int divisions = -1) {
    DisplayLowHz = static_cast<int16_t>(low);
    DisplayHighHz = static_cast<int16_t>(high);
    if (divisions >= 0) GridDivisions = static_cast<int16_t>(divisions);
  }
  // Runs the script, then one display notification; the snapshot after it.
  QJsonObject Notify(const std::string& script = "") {
    session.Run(script + "\npost 2024 0 0");
    return session.Snapshot();
  }
  // The lines of one colour in a box's record.
  static std::vector<forms::DrawOp> LinesIn(const forms::PictureBox& box, forms::Rgb colour) {
    return OpsOf(box.Record(), forms::DrawOp::Kind::Line, colour);
  }
};

}  // namespace testing_support
