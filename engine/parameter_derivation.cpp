// The parameter derivation run by the play command before anything of a session is built.
#include "engine/parameter_derivation.h"

#include <cmath>

#include "engine/decimal_text.h"
#include "engine/performance_state.h"
#include "res/resource.h"

ParameterTexts StartupParameterTexts() {
    ParameterTexts t;
    t.strBuffer = "400";
    t.strRange = "5";
    t.strModRatio = "1";
    t.strModDepth = "20";
    t.strLeftShift = "2";
    t.strRightShift = "5";
    t.strDistortion = "0";
    t.strFeedback = "0";
    t.strRangeAdjust = "0";
    return t;
}

Derivation Derive(const ParameterTexts& texts, int nDetuneCheck, DWORD_PTR dwOverCycleData,
                  const DerivedParameters& from) {
    Derivation d{0, from};
    DerivedParameters& ps = d.values;
    const auto fail = [&d](UINT nId) {
        d.nError = nId;
        return d;
    };

    // Compared as unsigned, so a negative buffer size fails with the others.
    ps.nBlockBytes = static_cast<unsigned int>(AtoiSaturating(texts.strBuffer));
    if (ps.nBlockBytes < 1 || ps.nBlockBytes > 10000) return fail(IDS_ERR_BUFFER);

    int n = AtoiSaturating(texts.strRange);
    ps.dPitchRange = n;
    if (n < 1 || n > 7) return fail(IDS_ERR_RANGE);

    n = AtoiSaturating(texts.strModRatio);
    ps.dModRatio = n;
    if (n < 1 || n > 9) return fail(IDS_ERR_MOD_RATIO);

    n = AtoiSaturating(texts.strModDepth);
    ps.dModStrength = n;
    if (n < 0 || n > 1000) return fail(IDS_ERR_MOD_STRENGTH);

    n = AtoiSaturating(texts.strLeftShift);
    if (n < -12 || n > 12) return fail(IDS_ERR_LEFT_SHIFT);
    ps.dLeftShiftRatio = ShiftRatioFor(n);

    n = AtoiSaturating(texts.strRightShift);
    if (n < -12 || n > 12) return fail(IDS_ERR_RIGHT_SHIFT);
    ps.dRightShiftRatio = ShiftRatioFor(n);

    n = AtoiSaturating(texts.strDistortion);
    if (n < 0 || n > 1000) return fail(IDS_ERR_DISTORTION);
    ps.dNegativeGain = NegativeGainFor(n);

    n = AtoiSaturating(texts.strFeedback);
    if (n < 0 || n > 1000) return fail(IDS_ERR_FEEDBACK);
    ps.dModFeedback = ModFeedbackFor(n);

    const int r = AtoiSaturating(texts.strRangeAdjust);
    if (r < -24 || r > 12) return fail(IDS_ERR_RANGE_ADJUST);

    const int v = static_cast<int>(dwOverCycleData);
    ps.nOverCycleLog2 = v / 100;
    ps.nOverCycle = v % 100;

    ps.dDetune = nDetuneCheck == 1 ? 1.0 : 0.0;

    ps.dBaseOctave = BaseOctaveFor(r, ps.nOverCycleLog2);
    return d;
}

DerivedParameters ParametersOf(const PERFORMANCESTATE& ps) {
    return {ps.nBlockBytes,     ps.dPitchRange,      ps.dModRatio,     ps.dModStrength,
            ps.dLeftShiftRatio, ps.dRightShiftRatio, ps.dNegativeGain, ps.dModFeedback,
            ps.nOverCycleLog2,  ps.nOverCycle,       ps.dDetune,       ps.dBaseOctave};
}

UINT DeriveParameters(const ParameterTexts& texts, int nDetuneCheck, DWORD_PTR dwOverCycleData) {
    PERFORMANCESTATE& ps = PerformanceState;
    const DerivedParameters before = ParametersOf(ps);
    const Derivation d = Derive(texts, nDetuneCheck, dwOverCycleData, before);
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
