// The main window's lifecycle: load (engine start, settings, hook), resize
// and unload (engine stop, unhook), and the wiring of its control events.
#include <memory>

#include "app/Module1.h"
#include "app/engine_hook.h"
#include "app/form1.h"
#include "app/numbers.h"
#include "controls/actions.h"
#include "displays/displays.h"
#include "engine/PskEngine.h"
#include "platform/screen/screen.h"

namespace {

std::unique_ptr<MainWindow> g_form1;

// The report of the engine start in the receive area; nothing for a code
// the engine does not document.
std::string StartReport(int32_t result) {
  switch (result) {
    case 0:
      return "Card Opened ";
    case 11:
      return "Error Code : 11 Tried to read nd soundcard is not open ";
    case 18:
      return "Error Code : 18 Still somthing playing on soundcard ";
    case 21:
      return "Error Code : 21 Bad Device ID, Soundcard Not Present ";
    default:
      return "";
  }
}

void Form1_Load() {
  MainWindow& form = Form1();
  form.CentreOnScreen(screen::WidthTwips(), screen::HeightTwips());

  DisplayLowHz = 500;
  DisplayHighHz = 2500;
  GridDivisions = 20;
  KanjiMode = 1;
  ImdBest = 9999;
  ImdWorst = -9999;
  ImdAverage = 0;
  ImdCount = 0;
  WaterfallGain = 5;

  form.Combo3.Clear();
  for (const char* item : {"1", "2", "3", "4", "5"}) form.Combo3.AddItem(item);
  ScopeSweepPos = 0;
  form.Combo3.SetText("5");

  const int32_t result = PskEngine::fnStartSoundCard(form.hWnd(), SoundCardID, 1);
  form.Term.SetText("");
  const std::string report = StartReport(result);
  if (!report.empty()) {
    form.Term.SetSelStart(form.Term.Length());
    form.Term.SelText(report);
  }

  PskEngine::fnSetRXFrequency(1500, 0, 0);
  PskEngine::fnSetRXPSKMode(PskMode, 0);
  PskEngine::fnSetSquelchThreshold(SquelchLevel, 0, 0);
  // A frequency the scroll bar cannot show (outside 100..3000 or beyond 16
  // bits) leaves the scroll bar and txtRec as they are.
  if (const auto hz = ToInt16(PskEngine::fnGetRXFrequency(0))) form.VScroll1.SetValue(*hz);
  PskEngine::fnSetAFCLimit(500, 0);
  FftSmoothing = 3;
  FftBias = 1;
  PskEngine::fnSetFFTMode(FftSmoothing, 100, FftBias);
  AfcOn = 1;

  InstallEngineHook(form.hWnd());
  form.Picture4[0].SetVisible(true);
  DrawImdScale();
}

void Form1_Unload() {
  PskEngine::fnStopSoundCard();
  RemoveEngineHook(Form1().hWnd());
}

// Term spans the window above Frame2, which keeps its distance from the
// window's bottom edge.  A size the platform refuses skips that step.
void Form1_Resize() {
  MainWindow& form = Form1();
  const float h = form.Height();
  const float w = form.Width();
  const float fh = form.Frame2.Height();
  if (h - fh - 700 <= 0) return;
  if (w - 130 >= 0) form.Term.SetWidth(w - 130);
  form.Term.SetHeight(h - fh - 700);
  form.Frame2.SetTop(h - fh - 600);
}

void WireEvents(MainWindow& form) {
  form.Load = &Form1_Load;
  form.UnloadHandler = &Form1_Unload;
  form.ResizeHandler = &Form1_Resize;
  for (int i : form.Option2.Indices()) form.Option2[i].Click = [i] { Option2_Click(i); };
  for (int i : form.Option3.Indices()) form.Option3[i].Click = [i] { Option3_Click(i); };
  form.Picture2.MouseDown = &Picture2_MouseDown;
  form.txtRec.DblClick = &txtRec_DblClick;
  form.VScroll1.Change = &VScroll1_Change;
  form.VScroll2.Change = &VScroll2_Change;
  form.VScroll3.Change = &VScroll3_Change;
  form.ckRXAFC.Click = &ckRXAFC_Click;
  form.Combo1.Click = &Combo1_Click;
  form.Combo2.Click = &Combo2_Click;
  form.Combo3.Click = &Combo3_Click;
  form.Command1.Click = &Command1_Click;
  form.Command2.Click = &Command2_Click;
}

}  // namespace

MainWindow& Form1() {
  return *g_form1;
}
bool Form1Exists() {
  return g_form1 != nullptr;
}

MainWindow& CreateForm1() {
  g_form1 = std::make_unique<MainWindow>();
  WireEvents(*g_form1);
  return *g_form1;
}

void DestroyForm1() {
  g_form1.reset();
}
