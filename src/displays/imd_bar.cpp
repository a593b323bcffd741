#include "displays/displays.h"

void DrawImdScale() {}
void DrawImdBar() {}
