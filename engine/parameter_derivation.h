// Turns the tone and processing settings of the main dialog into the engine's parameters, checking
// each setting text on the way: as a value, and into the parameter fields of PerformanceState.
#pragma once

#include <cmath>
#include <string>

#include "platform/win_types.h"

// The nine setting texts the derivation reads, as typed into the main dialog's edits.
struct ParameterTexts {
    std::string strBuffer;       // 1002
    std::string strRange;        // 1004
    std::string strModRatio;     // 1006
    std::string strModDepth;     // 1007
    std::string strLeftShift;    // 1012
    std::string strRightShift;   // 1013
    std::string strDistortion;   // 1011
    std::string strFeedback;     // 1010
    std::string strRangeAdjust;  // 1019
};

// The main dialog's texts when the program starts.
ParameterTexts StartupParameterTexts();

// Over-cycle list item data: 100 * log2(n) + n for the items x1, x2, x4, x8 and x16.
constexpr DWORD_PTR kOverCycleItemData[] = {1, 102, 204, 308, 416};

// The formulas of the derivation, from the settings' whole numbers (checked by the caller).
inline double ShiftRatioFor(int nSemitones) { return std::pow(2.0, nSemitones / 12.0); }
inline double NegativeGainFor(int nDistortion) { return (nDistortion - 500) / -500.0; }
inline double ModFeedbackFor(int nFeedback) { return nFeedback * 0.0009; }
// The over-cycle's octaves come off the base because the voice takes nOverCycle steps per output
// sample: the sounding pitch stays the same at every over-cycle.
inline double BaseOctaveFor(int nRangeAdjust, int nOverCycleLog2) {
    return nRangeAdjust / 12.0 + (9 - nOverCycleLog2);
}

// The derived parameters, named as in PerformanceState.
struct DerivedParameters {
    unsigned int nBlockBytes = 0;
    double dPitchRange = 0.0;
    double dModRatio = 0.0;
    double dModStrength = 0.0;
    double dLeftShiftRatio = 0.0;
    double dRightShiftRatio = 0.0;
    double dNegativeGain = 0.0;
    double dModFeedback = 0.0;
    int nOverCycleLog2 = 0;
    int nOverCycle = 0;
    double dDetune = 0.0;
    double dBaseOctave = 0.0;
};

// A derivation's result: 0 or the string-table id of the first failing check's message, and the
// parameters; on a failure those derived before it are new and the rest are as given in 'from'.
struct Derivation {
    UINT nError = 0;
    DerivedParameters values;
};

struct PERFORMANCESTATE;
// The derived parameters as the last derivation left them in the shared record.
DerivedParameters ParametersOf(const PERFORMANCESTATE& ps);

Derivation Derive(const ParameterTexts& texts, int nDetuneCheck, DWORD_PTR dwOverCycleData,
                  const DerivedParameters& from = {});

// Checks the texts in their fixed order and fills the parameter fields of PerformanceState.
// Returns 0, or the string-table id of the first failing check's message; the fields written
// before the failure keep their new values. nDetuneCheck is the detune box's check state
// (1 = checked); dwOverCycleData is the item data of the over-cycle list's top visible item.
UINT DeriveParameters(const ParameterTexts& texts, int nDetuneCheck, DWORD_PTR dwOverCycleData);
