// The sound-device dialog through the replay session, with scripted device
// lists of 0, 1 and 120 devices: its controls, its list, the device each
// choice selects, OK opening the main window before the dialog goes, and
// Cancel and closing the window opening nothing.
#include <gtest/gtest.h>

#include <QWidget>

#include "app/Module1.h"
#include "app/form1.h"
#include "app/frm_sound_board.h"
#include "platform/screen/screen.h"
#include "replay_test_support.h"

using namespace testing_support;
using Calls = std::vector<std::string>;

namespace {

// A devices line naming `count` devices "Device 0" ... "Device N-1".
std::string DevicesLine(int count) {
  std::string line = "devices";
  for (int i = 0; i < count; ++i) line += " \"Device " + std::to_string(i) + "\"";
  return line;
}

// Opens the dialog on `count` devices, runs `action` (script lines acting on
// the combo box, may be empty), presses OK and returns what followed.
QJsonObject ChooseAndConfirm(int count, const std::string& action) {
  replay::Session session;
  session.Run(DevicesLine(count) + "\nload\n" + action + "\nclick frmSoundBoard.Command1 0");
  return session.Snapshot();
}

std::string StartCall(int device) {
  return "fnStartSoundCard(array," + std::to_string(device) + ",1)=0";
}

}  // namespace

TEST(SoundBoardDialog, OpensFirstWithItsControlsWhereTheyBelong) {
  replay::Session session;
  session.Run("devices \"Mic\"\nload");
  const QJsonObject s = session.Snapshot();
  EXPECT_FALSE(Form1Exists());
  const QJsonObject form = ControlOf(s, "frmSoundBoard");
  EXPECT_EQ(form["text"].toString(), "サウンドーボードの選択");
  EXPECT_TRUE(form["visible"].toBool());
  EXPECT_EQ(form["scale_width"].toDouble(), 3885);
  EXPECT_EQ(form["scale_height"].toDouble(), 1200);

  const struct {
    const char* name;
    double left, top, width, height;
    const char* text;
  } expected[] = {
      {"frmSoundBoard.Combo1", 180, 120, 3585, 300, "-1  Default"},
      {"frmSoundBoard.Command1(0)", 240, 540, 1485, 435, "設定完了"},
      {"frmSoundBoard.Command1(1)", 1740, 540, 1485, 435, "中止"},
  };
  for (const auto& e : expected) {
    const QJsonObject c = ControlOf(s, e.name);
    EXPECT_EQ(c["left"].toDouble(), e.left) << e.name;
    EXPECT_EQ(c["top"].toDouble(), e.top) << e.name;
    EXPECT_EQ(c["width"].toDouble(), e.width) << e.name;
    EXPECT_EQ(c["height"].toDouble(), e.height) << e.name;
    EXPECT_EQ(c["text"].toString(), e.text) << e.name;
    EXPECT_TRUE(c["visible"].toBool()) << e.name;
  }

  // Tab goes from the combo box to OK, then to Cancel.
  SoundBoardDialog& dialog = frmSoundBoard();
  std::vector<QWidget*> order;
  QWidget* w = dialog.Combo1.widget();
  for (int i = 0; i < 20 && order.size() < 3; ++i, w = w->nextInFocusChain()) {
    for (QWidget* c :
         {dialog.Combo1.widget(), dialog.Command1[0].widget(), dialog.Command1[1].widget()}) {
      if (w == c) order.push_back(w);
    }
  }
  EXPECT_EQ(order, (std::vector<QWidget*>{dialog.Combo1.widget(), dialog.Command1[0].widget(),
                                          dialog.Command1[1].widget()}));

  // A fixed dialog, centred on the screen: to the pixel but for half the
  // window's frame, which is not known before the window first shows.
  EXPECT_EQ(dialog.window()->minimumSize(), dialog.window()->maximumSize());
  const float frame_x = (dialog.Width() - dialog.ScaleWidth()) / 2;
  const float frame_y = (dialog.Height() - dialog.ScaleHeight()) / 2;
  EXPECT_NEAR(dialog.Left(), (screen::WidthTwips() - dialog.Width()) / 2, frame_x + 15);
  EXPECT_NEAR(dialog.Top(), (screen::HeightTwips() - dialog.Height()) / 2, frame_y + 15);
}

