// Pitch correction that keeps the gesture: a glide passes freely, however slow; a held note, with
// or without vibrato, has its centre drawn onto a note of the tuning, and the movement around that
// centre (vibrato) passes through at its depth.
//
// The centre is the pitch through three one-pole low-passes of kCentreSeconds each, which leave a
// vibrato of 4 Hz or faster a few cents of wobble; while the pointer jumps, and once it has rested
// kRestSeconds (longer than a hand's vibrato stops at its turns), they follow within
// kStillSeconds, so a held note settles quickly. A glide is the centre moving faster than
// kGlideOctavesPerSecond (or the pointer faster than kFastOctavesPerSecond); it ends once the
// centre slows under kHoldOctavesPerSecond or the pointer rests. The correction fades out within
// kFadeOutSeconds when a glide begins and in with kFadeInSeconds when it ends. The note keeps its degree
// until the centre passes the midpoint to a neighbour by kHysteresis of the gap, so a vibrato centred between
// two notes stays on one. The strength scales the correction (1 = full).
#pragma once

#include "engine/tuning.h"

class CPitchQuantiser {
public:
    static constexpr double kCentreSeconds = 0.09;
    static constexpr double kStillSeconds = 0.02;
    static constexpr double kFadeInSeconds = 0.04;
    static constexpr double kFadeOutSeconds = 0.01;
    static constexpr double kMoveSeconds = 0.015;
    static constexpr double kGlideOctavesPerSecond = 0.1;
    static constexpr double kHoldOctavesPerSecond = 0.04;
    static constexpr double kFastOctavesPerSecond = 1.5;
    static constexpr double kRestSeconds = 0.06;  // the pointer unchanged this long rests
    static constexpr double kHysteresis = 0.2;

    // pTuning stays alive while the quantiser is used; dLog2HzOffset turns a pitch value into log2
    // of its frequency; dRate is the number of calls per second; dStrength 0 .. 1.
    void Init(const CTuning* pTuning, double dLog2HzOffset, double dRate, double dStrength = 1.0);

    // A new offset while it plays (the over-cycle changed the pitch values' base): the state
    // moves with it, so the same frequencies keep their centre and note.
    void MoveOffset(double dLog2HzOffset);

    // The corrected pitch, in the units of dPitch (log2). No allocation, no lock.
    double Process(double dPitch);

private:
    // The index of the note the centre is drawn to, kept while the centre stays near it.
    int Degree(double dLog2Hz, bool bFollow);

    const CTuning* m_pTuning = nullptr;
    double m_dOffset = 0.0;
    double m_dStrength = 1.0;
    double m_dCentre[3] = {};
    double m_dAmount = 0.0;  // 0 = free, 1 = full correction
    double m_dLast = 0.0;
    double m_dMove = 0.0;  // the pointer's speed, octaves per second
    int m_nUnchanged = 0;  // calls since the pointer's pitch last changed
    int m_nRest = 1;
    bool m_bGlide = false;
    int m_nNote = -1;  // index into the tuning's notes
    double m_kMove = 0.0;
    double m_kCentre = 0.0;
    double m_kStill = 0.0;
    double m_kFadeIn = 0.0;
    double m_kFadeOut = 0.0;
    double m_dRate = 1.0;
    bool m_bStarted = false;
};
