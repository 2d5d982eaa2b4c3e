// Helpers for driving the voice from tests: the main dialog's start-up settings and a steady
// pointer.
#pragma once

#include <vector>

#include "engine/parameter_derivation.h"
#include "engine/performance_state.h"
#include "engine/voice.h"

// Index into the over-cycle list: 0 = x1 ... 4 = x16.
inline DWORD_PTR OverCycleData(int nIndex) { return kOverCycleItemData[nIndex]; }

inline void SetPointer(double x, double y, double dLeft = 1.0, double dRight = 1.0) {
    PerformanceState.dPointerX.store(x);
    PerformanceState.dPointerY.store(y);
    PerformanceState.dLeftClickFactor.store(dLeft);
    PerformanceState.dRightClickFactor.store(dRight);
}

inline std::vector<double> Render(CVoice& voice, int nSamples) {
    std::vector<double> out(nSamples);
    for (double& v : out) v = voice.NextSample();
    return out;
}
