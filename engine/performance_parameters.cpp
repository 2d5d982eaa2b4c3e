// Moving derived parameters between the derivation and the shared record.
#include "engine/performance_parameters.h"

#include "engine/performance_state.h"

DerivedParameters ParametersOf(const PERFORMANCESTATE& ps) {
    return {ps.nBlockBytes,     ps.dPitchRange,      ps.dModRatio,     ps.dModStrength,
            ps.dLeftShiftRatio, ps.dRightShiftRatio, ps.dNegativeGain, ps.dModFeedback,
            ps.nOverCycleLog2,  ps.nOverCycle,       ps.dDetune,       ps.dBaseOctave};
}

UINT DeriveParameters(const ParameterTexts& texts, int nDetuneCheck, DWORD_PTR dwOverCycleData) {
    PERFORMANCESTATE& ps = PerformanceState;
    const Derivation d = Derive(texts, nDetuneCheck, dwOverCycleData, ParametersOf(ps));
    const DerivedParameters& v = d.values;
    ps.nBlockBytes = v.nBlockBytes;
    ps.dPitchRange = v.dPitchRange;
    ps.dModRatio = v.dModRatio;
    ps.dModStrength = v.dModStrength;
    ps.dLeftShiftRatio = v.dLeftShiftRatio;
    ps.dRightShiftRatio = v.dRightShiftRatio;
    ps.dNegativeGain = v.dNegativeGain;
    ps.dModFeedback = v.dModFeedback;
    ps.nOverCycleLog2 = v.nOverCycleLog2;
    ps.nOverCycle = v.nOverCycle;
    ps.dDetune = v.dDetune;
    ps.dBaseOctave = v.dBaseOctave;
    return d.nError;
}

VoiceParams VoiceParamsOf(const PERFORMANCESTATE& ps) {
    return VoiceParams::For(ParametersOf(ps), ps.pQuantiseTuning, ps.dQuantiseStrength, kSampleRate,
                            ps.dTwoPi);
}

PitchMapping MappingOf(const PERFORMANCESTATE& ps) {
    return PitchMapping::Of(ps.dPitchRange, ps.dBaseOctave, ps.nOverCycle, ps.dTwoPi);
}
