// Decimator set-up.
#include "engine/cic_decimator.h"

void CCicDecimator::Init(int nOverCycle) {
    for (int j = 0; j < kStages; ++j) {
        adCicSum[j] = 0.0;
        for (double& d : adCicDelay[j]) d = 0.0;
    }
    dCompPrev = 0.0;
    const double dStep = 1.0 / nOverCycle;
    // The sums have gain nOverCycle^4 at 0 Hz and the compensator 1 / 1.6.
    dCicGain = dStep * dStep * dStep * dStep * 1.6;
}

void CCicDecimator::Resize(int nOverCycle, double dHeld) {
    Init(nOverCycle);
    // Each stage's sum of a constant input is nOverCycle times its own input.
    double v = dHeld;
    for (int j = 0; j < kStages; ++j) {
        for (int k = 1; k <= nOverCycle; ++k) adCicDelay[j][k] = v;
        v *= nOverCycle;
        adCicSum[j] = v;
    }
    dCompPrev = v / 1.6;
}
