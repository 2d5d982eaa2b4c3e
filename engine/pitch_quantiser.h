// Pitch correction that keeps the gesture: while the pointer moves fast the pitch follows it
// freely; when it slows or rests, the pitch's centre is drawn onto the nearest note of the
// tuning, and movement around that centre (vibrato) passes through at its depth.
//
// The centre is the pitch through two one-pole low-passes of kCentreSeconds each. The pointer's
// speed is its pitch change per second, smoothed over kMoveSeconds. The correction (note −
// centre) fades in with kFadeInSeconds while both the pointer and the centre move slower than
// kSlowOctavesPerSecond, fades out within kFadeOutSeconds once the pointer moves faster than
// kFastOctavesPerSecond, and holds in between. A held note settles within about 0.2 s.
#pragma once

#include "engine/tuning.h"

class CPitchQuantiser {
public:
    static constexpr double kCentreSeconds = 0.05;
    static constexpr double kFadeInSeconds = 0.04;
    static constexpr double kFadeOutSeconds = 0.01;
    static constexpr double kMoveSeconds = 0.015;
    static constexpr double kSlowOctavesPerSecond = 1.0;
    static constexpr double kFastOctavesPerSecond = 1.5;

    // pTuning stays alive while the quantiser is used; dLog2HzOffset turns a pitch value into log2
    // of its frequency; dRate is the number of calls per second.
    void Init(const CTuning* pTuning, double dLog2HzOffset, double dRate);

    // The corrected pitch, in the units of dPitch (log2). No allocation, no lock.
    double Process(double dPitch);

private:
    const CTuning* m_pTuning = nullptr;
    double m_dOffset = 0.0;
    double m_dCentre1 = 0.0;
    double m_dCentre = 0.0;
    double m_dAmount = 0.0;  // 0 = free, 1 = full correction
    double m_dLast = 0.0;
    double m_dMove = 0.0;  // octaves per second
    double m_kMove = 0.0;
    double m_kCentre = 0.0;
    double m_kFadeIn = 0.0;
    double m_kFadeOut = 0.0;
    double m_dRate = 1.0;
    bool m_bStarted = false;
};
