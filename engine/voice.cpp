// The synthesis voice, step by step.
#include "engine/voice.h"

#include <cmath>
#include <limits>

#include "engine/pitch_mapping.h"

namespace {

// The carrier's peak at full loudness (amplitude 1), a little under the 16-bit full scale.
constexpr double kVoicePeak = 32000;

}  // namespace

VoiceParams VoiceParams::For(const DerivedParameters& d, const CTuning* pTuning, double dStrength,
                             double dRate, double dTwoPi) {
    VoiceParams p;
    p.dModRatio = d.dModRatio;
    p.dModFeedback = d.dModFeedback;
    p.dNegativeGain = d.dNegativeGain;
    p.dTwoPi = dTwoPi;
    p.nOverCycle = d.nOverCycle;
    p.nOverCycleLog2 = d.nOverCycleLog2;
    p.dDetune = d.dDetune;
    p.dPitchRange = d.dPitchRange;
    p.dBaseOctave = d.dBaseOctave;
    p.dModStrength = d.dModStrength;
    p.pQuantiseTuning = pTuning;
    p.dLog2Hz = PitchMapping::Of(d.dPitchRange, d.dBaseOctave, d.nOverCycle, dTwoPi).dLog2Hz;
    p.dQuantiseStrength = dStrength;
    p.dRate = dRate;
    return p;
}

void CVoice::Start(const VoiceParams& ps) {
    dPhaseInc = 0.0;
    dCarrierPhase = 0.0;
    dModPhase = 0.0;
    dAmp = 0.0;
    dModOut = 0.0;
    m_dLastStep = 0.0;
    m_nChangeLeft = 0;
    m_dPowPitch = std::numeric_limits<double>::quiet_NaN();  // never equal: the first sample computes
    m_decimator.Init(ps.nOverCycle);

    m_dModRatio = ps.dModRatio;
    m_dModFeedback = ps.dModFeedback;
    m_dNegativeGain = ps.dNegativeGain;
    m_dTwoPi = ps.dTwoPi;
    // Exactly 1 at 44100, so the coefficients there are the ones written.
    m_dRateScale = kSampleRate / ps.dRate;
    SetPitchAndRates(ps);
    dDetuneInc = ps.dDetune * dStep * 0.0004 * m_dRateScale;
    dModIndex = ps.dModStrength * 0.025;

    m_bQuantise = ps.pQuantiseTuning != nullptr;
    if (m_bQuantise) m_quantiser.Init(ps.pQuantiseTuning, ps.dLog2Hz, ps.dRate, ps.dQuantiseStrength);
}

void CVoice::SetPitchAndRates(const VoiceParams& ps) {
    m_nOverCycle = ps.nOverCycle;
    m_nOverCycleLog2 = ps.nOverCycleLog2;
    m_dDetune = ps.dDetune;
    // Following rates are per synthesis step, so they are scaled down by the over-cycle and the
    // glide takes the same time at every over-cycle.
    dStep = 1.0 / ps.nOverCycle;
    dIncCoef = dStep * 0.002 * m_dRateScale;
    dAmpCoef = dStep * 0.001 * m_dRateScale;
    dPitchScale = ps.dPitchRange * 1.05;
    dPitchOffset = ps.dBaseOctave - ps.dPitchRange * 0.5;
}

void CVoice::Change(const VoiceParams& ps) {
    if (ps.nOverCycle != m_nOverCycle) {
        // The same frequency in steps of the new length, and the decimator going on from the
        // level it had.
        dPhaseInc = dPhaseInc * m_nOverCycle / ps.nOverCycle;
        if (ps.nOverCycleLog2 != 0) m_decimator.Resize(ps.nOverCycle, m_dLastStep);
    }
    SetPitchAndRates(ps);
    const bool bQuantise = ps.pQuantiseTuning != nullptr;
    if (bQuantise && m_bQuantise) {
        m_quantiser.MoveOffset(ps.dLog2Hz);
    } else if (bQuantise) {
        m_quantiser.Init(ps.pQuantiseTuning, ps.dLog2Hz, ps.dRate, ps.dQuantiseStrength);
    }
    m_bQuantise = bQuantise;

    const double adNow[kGliding] = {dModIndex, m_dModFeedback, m_dNegativeGain, dDetuneInc, m_dModRatio};
    const double adTarget[kGliding] = {ps.dModStrength * 0.025, ps.dModFeedback, ps.dNegativeGain,
                                       ps.dDetune * dStep * 0.0004 * m_dRateScale, ps.dModRatio};
    const auto nSamples = static_cast<int>(std::lround(kChangeSeconds * kSampleRate / m_dRateScale));
    m_nChangeLeft = nSamples > 0 ? nSamples : 1;
    for (int i = 0; i < kGliding; ++i) {
        m_adTarget[i] = adTarget[i];
        m_adDelta[i] = (adTarget[i] - adNow[i]) / m_nChangeLeft;
    }
}

