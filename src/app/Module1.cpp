#include "app/Module1.h"

#include <cstring>

int16_t SoundCardID = 0;
int16_t DisplayLowHz = 0;
int16_t DisplayHighHz = 0;
int16_t GridDivisions = 0;
int16_t KanjiMode = 0;
int16_t AfcOn = 0;
int16_t PskMode = 0;
int16_t SquelchLevel = 0;
int16_t WaterfallGain = 0;
int16_t FftSmoothing = 0;
int16_t FftBias = 0;
int16_t ScopeSweepPos = 0;
int16_t ImdBest = 0;
int16_t ImdWorst = 0;
int16_t ImdAverage = 0;
int16_t ImdCount = 0;
int32_t ImdSum = 0;
int16_t EngineStatus = 0;
int16_t WaterfallPhase = 0;
uint8_t PendingLeadByte = 0;
int16_t WaterfallHistory[kWaterfallRows][kWaterfallColumns] = {};
winproc::LONG_PTR PrevWndProc = 0;

namespace {

template <class T>
ModuleSetting Entry(const char* name, T* field) {
  return ModuleSetting{name, [field] { return static_cast<long long>(*field); },
                       [field](long long v) { *field = static_cast<T>(v); }};
}

}  // namespace

const std::vector<ModuleSetting>& ModuleSettings() {
  static const std::vector<ModuleSetting> settings = {
      Entry("SoundCardID", &SoundCardID),
      Entry("DisplayLowHz", &DisplayLowHz),
      Entry("DisplayHighHz", &DisplayHighHz),
      Entry("GridDivisions", &GridDivisions),
      Entry("KanjiMode", &KanjiMode),
      Entry("AfcOn", &AfcOn),
      Entry("PskMode", &PskMode),
      Entry("SquelchLevel", &SquelchLevel),
      Entry("WaterfallGain", &WaterfallGain),
      Entry("ScopeSweepPos", &ScopeSweepPos),
      Entry("FftSmoothing", &FftSmoothing),
      Entry("FftBias", &FftBias),
      Entry("ImdBest", &ImdBest),
      Entry("ImdWorst", &ImdWorst),
      Entry("ImdAverage", &ImdAverage),
      Entry("ImdCount", &ImdCount),
      Entry("ImdSum", &ImdSum),
      Entry("EngineStatus", &EngineStatus),
      Entry("WaterfallPhase", &WaterfallPhase),
      Entry("PendingLeadByte", &PendingLeadByte),
  };
  return settings;
}

void ResetModuleState() {
  for (const auto& setting : ModuleSettings()) setting.set(0);
  std::memset(WaterfallHistory, 0, sizeof WaterfallHistory);
  PrevWndProc = 0;
}
