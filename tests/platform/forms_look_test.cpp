// What the operator sees: colours on every kind of control, fonts, caption wrapping.
#include <gtest/gtest.h>

#include <QFontInfo>
#include <QFontMetrics>
#include <QImage>
#include <QWidget>

#include "platform/forms/forms.h"
#include "platform/forms/qt_support.h"

namespace {

using forms::RGB;

constexpr forms::Rgb kFrameBlue = RGB(90, 151, 205), kCream = RGB(255, 255, 192);

QImage Shot(forms::Control& c) {
  return c.widget()->grab().toImage();
}
// The colour of a pixel, counted from the right or bottom edge when negative.
QColor Pixel(forms::Control& c, int x, int y) {
  const QImage image = Shot(c);
  return QColor(image.pixel(x < 0 ? image.width() + x : x, y < 0 ? image.height() + y : y));
}
QColor Q(forms::Rgb c) {
  return QColor(c.r, c.g, c.b);
}

// The first row inside a 2-pixel margin with a pixel darker than `level`; -1 if none.
int FirstDarkRow(const QImage& image, int level = 100) {
  for (int y = 2; y < image.height() - 2; ++y) {
    for (int x = 2; x < image.width() - 2; ++x) {
      if (qGray(image.pixel(x, y)) < level) return y;
    }
  }
  return -1;
}

struct LookFixture : testing::Test {
  forms::Form form{"Form1"};
  forms::Frame frame2{&form, "Frame2"};

