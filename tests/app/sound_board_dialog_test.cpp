// The sound-device dialog on lists of 0, 1 and 120 devices: OK, Cancel, closing.
#include <gtest/gtest.h>

#include <QImage>
#include <QWidget>
#include <algorithm>
#include <set>

#include "app/Module1.h"
#include "app/form1.h"
#include "app/frm_sound_board.h"
#include "engine/PskEngine.h"
#include "platform/screen/screen.h"
#include "replay_test_support.h"

using namespace testing_support;

namespace {

// A devices line naming `count` devices "Device 0" ... "Device N-1".
std::string DevicesLine(int count) {
  std::string line = "devices";
  for (int i = 0; i < count; ++i) line += " \"Device " + std::to_string(i) + "\"";
  return line;
}

QJsonObject Open(const std::string& devices) {
  replay::Session session;
  session.Run(devices + "\nload");
  return session.Snapshot();
}

}  // namespace

TEST(SoundBoardDialog, OpensFirstCentredAndFixedWithItsControlsWhereTheyBelong) {
  replay::Session session;
  session.Run("devices \"Mic\"\nload");
  const QJsonObject s = session.Snapshot();
  EXPECT_FALSE(Form1Exists());
  const QJsonObject form = ControlOf(s, "frmSoundBoard");
  EXPECT_EQ(form["text"].toString(), "サウンドーボードの選択");
  EXPECT_TRUE(form["visible"].toBool());
  EXPECT_EQ(form["scale_width"].toDouble(), 3885);
  EXPECT_EQ(form["scale_height"].toDouble(), 1200);
  // Left, top, width, height, text, visible.
  const std::pair<const char*, QJsonArray> controls[] = {
      {"frmSoundBoard.Combo1", {180, 120, 3585, 300, "-1  Default", true}},
      {"frmSoundBoard.Command1(0)", {240, 540, 1485, 435, "設定完了", true}},
      {"frmSoundBoard.Command1(1)", {1740, 540, 1485, 435, "中止", true}}};
  for (const auto& [name, expected] : controls) {
    const QJsonObject c = ControlOf(s, name);
    EXPECT_EQ((QJsonArray{c["left"], c["top"], c["width"], c["height"], c["text"], c["visible"]}),
              expected)
        << name;
  }
  // Tab goes from the combo box to OK, then to Cancel.
  SoundBoardDialog& dialog = frmSoundBoard();
  const std::vector<QWidget*> tab_order{dialog.Combo1.widget(), dialog.Command1[0].widget(),
                                        dialog.Command1[1].widget()};
  std::vector<QWidget*> order;
  QWidget* w = dialog.Combo1.widget();
  for (int i = 0; i < 20 && order.size() < 3; ++i, w = w->nextInFocusChain()) {
    if (std::find(tab_order.begin(), tab_order.end(), w) != tab_order.end()) order.push_back(w);
  }
  EXPECT_EQ(order, tab_order);
  // Fixed and centred by its outer size, to the pixel.
  EXPECT_EQ(dialog.window()->minimumSize(), dialog.window()->maximumSize());
  EXPECT_NEAR(dialog.Left(), (screen::WidthTwips() - dialog.Width()) / 2, 15);
  EXPECT_NEAR(dialog.Top(), (screen::HeightTwips() - dialog.Height()) / 2, 15);
}

TEST(SoundBoardDialog, ListsTheDefaultDeviceThenEveryDeviceByNumber) {
  const auto list_of = [](const std::string& devices) {
    const QJsonObject s = Open(devices);
    // The design text stays in the text field; the engine is not asked.
    EXPECT_EQ(TextOf(s, "frmSoundBoard.Combo1"), "-1  Default");
    EXPECT_EQ(CallsOf(s, "pskengine_device_count"), Calls{});
    return ControlOf(s, "frmSoundBoard.Combo1")["list"].toArray();
  };
  EXPECT_EQ(list_of(DevicesLine(0)), QJsonArray{"-1 Default"});
  const QJsonArray many = list_of(DevicesLine(120));
  ASSERT_EQ(many.size(), 121);
  EXPECT_EQ(many[101].toString(), "100 Device 100");
  // Names are shown as they come, blanks and Japanese included.
  EXPECT_EQ(list_of("devices \"  USB オーディオ  \" \"\""),
            (QJsonArray{"-1 Default", "0   USB オーディオ  ", "1 "}));
}

TEST(SoundBoardDialog, ListsWhatTheEngineReportsThroughItsInterface) {
  replay::Session session;  // no scripted list of its own
  const char* names[] = {"Line In", "Built-in test signal (BPSK31 at 1500 Hz)"};
  reinterpret_cast<void (*)(int32_t, const char* const*)>(
      PskEngine::FindSymbol("scripted_set_devices"))(2, names);
  session.Run("load");
  const QJsonObject s = session.Snapshot();
  EXPECT_EQ(ControlOf(s, "frmSoundBoard.Combo1")["list"].toArray(),
            (QJsonArray{"-1 Default", "0 Line In", "1 Built-in test signal (BPSK31 at 1500 Hz)"}));
  EXPECT_EQ(CallsOf(s, "pskengine_device_count"), Calls{"pskengine_device_count()=2"});
}

