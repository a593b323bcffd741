// How the program opens its first window.
#pragma once

// The icon of the program's windows (32 x 32, 16 colours), built into the
// program.
inline constexpr char kProgramIcon[] = ":/tonvista/tonvista-32.png";

// Creates and shows the program's first window.
void StartProgram();
