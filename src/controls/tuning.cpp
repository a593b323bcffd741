// Tuning by the operator: click-to-tune on the spectrum, the 1500 Hz
// shortcut and the AFC switch.  (The tuning scroll bar: scroll_tuning.cpp.)
#include <optional>

#include "app/Module1.h"
#include "app/form1.h"
#include "app/numbers.h"
#include "controls/actions.h"
#include "engine/PskEngine.h"

// Any button tunes the engine to the frequency under the pointer when it lies
// in the displayed range (both edges included).  txtRec and VScroll1 are left
// alone; under AFC the spectrum brings them to the engine's frequency.
void Picture2_MouseDown(int /*button*/, int /*shift*/, float x, float /*y*/) {
  const int16_t width = CInt(Form1().Picture2.Width());
  const int16_t span = static_cast<int16_t>(DisplayHighHz - DisplayLowHz);
  // A box without width maps no point to a frequency: nothing happens.
  if (width == 0) return;
  const float units_per_hz = static_cast<float>(width) / static_cast<float>(span);
  const float hz = x / units_per_hz + static_cast<float>(DisplayLowHz);
  // A point that maps beyond 16 bits lies far outside the range.
  const auto f = ToInt16(hz);
  if (!f || *f < DisplayLowHz || *f > DisplayHighHz) return;
  PskEngine::fnSetRXFrequency(*f, 0, 0);
}

void txtRec_DblClick() {
  PskEngine::fnSetRXFrequency(1500, 0, 0);
}

// On: AFC limit 500 Hz, then the engine is tuned to txtRec's frequency.
// Off: limit 0, the frequency stays where the AFC left it.
void ckRXAFC_Click() {
  MainWindow& form = Form1();
  if (form.ckRXAFC.Value() != 0) {
    PskEngine::fnSetAFCLimit(500, 0);
    // txtRec holding no whole 32-bit number keeps the engine's frequency.
    const auto number = ParseNumber(form.txtRec.Text());
    if (const auto hz = number ? ToInt32(*number) : std::nullopt) {
      PskEngine::fnSetRXFrequency(*hz, 0, 0);
    }
    AfcOn = 1;
  } else {
    PskEngine::fnSetAFCLimit(0, 0);
    AfcOn = 0;
  }
}
