// The main window and its controls, named as the rest of the program knows
// them.  notify/, displays/ and controls/ include this header; the window's
// lifecycle lives in form1_lifecycle.cpp.
#pragma once

#include "platform/forms/forms.h"

class MainWindow : public forms::Form {
 public:
  MainWindow();

  // Declared in the order of creation; a container before what it holds.
  forms::Frame Frame2;
  forms::ControlArray<forms::PictureBox> Picture4;   // status lamps: 0 green, 1 red
  forms::CommandButton Command2;                     // kanji assembly on/off
  forms::Frame Frame4;                               // "Range"
  forms::ControlArray<forms::OptionButton> Option3;  // display range presets
  forms::Frame Frame3;                               // "FFT Mode and Water Fall"
  forms::ComboBox Combo3;                            // waterfall colour gain
  forms::ComboBox Combo2;                            // FFT bias
  forms::ComboBox Combo1;                            // FFT smoothing
  forms::ControlArray<forms::Label> lbCaption;       // captions 0, 2, 3, 5, 6, 7
  forms::ScrollBar HScroll1;                         // raw-scope sweep length
  forms::PictureBox Picture6;                        // raw-signal scope
  forms::ScrollBar VScroll2;                         // raw-scope gain
  forms::PictureBox Picture7;                        // waterfall
  forms::CheckBox Check1;                            // "off": no spectrum or waterfall
  forms::PictureBox Picture5;                        // IMD bar graph
  forms::PictureBox Picture1;                        // vector scope
  forms::PictureBox Picture2;                        // spectrum
  forms::PictureBox Picture3;                        // signal-level meter
  forms::ScrollBar VScroll3;                         // squelch
  forms::ScrollBar VScroll1;                         // receive frequency
  forms::TextBox txtRec;                             // receive frequency, Hz
  forms::TextBox txtIMD;                             // IMD statistics
  forms::CheckBox ckRXAFC;                           // AFC on/off
  forms::Frame Frame1;                               // "PSK Mode"
  forms::ControlArray<forms::OptionButton> Option2;  // PSK modes
  forms::CommandButton Command1;                     // reset of the IMD statistics
  forms::TextBox Text1;                              // IMD reading count
  forms::TextBox Text2;                              // latest IMD reading
  forms::Label Label2;                               // clock error
  forms::ControlArray<forms::Label> Label1;          // IMD band legends
  forms::TextBox Term;                               // received text
};

// The main window of this run; CreateForm1 makes it (once per run, as the
// window is never reloaded; tests make a fresh one per case).
MainWindow& Form1();
bool Form1Exists();
MainWindow& CreateForm1();
void DestroyForm1();
