#include "displays/displays.h"

void DrawSpectrumAndWaterfall() {}
