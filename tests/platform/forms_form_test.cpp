// Forms and controls: twips geometry, load/resize/unload, the controls list, tab order.
#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QGuiApplication>
#include <QScreen>
#include <QWidget>
#include <cmath>
#include <limits>
#include <optional>

#include "platform/forms/forms.h"
#include "platform/screen/screen.h"

namespace {

TEST(Twips, FifteenPerPixelAtNinetySixDpiNearestPixelPlacementAndTheScreen) {
  ASSERT_EQ(QGuiApplication::primaryScreen()->logicalDotsPerInchX(), 96);
  EXPECT_EQ(std::tuple(forms::TwipsPerPixelX(), forms::TwipsPerPixelY()), std::tuple(15.0, 15.0));
  const QRect g = QGuiApplication::primaryScreen()->geometry();
  EXPECT_EQ(screen::WidthTwips(), g.width() * 15.0f);
  EXPECT_EQ(screen::HeightTwips(), g.height() * 15.0f);
  forms::Form form("Form1");
  forms::PictureBox lamp(&form, "Picture4(0)");
  lamp.Move(690, 1410, 195, 195);
  EXPECT_EQ(lamp.widget()->geometry(), QRect(46, 94, 13, 13));
  lamp.Move(100.5f, 22, 1000, 7.4f);  // kept exactly; placed at the nearest pixel
  EXPECT_EQ(std::tuple(lamp.Left(), lamp.Width(), lamp.Height()), std::tuple(100.5f, 1000.f, 7.4f));
  EXPECT_EQ(lamp.widget()->geometry(), QRect(7, 1, 67, 0));
  lamp.SetWidth(-15);  // refused: the size stays
  EXPECT_EQ(lamp.Width(), 1000.0f);
  lamp.SetHeight(150);
  EXPECT_EQ(lamp.widget()->height(), 10);
}

struct LifecycleFixture : testing::Test {
  forms::Form form{"Form1"};
  std::vector<std::string> events;

  // The window frame in pixels (thin, once the window is shown).
  QSize Frame() { return form.window()->frameGeometry().size() - form.window()->size(); }
  static std::string Resized(int width_px, int height_px) {
    return "resize " + std::to_string(width_px * 15) + "x" + std::to_string(height_px * 15);
  }

