// The main window's controls: containers, positions and sizes (twips),
// captions, colours, fonts, scroll ranges, combo lists and tab order.
#include <memory>
#include <string>

#include "app/form1.h"
#include "app/startup.h"

using forms::FontStyle;
using forms::RGB;
using forms::ScrollBar;

namespace {

const char* const kGothic = "ＭＳ ゴシック";
const char* const kPGothic = "ＭＳ Ｐゴシック";
const FontStyle kWindowFont{kGothic, 9.75, false};
const FontStyle kOptionFont{kGothic, 9.75, true};
const FontStyle kSmallRegular{kGothic, 9, false};
const FontStyle kSmallBold{kGothic, 9, true};
const FontStyle kCaptionFont{kPGothic, 9.75, true};
const FontStyle kTermFont{kPGothic, 11.25, true};

constexpr forms::Rgb kFrameBlue = RGB(90, 151, 205);
constexpr forms::Rgb kCream = RGB(255, 255, 192);
constexpr forms::Rgb kNavy = RGB(0, 0, 128);
constexpr forms::Rgb kLegend = RGB(192, 192, 255);
constexpr forms::Rgb kBlack = RGB(0, 0, 0);

void Place(forms::Control& c, float left, float top, float width, float height, int tab) {
  c.Move(left, top, width, height);
  c.SetTabIndex(tab);
}

std::string Indexed(const char* name, int index) {
  return std::string(name) + "(" + std::to_string(index) + ")";
}

// "Tonvista" below nine ideographic and three ordinary spaces.
std::string TitleCaption() {
  std::string caption;
  for (int i = 0; i < 9; ++i) caption += "\u3000";
  return caption + "   Tonvista";
}

}  // namespace

