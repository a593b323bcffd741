// Drop-down combo boxes with an editable text field.
#include <QComboBox>
#include <QKeyEvent>
#include <QLineEdit>
#include <QSignalBlocker>

#include "platform/forms/qt_support.h"

namespace forms {
namespace {

// Enter in the text field picks nothing: Qt would take a typed text that
// matches an item as picked; typing never runs Click.
class EnterInTextField : public QObject {
 public:
  using QObject::QObject;

 protected:
  bool eventFilter(QObject*, QEvent* event) override {
    if (event->type() != QEvent::KeyPress) return false;
    const int key = static_cast<QKeyEvent*>(event)->key();
    return key == Qt::Key_Return || key == Qt::Key_Enter;
  }
};

QComboBox* Combo(QWidget* w) {
  return static_cast<QComboBox*>(w);
}

// Runs a change of the list with signals held back and the text kept.
template <class F>
void KeepingText(QComboBox* combo, F&& change) {
  const QString text = combo->currentText();
  QSignalBlocker block(combo);
  change();
  combo->setEditText(text);
}

}  // namespace

ComboBox::ComboBox(Container* parent, std::string name)
    : Control(parent, std::move(name), new QComboBox(parent->ContentWidget())) {
  QComboBox* combo = Combo(widget());
  detail::UsePlatformPalette(combo);
  combo->setEditable(true);
  combo->setInsertPolicy(QComboBox::NoInsert);  // typed text is not added to the list
  combo->setCompleter(nullptr);                 // nor completed from it
  combo->setDuplicatesEnabled(true);
  combo->setMaxVisibleItems(8);
  combo->lineEdit()->installEventFilter(new EnterInTextField(combo));
  // Picked from the list (mouse, arrow keys); typing runs nothing.
  QObject::connect(combo, &QComboBox::activated, [this] {
    if (Click) Click();
  });
}

std::string ComboBox::Text() const {
  QComboBox* combo = Combo(widget());
  return combo != nullptr ? detail::FromQString(combo->currentText()) : std::string();
}

void ComboBox::SetText(const std::string& text) {
  QComboBox* combo = Combo(widget());
  if (combo == nullptr) return;
  QSignalBlocker block(combo);
  combo->setEditText(detail::ToQString(text));
}

void ComboBox::AddItem(const std::string& item) {
  QComboBox* combo = Combo(widget());
  if (combo == nullptr) return;
  KeepingText(combo, [&] { combo->addItem(detail::ToQString(item)); });
}

void ComboBox::Clear() {
  QComboBox* combo = Combo(widget());
  if (combo == nullptr) return;
  KeepingText(combo, [&] { combo->clear(); });
}

int ComboBox::ListCount() const {
  QComboBox* combo = Combo(widget());
  return combo != nullptr ? combo->count() : 0;
}

// An index outside the list reads as an empty item.
std::string ComboBox::List(int index) const {
  QComboBox* combo = Combo(widget());
  if (combo == nullptr || index < 0 || index >= combo->count()) return {};
  return detail::FromQString(combo->itemText(index));
}

std::vector<std::string> ComboBox::Items() const {
  std::vector<std::string> items;
  for (int i = 0; i < ListCount(); ++i) items.push_back(List(i));
  return items;
}

bool ComboBox::PickItem(const std::string& text) {
  QComboBox* combo = Combo(widget());
  if (combo == nullptr) return false;
  const int index =
      combo->findText(detail::ToQString(text), Qt::MatchExactly | Qt::MatchCaseSensitive);
  if (index < 0) return false;
  {
    QSignalBlocker block(combo);
    combo->setCurrentIndex(index);
    combo->setEditText(combo->itemText(index));
  }
  if (Click) Click();
  return true;
}

}  // namespace forms
