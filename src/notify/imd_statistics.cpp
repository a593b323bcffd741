#include "notify/notify.h"

void RecordImdReading(int32_t) {}
void ShowClockError(int32_t) {}
void ResetImdStatistics() {}
