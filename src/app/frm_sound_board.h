// The sound-device selection dialog, the program's first window: it lists the
// sound devices, the operator picks one (or the default device), and OK opens
// the main window on it.  Cancel, or closing the window, ends the program.
#pragma once

#include <cstdint>
#include <string_view>

#include "platform/forms/forms.h"

class SoundBoardDialog : public forms::Form {
 public:
  SoundBoardDialog();

  forms::ComboBox Combo1;                              // "-1 Default", then "N name" per device
  forms::ControlArray<forms::CommandButton> Command1;  // 0 OK "設定完了", 1 Cancel "中止"
};

// The dialog of this run; CreateFrmSoundBoard makes it (once per run; tests
// make a fresh one per case).  Unloading the dialog destroys it as soon as
// the event that unloaded it has been handled.
SoundBoardDialog& frmSoundBoard();
bool frmSoundBoardExists();
SoundBoardDialog& CreateFrmSoundBoard();
void DestroyFrmSoundBoard();

// The device number that a list entry or a typed text selects: the whole
// number it starts with, after leading blanks (an optional sign, then
// digits, up to the first other character); 0 when there are no digits.
// "-1 Default" gives -1, "123 name" gives 123, "1.5" gives 1, ".5" gives 0.
// A number beyond 16 bits is clamped (no device has it, so the engine
// reports a bad device).
int16_t DeviceNumberOfEntry(std::string_view text);
