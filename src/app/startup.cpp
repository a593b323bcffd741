#include "app/startup.h"

#include "app/form1.h"

void StartProgram() { CreateForm1().Show(); }
