// The synthesis voice: a two-operator FM voice whose modulator has self-feedback, following the
// pointer's pitch and loudness with glides, with optional over-cycle and decimation. It runs only
// on the audio thread.
#pragma once

#include "engine/cic_decimator.h"
#include "engine/pitch_quantiser.h"

// The pointer and click fields as the audio thread read them for one output sample.
struct VoiceInput {
    double dPointerX = 0.0;
    double dPointerY = 1.0;
    double dRightClickFactor = 1.0;
    double dLeftClickFactor = 1.0;
    bool operator==(const VoiceInput&) const = default;
};

class CVoice {
public:
    // Start of a session: resets the state to silence and zero pitch and computes the
    // coefficients from the parameters in PerformanceState.
    void Start();

    // The next output sample on the 16-bit scale (not clipped). Reads the pointer and click
    // fields of PerformanceState once.
    double NextSample();
    // The same from the values given.
    double NextSample(const VoiceInput& in);

    // The state after the last sample, for MIDI: loudness target and amplitude (0 .. 0.8) and
    // the carrier phase step per synthesis step.
    double TargetAmp() const { return m_dTargetAmp; }
    double Amp() const { return dAmp; }
    double PhaseInc() const { return dPhaseInc; }

private:
    // State.
    double dPhaseInc = 0.0;      // carrier phase step per synthesis step, radians
    double dCarrierPhase = 0.0;  // radians
    double dModPhase = 0.0;      // radians
    double dAmp = 0.0;           // 0..0.8
    double dModOut = 0.0;        // modulator output: phase offset handed to the carrier
    CCicDecimator m_decimator;
    CPitchQuantiser m_quantiser;
    double m_dTargetAmp = 0.0;
    bool m_bQuantise = false;

    // Coefficients, fixed for the session.
    double dStep = 1.0;
    double dIncCoef = 0.0;
    double dAmpCoef = 0.0;
    double dDetuneInc = 0.0;
    double dPitchScale = 0.0;
    double dPitchOffset = 0.0;
    double dModIndex = 0.0;

    // Session parameters copied from PerformanceState; they do not change while it plays.
    double m_dModRatio = 0.0;
    double m_dModFeedback = 0.0;
    double m_dNegativeGain = 0.0;
    double m_dTwoPi = 0.0;
    int m_nOverCycle = 1;
    int m_nOverCycleLog2 = 0;
};
