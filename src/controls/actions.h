// The operator's actions: one handler per control event of the main window.
#pragma once

void Option2_Click(int index);                                     // PSK mode
void Option3_Click(int index);                                     // display range
void Picture2_MouseDown(int button, int shift, float x, float y);  // click-to-tune
void txtRec_DblClick();                                            // 1500 Hz
void VScroll1_Change();                                            // scroll tuning
void VScroll2_Change();  // raw-scope gain (read by the scope itself)
void VScroll3_Change();  // squelch
void ckRXAFC_Click();    // AFC on/off
void Combo1_Click();     // FFT smoothing
void Combo2_Click();     // FFT bias
void Combo3_Click();     // waterfall gain
void Command1_Click();   // reset of the IMD statistics
void Command2_Click();   // kanji assembly on/off