TEST(SoundBoardDialog, ListsTheDefaultDeviceThenEveryDeviceByNumber) {
  const auto list_of = [](int count) {
    replay::Session session;
    session.Run(DevicesLine(count) + "\nload");
    const QJsonObject s = session.Snapshot();
    std::vector<std::string> items;
    for (const auto& v : ControlOf(s, "frmSoundBoard.Combo1")["list"].toArray()) {
      items.push_back(v.toString().toStdString());
    }
    // Filling the list leaves the design text in the text field.
    EXPECT_EQ(TextOf(s, "frmSoundBoard.Combo1"), "-1  Default");
    return items;
  };
  EXPECT_EQ(list_of(0), (std::vector<std::string>{"-1 Default"}));
  EXPECT_EQ(list_of(1), (std::vector<std::string>{"-1 Default", "0 Device 0"}));
  const auto many = list_of(120);
  ASSERT_EQ(many.size(), 121u);
  EXPECT_EQ(many[0], "-1 Default");
  EXPECT_EQ(many[1], "0 Device 0");
  EXPECT_EQ(many[11], "10 Device 10");
  EXPECT_EQ(many[101], "100 Device 100");
  EXPECT_EQ(many[120], "119 Device 119");

  // Names are shown as they come, blanks and Japanese included.
  replay::Session session;
  session.Run("devices \"  USB オーディオ  \" \"\"\nload");
  const QJsonArray list = ControlOf(session.Snapshot(), "frmSoundBoard.Combo1")["list"].toArray();
  ASSERT_EQ(list.size(), 3);
  EXPECT_EQ(list[1].toString(), "0   USB オーディオ  ");
  EXPECT_EQ(list[2].toString(), "1 ");
}

TEST(SoundBoardDialog, OkStartsTheEngineOnTheChosenDevice) {
  const struct {
    int devices;
    std::string action;
    int device;
  } cases[] = {
      // Untouched: the design text "-1  Default".
      {0, "", -1},
      {1, "", -1},
      {120, "", -1},
      {0, "set frmSoundBoard.Combo1 \"-1 Default\"", -1},
      {120, "set frmSoundBoard.Combo1 \"-1 Default\"", -1},
      {1, "set frmSoundBoard.Combo1 \"0 Device 0\"", 0},
      {120, "set frmSoundBoard.Combo1 \"0 Device 0\"", 0},
      {120, "set frmSoundBoard.Combo1 \"9 Device 9\"", 9},
      {120, "set frmSoundBoard.Combo1 \"10 Device 10\"", 10},
      {120, "set frmSoundBoard.Combo1 \"57 Device 57\"", 57},
      {120, "set frmSoundBoard.Combo1 \"99 Device 99\"", 99},
      {120, "set frmSoundBoard.Combo1 \"100 Device 100\"", 100},
      {120, "set frmSoundBoard.Combo1 \"119 Device 119\"", 119},
      // Typed texts.
      {1, "set frmSoundBoard.Combo1 7", 7},
      {0, "set frmSoundBoard.Combo1 \"\"", 0},
      {1, "set frmSoundBoard.Combo1 ab", 0},
      {1, "set frmSoundBoard.Combo1 .5", 0},
      {1, "set frmSoundBoard.Combo1 1.5", 1},
  };
  for (const auto& c : cases) {
    const std::string what = std::to_string(c.devices) + " devices, " + c.action;
    const QJsonObject s = ChooseAndConfirm(c.devices, c.action);
    EXPECT_EQ(SettingOf(s, "SoundCardID"), c.device) << what;
    EXPECT_EQ(CallsOf(s, "fnStartSoundCard"), Calls{StartCall(c.device)}) << what;
    // The main window is open and the dialog is gone.
    EXPECT_TRUE(ControlOf(s, "Form1")["visible"].toBool()) << what;
    EXPECT_TRUE(ControlOf(s, "frmSoundBoard").isEmpty()) << what;
  }
}

