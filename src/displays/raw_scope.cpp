#include "displays/displays.h"

void DrawRawScope() {}
