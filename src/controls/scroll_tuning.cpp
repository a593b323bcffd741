#include "app/Module1.h"
#include "app/form1.h"
#include "app/numbers.h"
#include "controls/actions.h"
#include "engine/PskEngine.h"

// The tuning scroll bar writes its value into txtRec; with AFC off it also
// retunes the engine, with AFC on the engine leads and the box only follows.
void VScroll1_Change() {
  MainWindow& form = Form1();
  form.txtRec.SetText(PlainText(form.VScroll1.Value()));
  if (AfcOn == 0) {
    const auto hz = ParseNumber(form.txtRec.Text());
    if (const auto value = hz ? ToInt32(*hz) : std::nullopt) {
      PskEngine::fnSetRXFrequency(*value, 0, 0);
    }
  }
}
