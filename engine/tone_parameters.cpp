// The table of tone and processing settings, and how each row derives into the engine's parameters.
#include "engine/tone_parameters.h"

#include <cstdio>

#include "filter/fir_filter.h"
#include "res/resource.h"

namespace {

using P = ToneParam;
using U = ToneUnit;
using K = ToneKind;
using T = ParameterTexts;

// The block size is compared as unsigned, so a negative size fails with the others.
void DeriveBuffer(const ToneValues&, double v, DerivedParameters& d) {
    d.nBlockBytes = static_cast<unsigned int>(static_cast<int>(v));
}
void DeriveRange(const ToneValues&, double v, DerivedParameters& d) { d.dPitchRange = v; }
void DeriveModRatio(const ToneValues&, double v, DerivedParameters& d) { d.dModRatio = v; }
void DeriveModDepth(const ToneValues&, double v, DerivedParameters& d) { d.dModStrength = v; }
void DeriveLeftShift(const ToneValues&, double v, DerivedParameters& d) {
    d.dLeftShiftRatio = ShiftRatioFor(v);
}
void DeriveRightShift(const ToneValues&, double v, DerivedParameters& d) {
    d.dRightShiftRatio = ShiftRatioFor(v);
}
void DeriveDistortion(const ToneValues&, double v, DerivedParameters& d) {
    d.dNegativeGain = NegativeGainFor(v);
}
void DeriveFeedback(const ToneValues&, double v, DerivedParameters& d) { d.dModFeedback = ModFeedbackFor(v); }
// The base octave takes the over-cycle, which is a list's choice and never refused.
void DeriveRangeAdjust(const ToneValues& all, double v, DerivedParameters& d) {
    d.dBaseOctave = BaseOctaveFor(v, static_cast<int>(ValueOf(all, P::OverCycle)));
}
void DeriveDetune(const ToneValues&, double v, DerivedParameters& d) { d.dDetune = v >= 0.5 ? 1.0 : 0.0; }
void DeriveOverCycle(const ToneValues&, double v, DerivedParameters& d) {
    d.nOverCycleLog2 = static_cast<int>(v);
    d.nOverCycle = 1 << d.nOverCycleLog2;
}

}  // namespace

// Ports keep the indices hosts' saved projects name them by: the pointer's are 1 to 4, the MIDI
// input 15 (plugin/plugin_ports.h).
const std::array<ToneParameter, kToneParamCount> kToneParameters = {{
    {P::Buffer, "buffer", "Buffer (bytes)", 1002, 1, 10000, 400, true, false, U::Bytes, K::Number,
     IDS_ERR_BUFFER, true, &T::strBuffer, -1, true, DeriveBuffer},
    {P::Range, "range", "Pitch range (octaves)", 1004, 1, 7, 5, true, false, U::Octaves, K::Number,
     IDS_ERR_RANGE, true, &T::strRange, 5, false, DeriveRange},
    {P::ModRatio, "mod_ratio", "Modulator ratio", 1006, 1, 9, 1, true, false, U::None, K::Number,
     IDS_ERR_MOD_RATIO, true, &T::strModRatio, 6, false, DeriveModRatio},
    {P::ModDepth, "mod_depth", "Modulation depth", 1007, 0, 1000, 20, true, true, U::None, K::Number,
     IDS_ERR_MOD_STRENGTH, true, &T::strModDepth, 7, false, DeriveModDepth},
    {P::LeftShift, "left_shift", "Left button shift (semitones)", 1012, -12, 12, 2, true, false, U::Semitones,
     K::Number, IDS_ERR_LEFT_SHIFT, false, &T::strLeftShift, 8, false, DeriveLeftShift},
    {P::RightShift, "right_shift", "Right button shift (semitones)", 1013, -12, 12, 5, true, false,
     U::Semitones, K::Number, IDS_ERR_RIGHT_SHIFT, false, &T::strRightShift, 9, false, DeriveRightShift},
    {P::Distortion, "distortion", "Distortion", 1011, 0, 1000, 0, true, true, U::None, K::Number,
     IDS_ERR_DISTORTION, false, &T::strDistortion, 10, false, DeriveDistortion},
    {P::Feedback, "feedback", "Modulator feedback", 1010, 0, 1000, 0, true, true, U::None, K::Number,
     IDS_ERR_FEEDBACK, false, &T::strFeedback, 11, false, DeriveFeedback},
    {P::RangeAdjust, "range_adjust", "Range adjustment (semitones)", 1019, -24, 12, 0, true, false,
     U::Semitones, K::Number, IDS_ERR_RANGE_ADJUST, false, &T::strRangeAdjust, 12, false, DeriveRangeAdjust},
    {P::Detune, "detune", "Detune", 1003, 0, 1, 0, true, false, U::None, K::Toggle, 0, false, nullptr, 13,
     false, DeriveDetune},
    {P::OverCycle, "overcycle", "Over-cycle", 1009, 0, kOverCycleChoices - 1, 0, true, false, U::None,
     K::Choice, 0, false, nullptr, 14, true, DeriveOverCycle},
    {P::FirOn, "filter", "Filter", 1021, 0, 1, 0, true, false, U::None, K::Toggle, 0, false, nullptr, 16,
     false, nullptr},
    {P::FirInputVolume, "filter_input_volume", "Filter 1 input volume (%)", 1033, 1, 2000, 100, true, true,
     U::Percent, K::Number, IDS_ERR_FIR_VOLUME, false, nullptr, 17, false, nullptr},
    {P::FirFilter2Volume, "filter2_volume", "Filter 2 volume (%)", 1034, 1, 2000, 100, true, true, U::Percent,
     K::Number, IDS_ERR_FIR_VOLUME, false, nullptr, 18, false, nullptr},
    {P::FirDelay, "filter_delay", "Filter feedback delay (samples at 44100 Hz)", 1035, 1, kMaxFirTaps, 1,
     true, false, U::Samples, K::Number, 0, false, nullptr, 19, false, nullptr},
    {P::FirFeedback, "filter_feedback", "Filter feedback (%)", 1037, 0, 1000, 0, true, false, U::Percent,
     K::Number, 0, false, nullptr, 20, false, nullptr},
    {P::Cache, "cache", "Cache (KBytes)", 1035, 64, 16384, 64, true, false, U::KiloBytes, K::Number,
     IDS_ERR_CACHE, false, nullptr, -1, true, nullptr},
}};

ToneValues DefaultToneValues() {
    ToneValues v{};
    for (const ToneParameter& p : kToneParameters) ValueOf(v, p.id) = p.dDefault;
    return v;
}

double ToneValueInRange(const ToneParameter& p, double dValue, double dFallback) {
    const double v = std::isfinite(dValue) ? dValue : dFallback;
    const double c = std::fmin(p.dMax, std::fmax(p.dMin, v));
    if (p.kind == ToneKind::Toggle) return c >= 0.5 ? 1.0 : 0.0;
    return p.bFractional ? c : std::round(c);
}

std::string DefaultText(const ToneParameter& p) {
    char sz[32];
    std::snprintf(sz, sizeof sz, "%d", static_cast<int>(p.dDefault));
    return sz;
}

std::string RenderOption(ToneParam id, const std::string& strValue) {
    return std::string("--") + ToneParameterOf(id).pszSymbol + " " + strValue;
}
