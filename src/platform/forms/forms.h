// The control kit: Qt widgets behind the small surface the program uses, in
// the terms of a classic form designer.  Positions and sizes are in twips
// (1440 per inch); colours are RGB triples.  No Qt header is included here, so
// the program's subsystems can use the kit without depending on Qt.
#pragma once

#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "platform/winproc/winproc.h"

class QWidget;

namespace forms {

// A colour, components 0..255.
struct Rgb {
  uint8_t r = 0, g = 0, b = 0;
  friend bool operator==(const Rgb&, const Rgb&) = default;
};
constexpr Rgb RGB(int r, int g, int b) {
  return Rgb{static_cast<uint8_t>(r), static_cast<uint8_t>(g), static_cast<uint8_t>(b)};
}

// Twips per screen pixel, from the screen's logical dpi (15 at 96 dpi).
double TwipsPerPixelX();
double TwipsPerPixelY();

// A font asked for by its design name ("ＭＳ ゴシック", "ＭＳ Ｐゴシック"); the kit maps
// the design names once to an installed Japanese gothic face.
struct FontStyle {
  std::string name;   // design name
  double points = 9;  // size in points
  bool bold = false;
};
// The installed family a design name resolves to (for tests and diagnostics).
std::string ResolvedFontFamily(const std::string& design_name);

class Container;
class Form;

// Everything every control has.  Geometry is kept in twips exactly as set;
// the widget is placed at the nearest pixel.
class Control {
 public:
  virtual ~Control();
  Control(const Control&) = delete;
  Control& operator=(const Control&) = delete;

  const std::string& Name() const { return name_; }  // "Picture2", "Option2(3)"
  float Left() const { return left_; }               // twips, in the container
  float Top() const { return top_; }
  float Width() const { return width_; }
  float Height() const { return height_; }
  void SetLeft(float twips);
  void SetTop(float twips);
  void SetWidth(float twips);
  void SetHeight(float twips);
  void Move(float left, float top, float width, float height);

  bool Visible() const;
  void SetVisible(bool visible);
  bool Enabled() const;
  void SetEnabled(bool enabled);
  void SetBackColor(Rgb colour);
  void SetForeColor(Rgb colour);
  void SetFont(const FontStyle& font);
  void SetTabIndex(int index) { tab_index_ = index; }
  int TabIndex() const { return tab_index_; }
  // Brings the control in front of its siblings.
  void BringToFront();

  // Every control answers these for the replay tool's dumps.
  virtual std::string Kind() const = 0;  // "PictureBox", "ScrollBar", ...
  virtual std::string TextOrCaption() const { return {}; }
  virtual int ValueForDump() const { return 0; }

  QWidget* widget() const { return widget_; }

 protected:
  Control(Container* parent, std::string name, QWidget* widget);
  // Places the widget at the pixels nearest to the twips geometry.
  void ApplyGeometry();
  // Show a colour on the widget; containers colour only their own
  // background, so that their children keep the platform's colours.
  virtual void ApplyBackColor(Rgb colour);
  virtual void ApplyForeColor(Rgb colour);

 private:
  friend class Form;
  std::string name_;
  QWidget* widget_;  // null once Qt has destroyed it (its window went first)
  Form* owner_;      // the form it is registered with; null once the form is gone
  float left_ = 0, top_ = 0, width_ = 0, height_ = 0;
  int tab_index_ = 0;
};

class Form;

// A control that holds other controls (form, frame, picture box).
class Container {
 public:
  virtual ~Container() = default;
  virtual QWidget* ContentWidget() const = 0;
  virtual Form* OwnerForm() = 0;
};

// One drawing operation of a picture box, exactly as the program passed it.
struct DrawOp {
  enum class Kind { Cls, Width, Line, Box, Circle, Point };
  Kind kind = Kind::Cls;
  float x1 = 0, y1 = 0, x2 = 0, y2 = 0;  // twips; Circle: centre in x1, y1
  float r = 0;                           // circle radius, twips
  int width = 1;                         // Width: pen width in pixels
  Rgb rgb;
  bool filled = false;  // Box: filled or outline
};

// While on, every picture box records its operations since its last clear
// (used by the replay tool and tests; off by default, so drawing costs
// nothing extra).
void SetDrawRecording(bool on);
bool DrawRecording();

// A picture box: draws into its own backing image at once and repaints from
// it, so the picture survives being covered.  Coordinates in twips, origin
// top-left, y downward.
class PictureBox : public Control, public Container {
 public:
  PictureBox(Container* parent, std::string name);
  ~PictureBox() override;

  void Cls();                     // fill with the back colour, forget the record
  void SetDrawWidth(int pixels);  // pen width in pixels (at least 1)
  int DrawWidth() const;
  void Line(float x1, float y1, float x2, float y2, Rgb colour);
  void Box(float x1, float y1, float x2, float y2, Rgb colour, bool filled);
  void Circle(float x, float y, float radius, Rgb colour);
  void PSet(float x, float y, Rgb colour);
  // Shows a fixed picture (the status lamps): a disc of `colour` on white,
  // `w` x `h` pixels, drawn at the top-left.
  void SetLampPicture(Rgb colour, int w, int h);

