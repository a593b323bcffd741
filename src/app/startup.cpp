#include "app/startup.h"

#include "app/frm_sound_board.h"

// The sound-device dialog is the first window; its OK opens the main window.
void StartProgram() {
  CreateFrmSoundBoard().Show();
}