  LifecycleFixture() {
    form.Load = [this] {
      events.push_back(form.IsShown() ? "load (shown)" : "load");
      form.SetClientSize(10125, 7950);  // sizes set while loading: one resize on showing
    };
    form.ResizeHandler = [this] {
      events.push_back("resize " + std::to_string(static_cast<int>(form.Width())) + "x" +
                       std::to_string(static_cast<int>(form.Height())));
    };
    form.UnloadHandler = [this] {
      events.push_back("unload");
      form.Unload();  // as the program's unload handler does: changes nothing
    };
  }
};

TEST_F(LifecycleFixture, ShowLoadsOnceThenResizesAndResizeRunsTheHandlerOnChangesOnly) {
  EXPECT_FALSE(form.Loaded());
  form.Show();
  EXPECT_TRUE(form.Loaded());
  EXPECT_TRUE(form.IsShown());
  form.Show();  // loaded once only
  const QSize frame = Frame();
  EXPECT_EQ(events,
            (std::vector<std::string>{"load", Resized(675 + frame.width(), 530 + frame.height())}));
  EXPECT_EQ(std::tuple(form.ScaleWidth(), form.ScaleHeight()), std::tuple(10125.0f, 7950.0f));
  EXPECT_EQ(form.Width(), 10125.0f + 15 * frame.width());

  events.clear();
  form.Resize(12000.0f, 8950.0f);
  EXPECT_EQ(events, (std::vector<std::string>{"resize 12000x8950"}));
  EXPECT_EQ(std::tuple(form.Width(), form.Height()), std::tuple(12000.0f, 8950.0f));
  EXPECT_EQ(form.window()->size(), QSize(800, 597) - frame);  // the client area
  EXPECT_EQ(form.ScaleWidth(), (800.0f - frame.width()) * 15);
  form.Resize(12000.0f, 8950.0f);  // same size: no resize
  form.Resize(-1, 100);            // refused
  EXPECT_EQ(events.size(), 1u);
  // The operator's resize (the window's own size changes) is reported too.
  form.window()->resize(700, 500);
  EXPECT_EQ(events.back(), Resized(700 + frame.width(), 500 + frame.height()));
  EXPECT_EQ(form.Width(), (700.0f + frame.width()) * 15);
  EXPECT_EQ(form.ScaleWidth(), 700.0f * 15);
}

TEST_F(LifecycleFixture, TheOperatorsCloseOrUnloadInCodeUnloadsOnce) {
  for (bool by_operator : {true, false}) {
    form.Show();
    events.clear();
    if (by_operator) {
      form.window()->close();
    } else {
      form.Unload();
    }
    form.Unload();  // already unloaded: nothing
    EXPECT_EQ(events, (std::vector<std::string>{"unload"})) << by_operator;
    EXPECT_FALSE(form.IsShown()) << by_operator;
    EXPECT_FALSE(form.Loaded()) << by_operator;
  }
}

TEST(Form, PositionAndFixedBorder) {
  forms::Form form("frmSoundBoard");
  form.SetClientSize(3885, 1200);
  form.SetLeft(1500.0f);
  form.SetTop(3007.5f);
  EXPECT_EQ(std::tuple(form.Left(), form.Top()), std::tuple(1500.0f, 3007.5f));
  EXPECT_EQ(form.window()->pos(), QPoint(100, 201));
  // A fixed border keeps the operator from resizing; the program still may.
  form.SetFixedBorder(true);
  EXPECT_EQ(form.window()->minimumSize(), QSize(259, 80));
  EXPECT_EQ(form.window()->maximumSize(), QSize(259, 80));
  form.SetClientSize(4500, 1200);
  EXPECT_EQ(form.window()->size(), QSize(300, 80));
  form.SetFixedBorder(false);
  form.window()->resize(400, 100);
  EXPECT_EQ(form.window()->size(), QSize(400, 100));
}

TEST(Form, ControlsRegisterInCreationOrderAndLeaveWhenDestroyed) {
  forms::Form form("Form1");
  forms::Frame frame2(&form, "Frame2");
  auto option = std::make_unique<forms::OptionButton>(&frame2, "Option2(3)");
  forms::PictureBox picture2(&frame2, "Picture2");
  forms::ScrollBar vscroll3(&picture2, "VScroll3", forms::ScrollBar::Orientation::Vertical);
  std::vector<std::string> names;
  for (forms::Control* c : form.Controls()) names.push_back(c->Name());
  EXPECT_EQ(names, (std::vector<std::string>{"Frame2", "Option2(3)", "Picture2", "VScroll3"}));
  EXPECT_EQ(form.FindControl("Option2(3)"), option.get());
  EXPECT_EQ(form.FindControl("VScroll3")->Kind(), "ScrollBar");
  EXPECT_EQ(form.FindControl("Option2"), nullptr);
  option.reset();
  EXPECT_EQ(form.FindControl("Option2(3)"), nullptr);
  EXPECT_EQ(form.Controls().size(), 3u);
}

TEST(Form, ControlsOutlivingTheirFormAreHarmless) {
  auto form = std::make_unique<forms::Form>("Form1");
  forms::TextBox term(form.get(), "Term", true, true);
  forms::PictureBox box(form.get(), "Picture1");
  form.reset();  // the window and its widgets go first
  EXPECT_EQ(term.widget(), nullptr);
  term.SetText("still a text");
  term.SelText("!");
  box.Line(0, 0, 100, 100, forms::RGB(1, 2, 3));
  EXPECT_EQ(term.Text(), "!still a text");
}

TEST(Form, TabOrderFollowsTabIndexAndVisibleIsTheControlsOwnBeforeItsWindowShows) {
  forms::Form form("Form1");
  forms::TextBox term(&form, "Term", true, true);
  forms::CommandButton reset(&form, "Command1");
  forms::TextBox rec(&form, "txtRec", false, false);
  term.SetTabIndex(0);
  reset.SetTabIndex(4);
  rec.SetTabIndex(2);
  form.ApplyTabOrder();
  // The order in which the three come up in the focus chain from Term.
  std::vector<QWidget*> order{term.widget()};
  for (QWidget* w = term.widget()->nextInFocusChain(); w != term.widget();
       w = w->nextInFocusChain()) {
    if (w == rec.widget() || w == reset.widget()) order.push_back(w);
  }
  EXPECT_EQ(order, (std::vector<QWidget*>{term.widget(), rec.widget(), reset.widget()}));

  forms::Frame frame(&form, "Frame2");
  forms::PictureBox lamp(&frame, "Picture4(0)");
  EXPECT_TRUE(lamp.Visible());
  lamp.SetVisible(false);
  EXPECT_FALSE(lamp.Visible());
  form.Show();
  EXPECT_FALSE(lamp.widget()->isVisible());
  lamp.SetVisible(true);
  EXPECT_TRUE(lamp.widget()->isVisible());
}

}  // namespace

// Centred by the outer size, frame included, though asked before the window
// had its frame; a small screen keeps the corner on it; a screen without a
// usable size, or a move made after the centring, leaves the window there.
TEST(Form, CentresOnTheScreenByItsOuterSize) {
  const float nan = std::numeric_limits<float>::quiet_NaN();
  const struct {
    float screen_w, screen_h;
    bool moved_after;
    std::optional<QPoint> corner;  // outer top-left in pixels; none: centred
  } cases[] = {{20000, 15000, false, {}},
               {3000, 900, false, QPoint(0, 0)},
               {nan, nan, false, QPoint(7, 9)},
               {20000, 15000, true, QPoint(7, 9)}};
  for (const auto& c : cases) {
    forms::Form form("frmSoundBoard");
    form.SetClientSize(3885, 1200);
    form.window()->move(7, 9);
    form.CentreOnScreen(c.screen_w, c.screen_h);
    if (c.moved_after) form.SetLeft(105), form.SetTop(135);
    form.Show();
    QCoreApplication::processEvents();
    const QRect outer = form.window()->frameGeometry();
    ASSERT_NE(outer.size(), form.window()->size()) << "the window has a frame";
    const QPoint corner =
        c.corner.value_or(QPoint(std::lround((c.screen_w / 15 - outer.width()) / 2),
                                 std::lround((c.screen_h / 15 - outer.height()) / 2)));
    EXPECT_LE((outer.topLeft() - corner).manhattanLength(), 1) << c.screen_w << c.moved_after;
    EXPECT_NEAR(form.Left(), outer.left() * 15.0f, 7.5f) << c.screen_w;
  }
}
