// Text boxes: CR LF and UTF-16 counting, line breaks shown, caret, typing, clicks.
#include <gtest/gtest.h>

#include <QLineEdit>
#include <QPlainTextEdit>
#include <QTest>
#include <QTextCursor>

#include "platform/forms/forms.h"
#include "platform/forms/qt_support.h"
#include "platform/forms/text_model.h"

namespace {

struct TextFixture : testing::Test {
  forms::Form form{"Form1"};
  forms::TextBox term{&form, "Term", true, true};
  forms::TextBox rec{&form, "txtRec", false, false};
  int term_changes = 0, rec_changes = 0;

  TextFixture() {
    form.SetClientSize(6000, 3000);
    term.Move(0, 45, 4000, 1800);
    rec.Move(0, 2000, 900, 300);
    term.Change = [this] { ++term_changes; };
    rec.Change = [this] { ++rec_changes; };
  }
  QPlainTextEdit* edit() { return static_cast<QPlainTextEdit*>(term.widget()); }
  QLineEdit* line() { return static_cast<QLineEdit*>(rec.widget()); }
  // What the widget shows once the event loop has brought it up to date.
  QString Shown() {
    forms::detail::FlushTextBoxes();
    return edit()->toPlainText();
  }
  // Appends as the received-text area does: caret to the end, insert there.
  void Append(const std::string& s) {
    term.SetSelStart(term.Length());
    term.SelText(s);
  }
};

TEST_F(TextFixture, LineBreaksAreCrLfInTheTextAndShowOnlyAsPairs) {
  term.SetText("Receive Area\r\n");
  EXPECT_EQ(term.Length(), 14);
  EXPECT_EQ(Shown(), "Receive Area\n");
  term.SetText("a");
  Append("\r");
  EXPECT_EQ(Shown(), "a");
  Append("\n");
  EXPECT_EQ(term.Length(), 3);
  EXPECT_EQ(Shown(), "a\n");
  Append("b\n");  // a line feed alone breaks no line
  EXPECT_EQ(Shown(), "a\nb");
  EXPECT_EQ(term.Length(), 5);
  Append("b\nb");  // the shown text's end repeats in what is appended
  EXPECT_EQ(Shown(), "a\nbbb");
  // Cutting the text inside a pair leaves its line feed, which shows nothing.
  term.SetText(forms::RightChars("a\r\nb", 2));
  EXPECT_EQ(Shown(), "b");
  // A single-line box shows no line breaks.
  rec.SetText("12\r\n34");
  EXPECT_EQ(rec.Length(), 6);
  forms::detail::FlushTextBoxes();
  EXPECT_EQ(line()->text(), "1234");
}

TEST_F(TextFixture, CaretCountsUtf16UnitsIsClampedAndInsertionLeavesItAfterTheTextChanged) {
  term.SetText("亜😀a");  // one unit, a surrogate pair, one unit
  EXPECT_EQ(term.Length(), 4);
  term.SetSelStart(3);
  term.SelText("b");
  EXPECT_EQ(term.Text(), "亜😀ba");
  EXPECT_EQ(term.SelStart(), 4);

  term.SetText("abc");
  EXPECT_EQ(term.SelStart(), 0);  // setting the text puts the caret at the start
  term.SetSelStart(1000);
  EXPECT_EQ(term.SelStart(), 3);
  term.SelText("\r\nd");
  EXPECT_EQ(term.SelStart(), 6);
  term.SetSelStart(-5);
  EXPECT_EQ(term.SelStart(), 0);
  term.SelText(">");
  EXPECT_EQ(term.Text(), ">abc\r\nd");
  EXPECT_EQ(Shown(), ">abc\nd");
  // The widget's caret stands after the last insertion.
  EXPECT_EQ(edit()->textCursor().position(), 1);
  EXPECT_FALSE(edit()->textCursor().hasSelection());
  // Change ran for each of the five changes, not for these:
  term.SetText(term.Text());
  term.SelText("");
  EXPECT_EQ(term_changes, 5);
}

TEST_F(TextFixture, OperatorTypingChangesTextAndCaretAndReplacesASelection) {
  rec.SetText("1350");
  rec_changes = 0;
  forms::detail::FlushTextBoxes();
  line()->setFocus();
  line()->setCursorPosition(4);
  QTest::keyClicks(line(), "0");
  EXPECT_EQ(rec.Text(), "13500");
  EXPECT_EQ(rec.SelStart(), 5);
  EXPECT_EQ(rec_changes, 1);

  term.SetText("ab");
  term_changes = 0;
  term.SetSelStart(2);
  QTest::keyClick(edit(), Qt::Key_Return);  // brings the widget up to date first
  QTest::keyClicks(edit(), "c");
  EXPECT_EQ(term.Text(), "ab\r\nc");
  EXPECT_EQ(term.SelStart(), 5);
  EXPECT_EQ(term_changes, 2);

  // Insertion in code replaces the operator's selection.
  term.SetText("one two");
  forms::detail::FlushTextBoxes();
  QTextCursor c = edit()->textCursor();
  c.setPosition(4);
  c.setPosition(7, QTextCursor::KeepAnchor);
  edit()->setTextCursor(c);
  EXPECT_EQ(term.SelStart(), 4);
  term.SelText("2");
  EXPECT_EQ(term.Text(), "one 2");
}

TEST_F(TextFixture, DoubleClickRunsDblClickOnce) {
  std::string seen;
  rec.DblClick = [&] { seen += "txtRec "; };
  term.DblClick = [&] { seen += "Term"; };
  form.Show();
  QTest::mouseDClick(line(), Qt::LeftButton);
  QTest::mouseDClick(edit()->viewport(), Qt::LeftButton);
  EXPECT_EQ(seen, "txtRec Term");
}

TEST(TextModel, DisplayAndModelPositionsMeetAtLineBreaks) {
  using forms::detail::DisplayPosition;
  using forms::detail::ModelPosition;
  const QString model = "ab\r\ncd\re";
  EXPECT_EQ(forms::detail::ToDisplay(model, true), "ab\ncde");
  EXPECT_EQ(forms::detail::FromDisplay("ab\ncd", true), "ab\r\ncd");
  // Model 3 lies inside the pair: before the break.
  for (const auto& [at, shown] : {std::pair{3, 2}, {4, 3}, {8, 6}}) {
    EXPECT_EQ(DisplayPosition(model, at, true), shown) << at;
  }
  // Display 5 lies before the lone CR.
  for (const auto& [shown, at] : {std::pair{2, 2}, {3, 4}, {5, 6}}) {
    EXPECT_EQ(ModelPosition(model, shown, true), at) << shown;
  }
}

TEST(Strings, CountUtf16Units) {
  const std::pair<const char*, int> lengths[] = {
      {"", 0}, {"Card Opened ", 12}, {"漢字 ON", 5}, {"a😀", 3}};
  for (const auto& [text, length] : lengths) EXPECT_EQ(forms::Len(text), length) << text;
  EXPECT_EQ(forms::LeftChars("漢字 ON", 2), "漢字");
  EXPECT_EQ(forms::RightChars("漢字 ON", 2), "ON");
  EXPECT_EQ(forms::LeftChars("abc", 10), "abc");
  EXPECT_EQ(forms::RightChars("abc", -1), "");
}

}  // namespace
