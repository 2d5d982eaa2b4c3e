// Helpers for driving the voice from tests: the main dialog's start-up settings and a steady
// pointer.
#pragma once

#include <vector>

#include "engine/parameter_derivation.h"
#include "engine/performance_parameters.h"
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

// The voice started from what the last derivation left in PerformanceState.
inline void StartVoice(CVoice& voice) { voice.Start(VoiceParamsOf(PerformanceState)); }

// The pointer as SetPointer left it, with the correction as the state says.
inline VoiceInput PointerInput() {
    const PERFORMANCESTATE& ps = PerformanceState;
    return {ps.dPointerX.load(), ps.dPointerY.load(), ps.dRightClickFactor.load(), ps.dLeftClickFactor.load(),
            ps.bQuantiseOn.load()};
}

inline std::vector<double> Render(CVoice& voice, int nSamples) {
    std::vector<double> out(nSamples);
    for (double& v : out) v = voice.NextSample(PointerInput());
    return out;
}