  const std::vector<DrawOp>& Record() const;
  // The backing image as shown, saved as PNG; false on failure.
  bool SavePng(const std::string& path) const;
  // The colour of the backing image at a point in twips (tests).
  Rgb PixelAt(float x, float y) const;

  // Mouse button pressed: button 1 left, 2 right, 4 middle; x, y in twips.
  std::function<void(int button, int shift, float x, float y)> MouseDown;
  // Runs MouseDown as a press at exact twips would (replay tool, tests).
  void FireMouseDown(int button, int shift, float x, float y);

  std::string Kind() const override { return "PictureBox"; }
  QWidget* ContentWidget() const override;
  Form* OwnerForm() override;

  struct Impl;

 protected:
  void ApplyBackColor(Rgb colour) override;

 private:
  std::unique_ptr<Impl> impl_;
  Form* form_;
};

// A scroll bar with the value at the top (left) end first: Min may exceed Max
// (3000 at the top, 100 at the bottom).  Assigning Value in code runs Change
// at once when the value changes; so does the operator's change.
class ScrollBar : public Control {
 public:
  enum class Orientation { Horizontal, Vertical };
  ScrollBar(Container* parent, std::string name, Orientation orientation);
  ~ScrollBar() override;

  void SetRange(int min, int max);  // Min at the top/left end, Max at the bottom/right
  int Min() const { return min_; }
  int Max() const { return max_; }
  int Value() const { return value_; }
  // Sets the value; a value outside Min..Max is refused (false, nothing changes).
  bool SetValue(int value);
  void SetSmallChange(int step);
  void SetLargeChange(int step);

  std::function<void()> Change;

  std::string Kind() const override { return "ScrollBar"; }
  int ValueForDump() const override { return value_; }

 private:
  void FromWidget(int widget_value);
  int min_ = 0, max_ = 32767, value_ = 0;
  bool inverted_ = false;  // Min > Max: the widget holds the negated value
};

// A text box, single-line or multi-line.  Lengths and positions count
// characters as the platform's strings do (UTF-16 code units); a line break
// is the two characters CR LF.  Texts cross this interface as UTF-8.
class TextBox : public Control {
 public:
  TextBox(Container* parent, std::string name, bool multiline, bool vertical_scroll_bar);
  ~TextBox() override;

  std::string Text() const;
  void SetText(const std::string& text);
  int Length() const;                     // characters
  int SelStart() const;                   // caret position
  void SetSelStart(int position);         // clamped to 0..Length; selects nothing
  void SelText(const std::string& text);  // insert at the caret, caret after it

  std::function<void()> Change;    // text changed by the operator or in code
  std::function<void()> DblClick;  // double click

  std::string Kind() const override { return "TextBox"; }
  std::string TextOrCaption() const override { return Text(); }

  struct Impl;

 private:
  std::unique_ptr<Impl> impl_;
};

class Label : public Control {
 public:
  Label(Container* parent, std::string name, bool border);
  std::string Caption() const { return caption_; }
  void SetCaption(const std::string& caption);
  std::string Kind() const override { return "Label"; }
  std::string TextOrCaption() const override { return caption_; }

 private:
  std::string caption_;
};

class CommandButton : public Control {
 public:
  CommandButton(Container* parent, std::string name);
  std::string Caption() const { return caption_; }
  void SetCaption(const std::string& caption);
  std::function<void()> Click;
  void PerformClick();  // as the operator's click
  std::string Kind() const override { return "CommandButton"; }
  std::string TextOrCaption() const override { return caption_; }

 private:
  std::string caption_;
};

// An option button; option buttons with the same container exclude each
// other.  Click runs when the button becomes selected.
class OptionButton : public Control {
 public:
  OptionButton(Container* parent, std::string name);
  std::string Caption() const { return caption_; }
  void SetCaption(const std::string& caption);
  bool Value() const;
  void SetValue(bool selected);  // selecting runs Click
  std::function<void()> Click;
  void PerformClick();  // as the operator's click
  std::string Kind() const override { return "OptionButton"; }
  std::string TextOrCaption() const override { return caption_; }
  int ValueForDump() const override { return Value() ? 1 : 0; }

 private:
  std::string caption_;
};

// A check box with the values 0 (clear), 1 (ticked) and 2 (greyed).  Click
// runs whenever the value changes, by the operator or in code.
class CheckBox : public Control {
 public:
  CheckBox(Container* parent, std::string name);
  std::string Caption() const { return caption_; }
  void SetCaption(const std::string& caption);
  int Value() const { return value_; }
  void SetValue(int value);  // 0, 1 or 2; other values are refused
  std::function<void()> Click;
  void PerformClick();  // as the operator's click: 0 -> 1, otherwise -> 0
  std::string Kind() const override { return "CheckBox"; }
  std::string TextOrCaption() const override { return caption_; }
  int ValueForDump() const override { return value_; }

