// The synthesis voice: a two-operator FM voice whose modulator has self-feedback, following the
// pointer's pitch and loudness with glides, with optional over-cycle and decimation. It runs only
// on the audio thread.
#pragma once

#include "engine/cic_decimator.h"
#include "engine/parameter_derivation.h"
#include "engine/pitch_quantiser.h"
#include "engine/two_pi.h"

class CTuning;

// The pointer and click fields as the audio thread read them for one output sample, and whether
// the correction of held notes acts (the board toggles it while playing).
struct VoiceInput {
    double dPointerX = 0.0;
    double dPointerY = 1.0;
    double dRightClickFactor = 1.0;
    double dLeftClickFactor = 1.0;
    bool bQuantiseOn = false;
    // The share of the tone's modulation strength: 1 with a mouse; a pen's height sets it.
    double dModScale = 1.0;
    bool operator==(const VoiceInput&) const = default;
};

// The session's parameters the voice starts from; they do not change while it plays.
struct VoiceParams {
    double dModRatio = 1.0;
    double dModFeedback = 0.0;
    double dNegativeGain = 1.0;
    double dTwoPi = kVoiceTwoPi;
    int nOverCycle = 1;
    int nOverCycleLog2 = 0;
    double dDetune = 0.0;
    double dPitchRange = 5.0;
    double dBaseOctave = 9.0;
    double dModStrength = 0.0;
    const CTuning* pQuantiseTuning = nullptr;  // null: no correction
    double dLog2Hz = 0.0;                      // log2 Hz of pitch value 0, for the correction
    double dQuantiseStrength = 1.0;
    // Output samples per second: at any rate the voice keeps its pitch in Hz and its glide times
    // in seconds (its coefficients were made for 44100).
    double dRate = 44100.0;

    // From derived parameters, the correction's tuning (null: none) and strength, the output
    // rate and the voice's 2π.
    static VoiceParams For(const DerivedParameters& d, const CTuning* pTuning, double dStrength,
                           double dRate = 44100.0, double dTwoPi = kVoiceTwoPi);
};

class CVoice {
public:
    // Start of a session: resets the state to silence and zero pitch and computes the
    // coefficients from the parameters.
    void Start(const VoiceParams& params);

    // A new tone while it plays: the phases, the amplitude, the glides and the correction's state
    // stay. The pitch targets move at once (the voice already glides to them); the coefficients
    // whose jump would click (modulation index, feedback, distortion, detune, modulator ratio)
    // move to theirs over kChangeSeconds. The rate and the 2π stay as Start set them.
    void Change(const VoiceParams& params);
    static constexpr double kChangeSeconds = 0.005;

    // The next output sample on the 16-bit scale (not clipped).
    double NextSample(const VoiceInput& in);

    // The state after the last sample, for MIDI: loudness target and amplitude (0 .. 0.8) and
    // the carrier phase step per synthesis step.
    double TargetAmp() const { return m_dTargetAmp; }
    double Amp() const { return dAmp; }
    double PhaseInc() const { return dPhaseInc; }
    double TargetInc() const { return m_dTargetInc; }

private:
    // The coefficients that follow the tone at once, and the over-cycle's.
    void SetPitchAndRates(const VoiceParams& ps);
    void StepChange();

    // State.
    double dPhaseInc = 0.0;      // carrier phase step per synthesis step, radians
    double dCarrierPhase = 0.0;  // radians
    double dModPhase = 0.0;      // radians
    double dAmp = 0.0;           // 0..0.8
    double dModOut = 0.0;        // modulator output: phase offset handed to the carrier
    CCicDecimator m_decimator;
    CPitchQuantiser m_quantiser;
    double m_dTargetAmp = 0.0;
    double m_dTargetInc = 0.0;
    bool m_bQuantise = false;

    // Coefficients, fixed for the session.
    double dStep = 1.0;
    double dIncCoef = 0.0;
    double dAmpCoef = 0.0;
    double dDetuneInc = 0.0;
    double dPitchScale = 0.0;
    double dPitchOffset = 0.0;
    double dModIndex = 0.0;
    double m_dRateScale = 1.0;  // 44100 over the rate

    // Session parameters; a change glides the first three (with dModIndex and dDetuneInc).
    double m_dModRatio = 0.0;
    double m_dModFeedback = 0.0;
    double m_dNegativeGain = 0.0;
    double m_dTwoPi = 0.0;
    int m_nOverCycle = 1;
    int m_nOverCycleLog2 = 0;
    double m_dDetune = 0.0;
    double m_dLastStep = 0.0;  // the last synthesis step's output, for a change of over-cycle
    double m_dPowPitch = 0.0;  // the pitch value whose power of two m_dPow holds
    double m_dPow = 1.0;

    // A change on its way: the gliding coefficients' targets and steps, and the samples left.
    static constexpr int kGliding = 5;
    double m_adTarget[kGliding] = {};
    double m_adDelta[kGliding] = {};
    int m_nChangeLeft = 0;
};
