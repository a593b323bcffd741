#include "notify/notify.h"

void HandleReceivedByte(int32_t, int32_t) {}
