// The sound-device selection dialog: its controls, the device list it shows,
// and its buttons (OK opens the main window, Cancel ends the program).
#include "app/frm_sound_board.h"

#include <QCoreApplication>
#include <QTimer>
#include <algorithm>
#include <cstdlib>
#include <memory>
#include <string>

#include "app/Module1.h"
#include "app/form1.h"
#include "app/numbers.h"
#include "app/startup.h"
#include "engine/PskEngine.h"
#include "platform/devices/devices.h"
#include "platform/screen/screen.h"

namespace {

std::unique_ptr<SoundBoardDialog> g_dialog;

const forms::FontStyle kDialogFont{"ＭＳ Ｐゴシック", 9, false};

// Without a device list there is nothing to choose from: say why, then end
// the program before any other window opens.
[[noreturn]] void EndWithoutDevices(const std::string& reason) {
  forms::EndWithError("Tonvista cannot list the sound devices: " + reason);
}

void frmSoundBoard_Load() {
  SoundBoardDialog& form = frmSoundBoard();
  // The dialog opens centred on the screen, like the main window.
  form.CentreOnScreen(screen::WidthTwips(), screen::HeightTwips());
  std::string error;
  const auto names = devices::SoundDeviceNames(
      {&PskEngine::pskengine_device_count, &PskEngine::pskengine_device_name}, &error);
  if (!names) EndWithoutDevices(error);
  // The text field keeps its design text "-1  Default", which is no entry.
  form.Combo1.AddItem("-1 Default");
  int number = 0;
  for (const std::string& name : *names) form.Combo1.AddItem(PlainText(number++) + " " + name);
}

// The dialog is gone once unloaded; it is destroyed after the event that
// unloaded it (a button's click runs inside the button).
void frmSoundBoard_Unload() {
  SoundBoardDialog* unloaded = g_dialog.get();
  QTimer::singleShot(0, QCoreApplication::instance(), [unloaded] {
    if (g_dialog.get() == unloaded) g_dialog.reset();
  });
}

void Command1_Click(int index) {
  if (index == 0) {
    SoundCardID = DeviceNumberOfEntry(frmSoundBoard().Combo1.Text());
    // The main window's load, engine start included, runs to its end here,
    // before the dialog goes; a main window already open is only shown.
    (Form1Exists() ? Form1() : CreateForm1()).Show();
  }
  frmSoundBoard().Unload();
}

}  // namespace

SoundBoardDialog::SoundBoardDialog() : forms::Form("frmSoundBoard"), Combo1(this, "Combo1") {
  SetCaption("サウンドーボードの選択");
  SetIcon(kProgramIcon);
  SetFont(kDialogFont);
  SetClientSize(3885, 1200);
  SetFixedBorder(true);

  Combo1.Move(180, 120, 3585, 300);
  Combo1.SetTabIndex(0);
  Combo1.SetText("-1  Default");

  const struct {
    int index;
    float left;
    const char* caption;
  } buttons[] = {{0, 240, "設定完了"}, {1, 1740, "中止"}};
  for (const auto& b : buttons) {
    Command1.Add(b.index, std::make_unique<forms::CommandButton>(
                              this, "Command1(" + std::to_string(b.index) + ")"));
    forms::CommandButton& button = Command1[b.index];
    button.Move(b.left, 540, 1485, 435);
    button.SetTabIndex(b.index + 1);
    button.SetCaption(b.caption);
    button.Click = [i = b.index] { Command1_Click(i); };
  }
  ApplyTabOrder();

  Load = &frmSoundBoard_Load;
  UnloadHandler = &frmSoundBoard_Unload;
}

SoundBoardDialog& frmSoundBoard() {
  return *g_dialog;
}
bool frmSoundBoardExists() {
  return g_dialog != nullptr;
}

SoundBoardDialog& CreateFrmSoundBoard() {
  g_dialog = std::make_unique<SoundBoardDialog>();
  return *g_dialog;
}

void DestroyFrmSoundBoard() {
  g_dialog.reset();
}

int16_t DeviceNumberOfEntry(std::string_view text) {
  size_t i = 0;
  while (i < text.size() && (text[i] == ' ' || text[i] == '\t')) ++i;
  bool negative = false;
  if (i < text.size() && (text[i] == '+' || text[i] == '-')) negative = text[i++] == '-';
  long long value = 0;
  // Digits beyond the 16-bit range only keep the value out of range.
  for (; i < text.size() && text[i] >= '0' && text[i] <= '9'; ++i) {
    value = std::min(value * 10 + (text[i] - '0'), 1000000LL);
  }
  return ClampInt16(negative ? -value : value);
}