 private:
  int value_ = 0;
  std::string caption_;
};

// A drop-down combo box with an editable text field.  Click runs when an
// item is picked from the list, not while the operator types.
class ComboBox : public Control {
 public:
  ComboBox(Container* parent, std::string name);
  std::string Text() const;
  void SetText(const std::string& text);  // no event
  void AddItem(const std::string& item);
  void Clear();  // empties the list; the text stays
  int ListCount() const;
  std::string List(int index) const;
  std::vector<std::string> Items() const;
  // Picks the list item with exactly this text as the operator would (sets
  // the text, runs Click); false when no item has it.
  bool PickItem(const std::string& text);
  std::function<void()> Click;
  std::string Kind() const override { return "ComboBox"; }
  std::string TextOrCaption() const override { return Text(); }
};

// A frame: a container with an optional caption.
class Frame : public Control, public Container {
 public:
  Frame(Container* parent, std::string name);
  std::string Caption() const { return caption_; }
  void SetCaption(const std::string& caption);
  std::string Kind() const override { return "Frame"; }
  std::string TextOrCaption() const override { return caption_; }
  QWidget* ContentWidget() const override;
  Form* OwnerForm() override;

 private:
  std::string caption_;
  Form* form_;
};

// A top-level window.  Width and Height are its outer size in twips (title
// bar and borders included); ScaleWidth and ScaleHeight its client area.
// Its window handle is the address of a message sink: messages posted to it
// reach the window's current window procedure on the GUI thread.
class Form : public Container {
 public:
  explicit Form(std::string name);
  virtual ~Form();
  Form(const Form&) = delete;
  Form& operator=(const Form&) = delete;

  const std::string& Name() const { return name_; }
  std::string Caption() const;
  void SetCaption(const std::string& caption);
  void SetBackColor(Rgb colour);
  void SetFont(const FontStyle& font);  // the default font of its controls
  void SetClientSize(float width_twips, float height_twips);
  void SetFixedBorder(bool fixed);  // a dialog that cannot be resized
  // The window's icon from an image file or built-in resource (":/...").
  void SetIcon(const std::string& image_path);

  float Left() const;
  float Top() const;
  float Width() const;
  float Height() const;
  float ScaleWidth() const;
  float ScaleHeight() const;
  void SetLeft(float twips);
  void SetTop(float twips);
  void Resize(float outer_width_twips, float outer_height_twips);
  // Centres the window by its outer size on a screen of the given size; a
  // window not yet framed by the window manager is centred again once its
  // frame is known, unless it was moved meanwhile.
  void CentreOnScreen(float screen_width_twips, float screen_height_twips);

  // Shows the window; the first Show runs Load to its end before the window
  // appears.  Showing runs Resize.
  void Show();
  bool Loaded() const { return loaded_; }
  bool IsShown() const;
  // Closes the window: runs QueryUnload/Unload once, then hides it.  A
  // request while the window is already closing does nothing.
  void Unload();

  std::function<void()> Load;
  std::function<void()> UnloadHandler;
  std::function<void()> ResizeHandler;

  winproc::HWND hWnd() const;

  // Every control of the form in creation order, and by name.
  const std::vector<Control*>& Controls() const { return controls_; }
  Control* FindControl(const std::string& name) const;
  void Register(Control* control);

  // Applies the tab order from the controls' TabIndex values.
  void ApplyTabOrder();
  // The window, grabbed as shown, saved as PNG.
  bool SavePng(const std::string& path) const;

  QWidget* ContentWidget() const override;
  Form* OwnerForm() override { return this; }
  QWidget* window() const;

  struct Impl;

 private:
  friend class Control;
  void Unregister(Control* control);  // a control that is destroyed first
  void PlaceCentred();
  std::string name_;
  std::unique_ptr<Impl> impl_;
  std::vector<Control*> controls_;
  bool loaded_ = false;
  bool unloading_ = false;
};

// An indexed array of controls of one kind (Option2(0..5), lbCaption(0, 2,
// 3, 5, 6, 7)); indices need not be contiguous.
template <class T>
class ControlArray {
 public:
  T& operator[](int index) { return *items_.at(index); }
  const T& operator[](int index) const { return *items_.at(index); }
  bool Exists(int index) const { return items_.count(index) != 0; }
  void Add(int index, std::unique_ptr<T> item) { items_[index] = std::move(item); }
  std::vector<int> Indices() const {
    std::vector<int> out;
    for (auto& [index, item] : items_) out.push_back(index);
    return out;
  }

 private:
  std::map<int, std::unique_ptr<T>> items_;
};

// Strings counted as the platform's strings count them (UTF-16 code units),
// for texts held as UTF-8.
int Len(const std::string& utf8);
std::string LeftChars(const std::string& utf8, int count);   // the first count characters
std::string RightChars(const std::string& utf8, int count);  // the last count characters

// Shows a message box with an error and waits for the operator (or, with no
// display, writes nothing more).  Used before the program ends on a fatal
// error.
void ShowErrorBox(const std::string& title, const std::string& text);
// Reports an error the program cannot go on from: a line on standard error,
// then the message box, then the program ends with status 1.
[[noreturn]] void EndWithError(const std::string& text);

}  // namespace forms
