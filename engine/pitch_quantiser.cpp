// The quantiser's per-sample step.
#include "engine/pitch_quantiser.h"

#include <cmath>

void CPitchQuantiser::Init(const CTuning* pTuning, double dLog2HzOffset, double dRate, double dStrength) {
    m_pTuning = pTuning;
    m_dOffset = dLog2HzOffset;
    m_dRate = dRate;
    m_dStrength = dStrength;
    m_kCentre = 1.0 - std::exp(-1.0 / (kCentreSeconds * dRate));
    m_kStill = 1.0 - std::exp(-1.0 / (kStillSeconds * dRate));
    m_kFadeIn = 1.0 - std::exp(-1.0 / (kFadeInSeconds * dRate));
    m_kFadeOut = 1.0 - std::exp(-1.0 / (kFadeOutSeconds * dRate));
    m_kMove = 1.0 - std::exp(-1.0 / (kMoveSeconds * dRate));
    m_dMove = 0.0;
    m_nUnchanged = 0;
    m_nRest = static_cast<int>(kRestSeconds * dRate);
    m_dAmount = 0.0;
    m_bGlide = false;
    m_nNote = -1;
    m_bStarted = false;
}

void CPitchQuantiser::MoveOffset(double dLog2HzOffset) {
    const double d = m_dOffset - dLog2HzOffset;
    for (double& c : m_dCentre) c += d;
    m_dLast += d;
    m_dOffset = dLog2HzOffset;
}

int CPitchQuantiser::Degree(double dLog2Hz, bool bFollow) {
    const std::vector<TuningNote>& notes = m_pTuning->Notes();
    if (bFollow || m_nNote < 0) {
        m_nNote = static_cast<int>(&m_pTuning->Nearest(dLog2Hz) - notes.data());
        return m_nNote;
    }
    const int nLast = static_cast<int>(notes.size()) - 1;
    // Past the midpoint by a share of the gap, in either direction.
    while (m_nNote < nLast) {
        const double a = notes[m_nNote].dLog2Hz, b = notes[m_nNote + 1].dLog2Hz;
        if (dLog2Hz <= (a + b) / 2 + kHysteresis * (b - a)) break;
        ++m_nNote;
    }
    while (m_nNote > 0) {
        const double a = notes[m_nNote - 1].dLog2Hz, b = notes[m_nNote].dLog2Hz;
        if (dLog2Hz >= (a + b) / 2 - kHysteresis * (b - a)) break;
        --m_nNote;
    }
    return m_nNote;
}

double CPitchQuantiser::Process(double dPitch) {
    if (!m_bStarted) {
        m_dCentre[0] = m_dCentre[1] = m_dCentre[2] = m_dLast = dPitch;
        m_bStarted = true;
    }
    m_dMove += (std::fabs(dPitch - m_dLast) * m_dRate - m_dMove) * m_kMove;
    m_nUnchanged = dPitch == m_dLast ? m_nUnchanged + (m_nUnchanged < m_nRest) : 0;
    m_dLast = dPitch;
    // A jump or a resting pointer has no vibrato to keep: the centre catches up at once.
    const bool bRest = m_nUnchanged >= m_nRest;
    const bool bFast = m_dMove > kFastOctavesPerSecond;
    const double k = bRest || bFast ? m_kStill : m_kCentre;
    const double dBefore = m_dCentre[2];
    m_dCentre[0] += (dPitch - m_dCentre[0]) * k;
    m_dCentre[1] += (m_dCentre[0] - m_dCentre[1]) * k;
    m_dCentre[2] += (m_dCentre[1] - m_dCentre[2]) * k;
    const double dCentreSpeed = std::fabs(m_dCentre[2] - dBefore) * m_dRate;
    // Where a glide ends the note is the nearest one; after that it keeps its degree.
    bool bFollow = m_bGlide;
    if (bFast || (!bRest && dCentreSpeed > kGlideOctavesPerSecond)) {
        m_bGlide = true;
    } else if (bRest || dCentreSpeed < kHoldOctavesPerSecond) {
        m_bGlide = false;
    }
    bFollow = bFollow || m_bGlide;
    if (m_bGlide) {
        m_dAmount -= m_dAmount * m_kFadeOut;
    } else {
        m_dAmount += (1.0 - m_dAmount) * m_kFadeIn;
    }
    const double dCentre = m_dCentre[2];
    const int nNote = Degree(dCentre + m_dOffset, bFollow);
    const double dNote = m_pTuning->Notes()[nNote].dLog2Hz - m_dOffset;
    return dPitch + m_dStrength * m_dAmount * (dNote - dCentre);
}
