#include "displays/displays.h"

void DrawVectorScope() {}
void DrawSignalLevel(int16_t) {}