MainWindow::MainWindow()
    : forms::Form("Form1"),
      Frame2(this, "Frame2"),
      Command2(&Frame2, "Command2"),
      Frame4(&Frame2, "Frame4"),
      Frame3(&Frame2, "Frame3"),
      Combo3(&Frame3, "Combo3"),
      Combo2(&Frame3, "Combo2"),
      Combo1(&Frame3, "Combo1"),
      HScroll1(&Frame2, "HScroll1", ScrollBar::Orientation::Horizontal),
      Picture6(&Frame2, "Picture6"),
      VScroll2(&Picture6, "VScroll2", ScrollBar::Orientation::Vertical),
      Picture7(&Frame2, "Picture7"),
      Check1(&Picture7, "Check1"),
      Picture5(&Frame2, "Picture5"),
      Picture1(&Frame2, "Picture1"),
      Picture2(&Frame2, "Picture2"),
      Picture3(&Picture2, "Picture3"),
      VScroll3(&Picture2, "VScroll3", ScrollBar::Orientation::Vertical),
      VScroll1(&Frame2, "VScroll1", ScrollBar::Orientation::Vertical),
      txtRec(&Frame2, "txtRec", false, false),
      txtIMD(&Frame2, "txtIMD", false, false),
      ckRXAFC(&Frame2, "ckRXAFC"),
      Frame1(&Frame2, "Frame1"),
      Command1(&Frame2, "Command1"),
      Text1(&Frame2, "Text1", false, false),
      Text2(&Frame2, "Text2", false, false),
      Label2(&Frame2, "Label2", false),
      Term(this, "Term", true, true) {
  SetCaption("PSK Tonvista (PskEngine by Hollin)");
  SetIcon(kProgramIcon);
  SetBackColor(RGB(137, 181, 199));
  SetFont(kWindowFont);
  SetClientSize(10125, 7950);

  Place(Frame2, 30, 1890, 10065, 6015, 1);
  Frame2.SetBackColor(kFrameBlue);

  // The green lamp lies over the vector scope's top-right corner; the red
  // one, for an input that is lost or overruns, stands beside it.
  Picture4.Add(0, std::make_unique<forms::PictureBox>(&Frame2, "Picture4(0)"));
  Place(Picture4[0], 690, 1410, 195, 195, 5);
  Picture4[0].SetLampPicture(RGB(0, 240, 66), 14, 13);
  Picture4[0].SetVisible(false);
  Picture4.Add(1, std::make_unique<forms::PictureBox>(&Frame2, "Picture4(1)"));
  Place(Picture4[1], 480, 1410, 195, 195, 5);
  Picture4[1].SetLampPicture(RGB(240, 0, 0), 14, 13);
  Picture4[1].SetVisible(false);

  Place(Command2, 60, 2820, 855, 585, 41);
  Command2.SetCaption("漢字 ON");
  Command2.SetBackColor(kFrameBlue);

  Place(Frame4, 2400, 4890, 3135, 1065, 36);
  Frame4.SetCaption("Range");
  Frame4.SetBackColor(kFrameBlue);
  struct OptionPlace {
    int index;
    float left, top, width;
    int tab;
    const char* caption;
  };
  for (const OptionPlace& o : {OptionPlace{3, 1710, 300, 1275, 40, "500-3000"},
                               OptionPlace{2, 1710, 570, 1275, 39, "500-2500"},
                               OptionPlace{1, 210, 570, 1485, 38, "1000-2000"},
                               OptionPlace{0, 210, 270, 1515, 37, "1200-1800"}}) {
    Option3.Add(o.index,
                std::make_unique<forms::OptionButton>(&Frame4, Indexed("Option3", o.index)));
    forms::OptionButton& b = Option3[o.index];
    Place(b, o.left, o.top, o.width, 195, o.tab);
    b.SetCaption(o.caption);
    b.SetBackColor(kFrameBlue);
    b.SetFont(kOptionFont);
  }

  Place(Frame3, 5850, 4920, 3675, 645, 30);
  Frame3.SetCaption("FFT Mode and Water Fall");
  Frame3.SetBackColor(kFrameBlue);
  Place(Combo3, 3120, 240, 525, 315, 43);
  for (const char* item : {"1", "2", "3", "4", "5"}) Combo3.AddItem(item);  // placeholders
  Combo3.SetText("5");
  Place(Combo2, 1980, 240, 525, 315, 34);
  for (const char* item : {"1", "10", "20", "30", "40", "50", "60", "70", "80", "90"}) {
    Combo2.AddItem(item);
  }
  Combo2.SetText("1");
  Place(Combo1, 900, 240, 525, 315, 31);
  for (int i = 1; i <= 10; ++i) Combo1.AddItem(std::to_string(i));
  Combo1.SetText("3");

  struct CaptionPlace {
    int index;
    forms::Container* in;
    float left, top, width, height;
    int tab;
    const char* caption;
  };
  const std::string title = TitleCaption();
  for (const CaptionPlace& c : {CaptionPlace{7, &Frame3, 2520, 240, 600, 315, 42, "Color"},
                                CaptionPlace{6, &Frame3, 1440, 240, 540, 315, 33, "Bias"},
                                CaptionPlace{5, &Frame3, 90, 240, 810, 315, 32, "Smooth"},
                                CaptionPlace{2, &Frame2, 30, 3420, 870, 435, 28, "Clock Error"},
                                CaptionPlace{0, &Frame2, 0, 150, 1320, 795, 20, nullptr},
                                CaptionPlace{3, &Frame2, 0, 990, 1320, 315, 19, "値/回数"}}) {
    lbCaption.Add(c.index,
                  std::make_unique<forms::Label>(c.in, Indexed("lbCaption", c.index), true));
    forms::Label& l = lbCaption[c.index];
    Place(l, c.left, c.top, c.width, c.height, c.tab);
    l.SetCaption(c.caption ? c.caption : title);
    l.SetBackColor(kCream);
    l.SetForeColor(kBlack);
    l.SetFont(kCaptionFont);
  }

  Place(HScroll1, 960, 4710, 9045, 165, 29);
  HScroll1.SetRange(1, 30);
  HScroll1.SetValue(1);
  Place(Picture6, 945, 3480, 9045, 1215, 27);
  Picture6.SetBackColor(kNavy);
  Place(VScroll2, 8850, 0, 135, 1155, 46);
  VScroll2.SetRange(200, 1);
  VScroll2.SetValue(1);
  Place(Picture7, 945, 2430, 9045, 1035, 25);
  Picture7.SetBackColor(kNavy);
  Place(Check1, 8370, 60, 645, 195, 35);
  Check1.SetCaption("off");
  Check1.SetBackColor(kNavy);
  Check1.SetForeColor(RGB(255, 255, 255));
  Place(Picture5, 1350, 540, 8595, 405, 21);
  Picture5.SetBackColor(RGB(224, 224, 224));
  Place(Picture1, 45, 1365, 870, 825, 18);
  Picture1.SetBackColor(RGB(255, 255, 255));
  Place(Picture2, 930, 1350, 9045, 1095, 17);
  Picture2.SetBackColor(kNavy);
  Place(Picture3, 8670, 0, 135, 1005, 45);
  Picture3.SetBackColor(kCream);
  Place(VScroll3, 8835, 30, 135, 975, 44);
  VScroll3.SetRange(0, 99);
  VScroll3.SetValue(99);
  Place(VScroll1, 60, 2220, 195, 330, 16);
  VScroll1.SetRange(3000, 100);
  VScroll1.SetValue(1350);
  for (ScrollBar* s : {&HScroll1, &VScroll2, &VScroll3, &VScroll1}) {
    s->SetSmallChange(1);
    s->SetLargeChange(1);
  }

  Place(txtRec, 270, 2220, 630, 270, 15);
  txtRec.SetText("1350");
  txtRec.SetFont(kSmallRegular);
  Place(txtIMD, 2970, 990, 5745, 300, 14);
  txtIMD.SetText("IMD");
  txtIMD.SetBackColor(RGB(255, 255, 255));
  txtIMD.SetFont(kSmallBold);
  Place(ckRXAFC, 60, 2580, 825, 180, 13);
  ckRXAFC.SetCaption("AFC");
  ckRXAFC.SetValue(1);
  ckRXAFC.SetBackColor(kCream);
  ckRXAFC.SetFont(kSmallBold);

  Place(Frame1, 120, 4890, 2250, 1065, 6);
  Frame1.SetCaption("PSK Mode");
  Frame1.SetBackColor(kFrameBlue);
  Frame1.SetFont(kSmallRegular);
  struct ModePlace {
    float left, top, width;
    int tab;
    const char* caption;
  };
  const ModePlace modes[6] = {{90, 285, 930, 12, "BPSK31"},  {1140, 285, 930, 11, "QPSK31"},
                              {90, 540, 960, 10, "BPSK63"},  {1140, 540, 930, 9, "QPSK63"},
                              {90, 810, 1050, 8, "BPSK125"}, {1140, 810, 1050, 7, "QPSK125"}};
  for (int i = 0; i < 6; ++i) {
    Option2.Add(i, std::make_unique<forms::OptionButton>(&Frame1, Indexed("Option2", i)));
    forms::OptionButton& b = Option2[i];
    Place(b, modes[i].left, modes[i].top, modes[i].width, 180, modes[i].tab);
    b.SetCaption(modes[i].caption);
    b.SetBackColor(kFrameBlue);
    b.SetFont(kSmallBold);
  }

  Place(Command1, 8775, 1020, 1185, 285, 4);
  Command1.SetCaption("リセット");
  Place(Text1, 2475, 990, 465, 315, 3);
  Place(Text2, 1335, 990, 1095, 315, 2);
  Place(Label2, 60, 3870, 825, 465, 26);
  Label2.SetCaption("0 ppm");
  Label2.SetBackColor(kCream);
  Label2.SetFont(kCaptionFont);

  struct LegendPlace {
    int index;
    float left, width;
    int tab;
    const char* caption;
  };
  for (const LegendPlace& g :
       {LegendPlace{2, 4800, 1725, 24, "     Good       (-20 to -30dB)"},
        LegendPlace{1, 6540, 3375, 23, "         Excellent           (less than -30dB)"},
        LegendPlace{0, 1350, 3435, 22,
                    "       絶対要調整 (0 to -15)       要調整 (-15 to -20dB)"}}) {
    Label1.Add(g.index, std::make_unique<forms::Label>(&Frame2, Indexed("Label1", g.index), false));
    forms::Label& l = Label1[g.index];
    Place(l, g.left, 150, g.width, 375, g.tab);
    l.SetCaption(g.caption);
    l.SetBackColor(kLegend);
    l.SetFont(kSmallBold);
  }

  Place(Term, 0, 45, 3195, 1815, 0);
  Term.SetText("Receive Area\r\n");
  Term.SetBackColor(RGB(224, 224, 224));
  Term.SetForeColor(RGB(0, 128, 128));
  Term.SetFont(kTermFont);

  // The selections at start; set before any handler is attached.
  Option2[0].SetValue(true);
  Option3[2].SetValue(true);

  Picture4[0].BringToFront();
  Picture4[1].BringToFront();
  ApplyTabOrder();
}