TEST(SoundBoardDialog, OkOpensTheMainWindowBeforeTheDialogCloses) {
  for (const int start_code : {0, 21}) {
    replay::Session session;
    session.Run("engine start " + std::to_string(start_code) + "\n" + DevicesLine(120) +
                "\nload\nset frmSoundBoard.Combo1 \"100 Device 100\"");
    struct {
      bool ran = false, main_loaded = false, main_shown = false, dialog_shown = false;
      std::string term;
      int device = 0;
    } at_unload;
    SoundBoardDialog& dialog = frmSoundBoard();
    const auto unload = dialog.UnloadHandler;
    dialog.UnloadHandler = [&, unload] {
      at_unload.ran = true;
      at_unload.main_loaded = Form1Exists() && Form1().Loaded();
      at_unload.main_shown = Form1Exists() && Form1().IsShown();
      at_unload.dialog_shown = frmSoundBoard().IsShown();
      at_unload.term = Form1Exists() ? Form1().Term.Text() : "";
      at_unload.device = SoundCardID;
      if (unload) unload();
    };
    session.Run("click frmSoundBoard.Command1 0");
    ASSERT_TRUE(at_unload.ran) << start_code;
    EXPECT_TRUE(at_unload.main_loaded) << start_code;
    EXPECT_TRUE(at_unload.main_shown) << start_code;
    EXPECT_TRUE(at_unload.dialog_shown) << start_code;
    EXPECT_EQ(at_unload.term, start_code == 0 ? "Card Opened "
                                              : "Error Code : 21 Bad Device ID, Soundcard Not "
                                                "Present ")
        << start_code;
    EXPECT_EQ(at_unload.device, 100) << start_code;
    // The main window's load ran to its end inside OK, and only once.
    const QJsonObject s = session.Snapshot();
    EXPECT_EQ(CallsOf(s, "fnStartSoundCard").size(), 1u) << start_code;
    EXPECT_EQ(CallsOf(s, "fnSetFFTMode").size(), 1u) << start_code;
    EXPECT_FALSE(frmSoundBoardExists()) << start_code;
  }
}

TEST(SoundBoardDialog, CancelAndClosingTheWindowOpenNothing) {
  for (const char* action : {"click frmSoundBoard.Command1 1", "close frmSoundBoard"}) {
    replay::Session session;
    session.Run(DevicesLine(120) + "\nload\nset frmSoundBoard.Combo1 \"5 Device 5\"\n" + action);
    const QJsonObject s = session.Snapshot();
    EXPECT_FALSE(Form1Exists()) << action;
    EXPECT_FALSE(frmSoundBoardExists()) << action;
    EXPECT_TRUE(s["controls"].toObject().isEmpty()) << action;
    EXPECT_EQ(CallList(s), Calls{}) << action;
    EXPECT_EQ(SettingOf(s, "SoundCardID"), 0) << action;
  }
}

// The program's own event loop: it ends when Cancel or the window's close
// leaves no window, and runs on after OK until the main window closes.
TEST(SoundBoardDialog, TheProgramEndsWithTheLastWindow) {
  for (const char* action : {"click frmSoundBoard.Command1 1", "close frmSoundBoard"}) {
    replay::Session session;
    EXPECT_NO_THROW(session.Run(DevicesLine(1) + "\nload\nrun\n" + action)) << action;
    EXPECT_FALSE(Form1Exists()) << action;
  }
  {
    replay::Session session;
    try {
      session.Run(DevicesLine(1) + "\nload\nrun\nclick frmSoundBoard.Command1 0");
      ADD_FAILURE() << "the program ended with the main window open";
    } catch (const replay::ScriptError& e) {
      EXPECT_NE(std::string(e.what()).find("still runs"), std::string::npos) << e.what();
    }
    EXPECT_TRUE(Form1Exists() && Form1().IsShown());
  }
  {
    replay::Session session;
    EXPECT_NO_THROW(
        session.Run(DevicesLine(1) + "\nload\nrun\nclick frmSoundBoard.Command1 0\nclose Form1"));
    EXPECT_EQ(CallsOf(session.Snapshot(), "fnStopSoundCard").size(), 1u);
  }
}

TEST(SoundBoardDialog, ReplayRefusesToRunWithoutAWindowOrToCloseAWindowThatIsNotOpen) {
  replay::Session session;
  EXPECT_THROW(session.Run("run"), replay::ScriptError);
  EXPECT_THROW(session.Run("close frmSoundBoard"), replay::ScriptError);
  session.Run("devices\nload\nclick frmSoundBoard.Command1 1");
  EXPECT_THROW(session.Run("close frmSoundBoard"), replay::ScriptError);
}
