#include "controls/actions.h"

void Option2_Click(int) {}
void Option3_Click(int) {}
void Picture2_MouseDown(int, int, float, float) {}
void txtRec_DblClick() {}
void VScroll2_Change() {}
void VScroll3_Change() {}
void ckRXAFC_Click() {}
void Combo1_Click() {}
void Combo2_Click() {}
void Combo3_Click() {}
void Command1_Click() {}
void Command2_Click() {}
