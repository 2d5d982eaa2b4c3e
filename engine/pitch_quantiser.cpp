// The quantiser's per-sample step.
#include "engine/pitch_quantiser.h"

#include <cmath>

void CPitchQuantiser::Init(const CTuning* pTuning, double dLog2HzOffset, double dRate) {
    m_pTuning = pTuning;
    m_dOffset = dLog2HzOffset;
    m_dRate = dRate;
    m_kCentre = 1.0 - std::exp(-1.0 / (kCentreSeconds * dRate));
    m_kFadeIn = 1.0 - std::exp(-1.0 / (kFadeInSeconds * dRate));
    m_kFadeOut = 1.0 - std::exp(-1.0 / (kFadeOutSeconds * dRate));
    m_kMove = 1.0 - std::exp(-1.0 / (kMoveSeconds * dRate));
    m_dMove = 0.0;
    m_dAmount = 0.0;
    m_bStarted = false;
}

double CPitchQuantiser::Process(double dPitch) {
    if (!m_bStarted) {
        m_dCentre1 = m_dCentre = m_dLast = dPitch;
        m_bStarted = true;
    }
    m_dCentre1 += (dPitch - m_dCentre1) * m_kCentre;
    m_dCentre += (m_dCentre1 - m_dCentre) * m_kCentre;
    m_dMove += (std::fabs(dPitch - m_dLast) * m_dRate - m_dMove) * m_kMove;
    m_dLast = dPitch;
    // The second pole's input minus its output, over its time constant: how fast the centre moves.
    const double dCentreSpeed = std::fabs(m_dCentre1 - m_dCentre) / kCentreSeconds;
    if (m_dMove > kFastOctavesPerSecond) {
        m_dAmount -= m_dAmount * m_kFadeOut;
    } else if (m_dMove < kSlowOctavesPerSecond && dCentreSpeed < kSlowOctavesPerSecond) {
        m_dAmount += (1.0 - m_dAmount) * m_kFadeIn;
    }
    const double dNote = m_pTuning->Nearest(m_dCentre + m_dOffset).dLog2Hz - m_dOffset;
    return dPitch + m_dAmount * (dNote - m_dCentre);
}