  LookFixture() {
    form.SetClientSize(10125, 7950);
    form.SetBackColor(RGB(137, 181, 199));
    form.SetFont(forms::FontStyle{"ＭＳ ゴシック", 9.75, false});
    frame2.Move(30, 1890, 10065, 6015);
    frame2.SetBackColor(kFrameBlue);
  }
};

TEST_F(LookFixture, BackColoursShowOnEveryKindOfControlAndForeColourOnCaptions) {
  const auto place = [](forms::Control& c, float l, float t, float w, float h, forms::Rgb back) {
    c.Move(l, t, w, h);
    c.SetBackColor(back);
  };
  forms::Frame frame4(&frame2, "Frame4");
  place(frame4, 2400, 3000, 3135, 1065, RGB(200, 100, 50));
  forms::OptionButton option(&frame2, "Option3(2)");
  place(option, 210, 570, 1485, 195, RGB(10, 200, 30));
  forms::CheckBox check(&frame2, "ckRXAFC");
  place(check, 60, 2580, 825, 180, kCream);
  forms::Label label(&frame2, "Label2", false);
  place(label, 60, 3870, 825, 465, kCream);
  forms::TextBox text(&frame2, "txtIMD", false, false);
  place(text, 2970, 990, 5745, 300, RGB(255, 255, 255));
  forms::CommandButton plain(&frame2, "Command1");  // no colour of its own
  plain.Move(8775, 1020, 1185, 285);
  forms::PictureBox waterfall(&frame2, "Picture7");
  place(waterfall, 945, 2430, 9045, 1035, RGB(0, 0, 128));
  forms::CheckBox off(&waterfall, "Check1");
  place(off, 8370, 60, 645, 195, RGB(0, 0, 128));
  off.SetCaption("off");
  off.SetForeColor(RGB(255, 255, 255));
  form.Show();

  EXPECT_EQ(QColor(form.window()->grab().toImage().pixel(3, 3)), QColor(137, 181, 199));
  EXPECT_EQ(Pixel(frame2, 300, 380), Q(kFrameBlue));
  EXPECT_EQ(Pixel(frame4, 100, 50), QColor(200, 100, 50));
  EXPECT_EQ(Pixel(option, -2, Shot(option).height() / 2), QColor(10, 200, 30));
  EXPECT_EQ(Pixel(check, -2, -2), Q(kCream));
  EXPECT_EQ(Pixel(label, 1, -2), Q(kCream));
  EXPECT_EQ(Pixel(text, -5, Shot(text).height() / 2), QColor(255, 255, 255));
  // A control without a colour keeps the platform's, not its frame's.
  EXPECT_NE(plain.widget()->palette().color(QPalette::Button), Q(kFrameBlue));
  EXPECT_NE(plain.widget()->palette().color(QPalette::Window), Q(kFrameBlue));
  // The caption's strokes, white on navy.
  const QImage shot = Shot(off);
  int white = 0;
  for (int y = 0; y < shot.height(); ++y)
    for (int x = shot.width() / 2; x < shot.width(); ++x) white += qGray(shot.pixel(x, y)) > 200;
  EXPECT_GT(white, 5);
}

TEST_F(LookFixture, DesignFontNamesResolveToInstalledGothicFacesAlsoForControlsWithoutAFont) {
  EXPECT_EQ(forms::ResolvedFontFamily("ＭＳ ゴシック"), "IPAGothic");
  EXPECT_EQ(forms::ResolvedFontFamily("ＭＳ Ｐゴシック"), "IPAPGothic");
  for (const char* name : {"ＭＳ ゴシック", "ＭＳ Ｐゴシック"}) {
    const QFont font = forms::detail::MakeFont(forms::FontStyle{name, 9.75, true});
    EXPECT_EQ(font.pointSizeF(), 9.75);
    EXPECT_TRUE(font.bold());
    const QFontMetrics metrics(font);
    for (char32_t ch : {U'漢', U'字', U'リ', U'セ', U'絶', U'値', U'\u3000'}) {
      EXPECT_TRUE(metrics.inFontUcs4(ch)) << name << " lacks U+" << std::hex << int(ch);
    }
  }
  forms::Label legend(&frame2, "Label1(0)", false);  // the form's font
  forms::TextBox term(&form, "Term", true, true);
  term.SetFont(forms::FontStyle{"ＭＳ Ｐゴシック", 11.25, true});
  EXPECT_EQ(QFontInfo(legend.widget()->font()).family(), "IPAGothic");
  EXPECT_EQ(legend.widget()->font().pointSizeF(), 9.75);
  EXPECT_EQ(QFontInfo(term.widget()->font()).family(), "IPAPGothic");
  EXPECT_EQ(term.widget()->font().pointSizeF(), 11.25);
}

// Captions break at spaces only: the IMD legend keeps each Japanese word whole.
TEST(LabelWrap, BreaksAtSpacesAndSplitsOnlyOverlongWords) {
  const QFontMetricsF metrics(forms::detail::MakeFont(forms::FontStyle{"ＭＳ ゴシック", 9, true}));
  const QString legend = QStringLiteral("       絶対要調整 (0 to -15)       要調整 (-15 to -20dB)");
  const double width = 3435 / 15.0;  // Label1(0)
  ASSERT_GT(metrics.horizontalAdvance(legend), width);
  EXPECT_EQ(forms::detail::WrapParagraph(legend, metrics, width),
            (QStringList{QStringLiteral("       絶対要調整 (0 to -15)       "),
                         QStringLiteral("要調整 (-15 to -20dB)")}));
  // A word wider than the label is split where it must be; nothing is lost.
  const double narrow = 3.5 * metrics.horizontalAdvance("a");
  const QStringList split = forms::detail::WrapParagraph("abcdefghij", metrics, narrow);
  EXPECT_EQ(split.join(""), "abcdefghij");
  EXPECT_GT(split.size(), 2);
  for (const QString& line : split) EXPECT_LE(metrics.horizontalAdvance(line), narrow);
}

// The title's leading ideographic spaces fill the first line; the name goes below.
TEST_F(LookFixture, LeadingIdeographicSpacesPushTheTitleBelowTheFirstLine) {
  auto make = [&](const std::string& caption) {
    auto label = std::make_unique<forms::Label>(&frame2, "lbCaption(0)", true);
    label->Move(0, 150, 1320, 795);
    label->SetBackColor(kCream);
    label->SetForeColor(RGB(0, 0, 0));
    label->SetFont(forms::FontStyle{"ＭＳ Ｐゴシック", 9.75, true});
    label->SetCaption(caption);
    return label;
  };
  std::string spaces;
  for (int i = 0; i < 9; ++i) spaces += "\u3000";
  auto title = make(spaces + "   Tonvista");
  auto bare = make("Tonvista");
  form.Show();
  const int line = QFontMetrics(title->widget()->font()).height();
  const int bare_row = FirstDarkRow(Shot(*bare)), title_row = FirstDarkRow(Shot(*title));
  ASSERT_GE(bare_row, 0);
  EXPECT_LT(bare_row, line);   // on the first line
  EXPECT_GE(title_row, line);  // below it
}

}  // namespace
