// The screen the program's windows appear on.
#pragma once

namespace screen {

// Size of the primary screen in twips.
float WidthTwips();
float HeightTwips();

// Makes the screen report this size in twips (tests) until cleared.
void SetSizeOverride(float width_twips, float height_twips);
void ClearSizeOverride();

}  // namespace screen
