// The remaining operator actions: the raw-scope gain and squelch scroll
// bars, the reset of the IMD statistics and the kanji switch.
#include "controls/actions.h"

#include "app/Module1.h"
#include "app/form1.h"
#include "engine/PskEngine.h"
#include "notify/notify.h"

// The raw-signal scope reads VScroll2 itself on each redraw.
void VScroll2_Change() {}

// The scroll bar runs 0 at the top to 99 at the bottom; the squelch the
// other way round.
void VScroll3_Change() {
  SquelchLevel = static_cast<int16_t>(99 - Form1().VScroll3.Value());
  PskEngine::fnSetSquelchThreshold(SquelchLevel, 0, 0);
}

void Command1_Click() {
  ResetImdStatistics();
}

void Command2_Click() {
  if (KanjiMode == 1) {
    KanjiMode = 0;
    Form1().Command2.SetCaption("漢字 OFF");
  } else {
    KanjiMode = 1;
    Form1().Command2.SetCaption("漢字 ON");
  }
}
