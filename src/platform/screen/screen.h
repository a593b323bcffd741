// The screen the program's windows appear on.
#pragma once

namespace screen {

// Size of the primary screen in twips.
float WidthTwips();
float HeightTwips();

}  // namespace screen
