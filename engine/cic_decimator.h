// The voice's decimator: four cascaded moving sums over the last nOverCycle synthesis steps, then
// a one-pole compensator that lifts the top of the band against the sums' droop.
#pragma once

class CCicDecimator {
public:
    static constexpr int kStages = 4;
    static constexpr int kMaxOverCycle = 32;  // slots 1..nOverCycle of each delay row are used

    // Clears the state and sets the gain that brings the sums back to unity at 0 Hz.
    void Init(int nOverCycle);

    // Another over-cycle while it plays: the state as if dHeld had been pushed for ever, so the
    // output goes on from dHeld instead of falling to silence.
    void Resize(int nOverCycle, double dHeld);

    // Pushes the input of synthesis step k (nOverCycle down to 1). Slot k of each row holds the
    // input of exactly nOverCycle steps earlier, so each stage is a moving sum of that length.
    void Push(int k, double s) {
        double v = s;
        for (int j = 0; j < kStages; ++j) {
            adCicSum[j] = adCicSum[j] - adCicDelay[j][k] + v;
            adCicDelay[j][k] = v;
            v = adCicSum[j];
        }
    }

    // One output sample, once per nOverCycle pushes.
    double Output() {
        const double c = adCicSum[kStages - 1] - 0.6 * dCompPrev;
        dCompPrev = c;
        return c * dCicGain;
    }

private:
    double adCicSum[kStages] = {};
    double adCicDelay[kStages][kMaxOverCycle + 1] = {};
    double dCompPrev = 0.0;
    double dCicGain = 0.0;
};
