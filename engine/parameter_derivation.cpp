// The parameter derivation run by the play command before anything of a session is built.
#include "engine/parameter_derivation.h"

#include "engine/decimal_text.h"

ParameterTexts StartupParameterTexts() {
    ParameterTexts t;
    for (const ToneParameter& p : kToneParameters) {
        if (p.pText != nullptr) t.*p.pText = DefaultText(p);
    }
    return t;
}

Derivation Derive(const ParameterTexts& texts, int nDetuneCheck, DWORD_PTR dwOverCycleData,
                  const DerivedParameters& from) {
    Derivation d{0, from};
    ToneValues v = DefaultToneValues();
    ValueOf(v, ToneParam::Detune) = nDetuneCheck == 1 ? 1.0 : 0.0;
    const int nOverCycleLog2 = static_cast<int>(dwOverCycleData) / 100;  // the item data's hundreds
    ValueOf(v, ToneParam::OverCycle) = nOverCycleLog2;
    for (const ToneParameter& p : kToneParameters) {
        if (p.pfnDerive == nullptr) continue;
        double& value = ValueOf(v, p.id);
        if (p.pText != nullptr) value = AtoiSaturating(texts.*p.pText);
        const bool bRefused = p.nMessageId != 0 && (value < p.dMin || value > p.dMax);
        if (bRefused && !p.bStoredBeforeCheck) {
            d.nError = p.nMessageId;
            return d;
        }
        p.pfnDerive(v, value, d.values);
        if (bRefused) {
            d.nError = p.nMessageId;
            return d;
        }
    }
    return d;
}

DerivedParameters DeriveTone(const ToneValues& values) {
    DerivedParameters d;
    for (const ToneParameter& p : kToneParameters) {
        if (p.pfnDerive != nullptr) p.pfnDerive(values, ValueOf(values, p.id), d);
    }
    return d;
}