TEST(SoundBoardDialog, OkStartsTheEngineOnTheChosenDevice) {
  const struct {
    int devices;
    const char* choice;  // picked, or typed when no entry has the text
    int device;
  } cases[] = {
      // Untouched: the design text "-1  Default" (kept with any list).
      {120, nullptr, -1},           {0, "-1 Default", -1}, {1, "0 Device 0", 0},
      {120, "100 Device 100", 100}, {1, "7", 7},           {1, "ab", 0},
  };
  for (const auto& c : cases) {
    const std::string choice =
        c.choice ? std::string("set frmSoundBoard.Combo1 \"") + c.choice + "\"" : "";
    const std::string what = std::to_string(c.devices) + " devices, " + choice;
    replay::Session session;
    session.Run(DevicesLine(c.devices) + "\nload\n" + choice + "\nclick frmSoundBoard.Command1 0");
    const QJsonObject s = session.Snapshot();
    EXPECT_EQ(SettingOf(s, "SoundCardID"), c.device) << what;
    EXPECT_EQ(CallsOf(s, "fnStartSoundCard"),
              Calls{"fnStartSoundCard(array," + std::to_string(c.device) + ",1)=0"})
        << what;
    // The main window is open and the dialog is gone.
    EXPECT_TRUE(ControlOf(s, "Form1")["visible"].toBool()) << what;
    EXPECT_TRUE(ControlOf(s, "frmSoundBoard").isEmpty()) << what;
  }
}

TEST(SoundBoardDialog, OkOpensTheMainWindowBeforeTheDialogCloses) {
  replay::Session session;
  session.Run(DevicesLine(120) + "\nload\nset frmSoundBoard.Combo1 \"100 Device 100\"");
  // What the dialog's unload finds: Form1 loaded, both shown, Term, the device.
  std::string at_unload;
  SoundBoardDialog& dialog = frmSoundBoard();
  dialog.UnloadHandler = [&, unload = dialog.UnloadHandler] {
    at_unload = std::to_string(Form1Exists() && Form1().Loaded()) +
                std::to_string(Form1Exists() && Form1().IsShown()) +
                std::to_string(frmSoundBoard().IsShown()) + " " +
                (Form1Exists() ? Form1().Term.Text() : "") + "| " + std::to_string(SoundCardID);
    if (unload) unload();
  };
  session.Run("click frmSoundBoard.Command1 0");
  EXPECT_EQ(at_unload, "111 Card Opened | 100");
  // The main window's load ran to its end inside OK, and only once.
  const QJsonObject s = session.Snapshot();
  EXPECT_EQ(CallsOf(s, "fnSetFFTMode").size(), 1u);
}

// In the program's own event loop, which ends when no window is left.
TEST(SoundBoardDialog, CancelAndClosingTheWindowOpenNothingAndEndTheProgram) {
  for (const char* action : {"click frmSoundBoard.Command1 1", "close frmSoundBoard"}) {
    replay::Session session;
    EXPECT_NO_THROW(session.Run(DevicesLine(120) +
                                "\nload\nset frmSoundBoard.Combo1 \"5 Device 5\"\nrun\n" + action))
        << action;
    const QJsonObject s = session.Snapshot();
    EXPECT_FALSE(Form1Exists()) << action;
    EXPECT_FALSE(frmSoundBoardExists()) << action;
    EXPECT_TRUE(s["controls"].toObject().isEmpty()) << action;
    EXPECT_EQ(CallList(s), Calls{}) << action;
    EXPECT_EQ(SettingOf(s, "SoundCardID"), 0) << action;
  }
}

TEST(SoundBoardDialog, AfterOkTheProgramRunsUntilTheMainWindowCloses) {
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
  replay::Session session;
  EXPECT_NO_THROW(
      session.Run(DevicesLine(1) + "\nload\nrun\nclick frmSoundBoard.Command1 0\nclose Form1"));
  EXPECT_EQ(CallsOf(session.Snapshot(), "fnStopSoundCard").size(), 1u);
}

TEST(SoundBoardDialog, ReplayRefusesToRunWithoutAWindowOrToCloseAWindowThatIsNotOpen) {
  replay::Session session;
  EXPECT_THROW(session.Run("run"), replay::ScriptError);
  EXPECT_THROW(session.Run("close frmSoundBoard"), replay::ScriptError);
  session.Run("devices\nload\nclick frmSoundBoard.Command1 1");
  EXPECT_THROW(session.Run("close frmSoundBoard"), replay::ScriptError);
}

// The dialog and the main window show the program's 32 x 32, 16-colour icon.
TEST(SoundBoardDialog, BothWindowsCarryTheProgramIcon) {
  replay::Session session;
  session.Run("devices \"Mic\"\nload");
  QWidget* dialog = frmSoundBoard().window();
  session.Run("load Form1");
  for (QWidget* window : {dialog, Form1().window()}) {
    const QImage image = window->windowIcon().pixmap(32, 32).toImage();
    std::set<QRgb> colours;
    for (int i = 0; i < 32 * 32; ++i) colours.insert(image.pixel(i % 32, i / 32));
    EXPECT_EQ(image.size(), QSize(32, 32)) << window->objectName().toStdString();
    EXPECT_TRUE(colours.size() >= 4 && colours.size() <= 16) << colours.size();
  }
}