void CVoice::StepChange() {
    double* apValue[kGliding] = {&dModIndex, &m_dModFeedback, &m_dNegativeGain, &dDetuneInc, &m_dModRatio};
    // The last step lands exactly on the target.
    const bool bLast = --m_nChangeLeft == 0;
    for (int i = 0; i < kGliding; ++i) *apValue[i] = bLast ? m_adTarget[i] : *apValue[i] + m_adDelta[i];
}

double CVoice::NextSample(const VoiceInput& in) {
    const double dPointerX = in.dPointerX;
    const double dPointerY = in.dPointerY;
    const double dRightClickFactor = in.dRightClickFactor;
    const double dLeftClickFactor = in.dLeftClickFactor;
    if (m_nChangeLeft > 0) StepChange();

    // Pitch target: the carrier phase step per synthesis step, radians. Correction acts on the
    // pointer's pitch; the click shifts apply on top of it.
    double dPitch = dPointerX * dPitchScale + dPitchOffset;
    if (m_bQuantise) {
        // Always followed, so switching the correction on finds its centre already settled.
        const double dCorrected = m_quantiser.Process(dPitch);
        if (in.bQuantiseOn) dPitch = dCorrected;
    }
    // While the pitch stands still (a held note), its power of two is the last one.
    if (dPitch != m_dPowPitch) {
        m_dPowPitch = dPitch;
        m_dPow = std::pow(2.0, dPitch);
    }
    const double dTargetInc = m_dPow * dRightClickFactor * dLeftClickFactor * 0.0002 * m_dRateScale;
    m_dTargetInc = dTargetInc;

    // Loudness target: the lower half of the board falls twice as fast, silent from 0.65 down.
    double y = dPointerY;
    if (y > 0.5) y = 2 * y - 0.5;
    double dTargetAmp = 0.8 - y;
    if (dTargetAmp < 0) dTargetAmp = 0;
    m_dTargetAmp = dTargetAmp;

    // Exactly dModIndex at the mouse's scale of 1.
    const double dIndex = dModIndex * in.dModScale;
    double s = 0.0;
    for (int k = m_nOverCycle; k >= 1; --k) {
        dPhaseInc += (dTargetInc - dPhaseInc) * dIncCoef;
        dCarrierPhase += dPhaseInc;
        dModPhase += m_dModRatio * dPhaseInc + dDetuneInc;
        // One subtraction per step: enough for every step below 2π.
        if (dCarrierPhase >= m_dTwoPi) dCarrierPhase -= m_dTwoPi;
        if (dModPhase >= m_dTwoPi) dModPhase -= m_dTwoPi;
        dAmp += (dTargetAmp - dAmp) * dAmpCoef;
        // Dividing the feedback by the amplitude cancels the amplitude inside dModOut, so the
        // amount of self-feedback hardly depends on loudness.
        dModOut = std::cos(m_dModFeedback * dModOut / (dAmp + 0.01) + dModPhase) * dIndex * dAmp;
        s = std::cos(dModOut + dCarrierPhase) * dAmp * kVoicePeak;
        if (s < 0) s = s * m_dNegativeGain;
        if (m_nOverCycleLog2 != 0) m_decimator.Push(k, s);
    }
    m_dLastStep = s;

    if (m_nOverCycleLog2 == 0) return s;
    return m_decimator.Output();
}
