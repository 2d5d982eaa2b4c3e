// Where on the board a pitch sounds: the voice's pitch value for a pointer x (no button held) is
// x · 1.05 · range + base octave − range / 2, the log2 of its phase step per synthesis step over
// 0.0002; this turns it into log2 of the frequency and back, from the derived parameters.
#pragma once

#include <cmath>

#include "platform/sample_scale.h"

struct PitchMapping {
    double dScale = 1.0;     // pitch value per unit of x
    double dOffset = 0.0;    // pitch value at x = 0
    double dLog2Hz = 0.0;    // added to a pitch value gives log2 Hz
    double dStepLog2 = 0.0;  // log2 of the rate over 44100: a phase step's frequency grows with it

    // From derived parameters, for a voice whose phase wraps at dTwoPi, at dRate samples a second.
    static PitchMapping Of(double dPitchRange, double dBaseOctave, int nOverCycle, double dTwoPi,
                           double dRate = kSampleRate) {
        PitchMapping m;
        m.dScale = dPitchRange * 1.05;
        m.dOffset = dBaseOctave - dPitchRange * 0.5;
        m.dLog2Hz = std::log2(0.0002 * kSampleRate * nOverCycle / dTwoPi);
        m.dStepLog2 = std::log2(dRate / kSampleRate);
        return m;
    }

    double Log2HzAt(double x) const { return x * dScale + dOffset + dLog2Hz; }
    double XForLog2Hz(double dLog2) const { return (dLog2 - dLog2Hz - dOffset) / dScale; }
    // The frequency a phase step per synthesis step (the voice's dPhaseInc) sounds at.
    double Log2HzOfStep(double dInc) const { return std::log2(dInc / 0.0002) + dLog2Hz + dStepLog2; }
};
