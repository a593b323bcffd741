// How the program opens its first window.
#pragma once

// Creates and shows the program's first window.
void StartProgram();
