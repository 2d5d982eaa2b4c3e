// Every tone and processing setting of the instrument, declared once: the main dialog's edits and
// boxes, the filter dialog's settings, the over-cycle list and the cache. The derivation's checks,
// the plugin's ports and its Turtle, the render tool's options and a take's command line all read
// their ranges, defaults and messages from this one table.
#pragma once

#include <array>
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

// The rows, in the order the derivation checks them.
enum class ToneParam : int {
    Buffer,
    Range,
    ModRatio,
    ModDepth,
    LeftShift,
    RightShift,
    Distortion,
    Feedback,
    RangeAdjust,
    Detune,
    OverCycle,
    FirOn,
    FirInputVolume,
    FirFilter2Volume,
    FirDelay,
    FirFeedback,
    Cache,
    Count
};
constexpr int kToneParamCount = static_cast<int>(ToneParam::Count);

enum class ToneUnit { None, Bytes, KiloBytes, Octaves, Semitones, Percent, Samples };
// A number, a box that is on at exactly 1, or a choice among the list's items (0 the first).
enum class ToneKind { Number, Toggle, Choice };

// A value for every row, as the dialog's texts or a host's ports give it.
using ToneValues = std::array<double, kToneParamCount>;

// Over-cycle list item data: 100 * log2(n) + n for the items x1, x2, x4, x8 and x16.
constexpr DWORD_PTR kOverCycleItemData[] = {1, 102, 204, 308, 416};

// The formulas of the derivation. The dialog's values are whole numbers; a host's may be fractions.
inline double ShiftRatioFor(double dSemitones) { return std::pow(2.0, dSemitones / 12.0); }
inline double NegativeGainFor(double dDistortion) { return (dDistortion - 500) / -500.0; }
inline double ModFeedbackFor(double dFeedback) { return dFeedback * 0.0009; }
// The over-cycle's octaves come off the base because the voice takes nOverCycle steps per output
// sample: the sounding pitch stays the same at every over-cycle.
inline double BaseOctaveFor(double dRangeAdjust, int nOverCycleLog2) {
    return dRangeAdjust / 12.0 + (9 - nOverCycleLog2);
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

struct ToneParameter {
    ToneParam id;
    const char* pszSymbol;  // the plugin's port symbol, and the render tool's option where it has one
    const char* pszName;    // the port's name as hosts show it
    int nControlId;         // the dialog's control (the filter rows: the filter dialog's)
    double dMin, dMax, dDefault;
    bool bWhole;       // the dialog reads a whole number (atoi); a port may still take fractions
    bool bFractional;  // a port takes fractions, so a host's automation ramp is smooth
    ToneUnit unit;
    ToneKind kind;
    UINT nMessageId;                     // the derivation's refusal (0: never refused there)
    bool bStoredBeforeCheck;             // the refused value still reaches the parameter
    std::string ParameterTexts::*pText;  // the main dialog's text, when the derivation reads one
    int nPort;                           // the plugin's port index (-1: none)
    bool bOption;                        // the render tool takes it as --SYMBOL
    void (*pfnDerive)(const ToneValues& v, double dValue,
                      DerivedParameters& d);  // null: the
                                              // filter stage or the session reads it as it is
};

extern const std::array<ToneParameter, kToneParamCount> kToneParameters;

inline const ToneParameter& ToneParameterOf(ToneParam id) { return kToneParameters[static_cast<int>(id)]; }
inline double& ValueOf(ToneValues& v, ToneParam id) { return v[static_cast<int>(id)]; }
inline double ValueOf(const ToneValues& v, ToneParam id) { return v[static_cast<int>(id)]; }

// The over-cycle list's items and their names, as the render tool's option spells them.
constexpr int kOverCycleChoices = 5;
constexpr const char* kOverCycleNames[kOverCycleChoices] = {"1", "2", "4", "8", "16"};

// Every row at its default.
ToneValues DefaultToneValues();

// A value as a row takes it: a non-finite one gives way to fallback, then clamped to the range and,
// unless the row takes fractions, rounded to a whole number (a toggle is on from one half).
double ToneValueInRange(const ToneParameter& p, double dValue, double dFallback);

// A row's default as the dialog shows it.
std::string DefaultText(const ToneParameter& p);

// The render tool's option for a row, with its value as the command line should carry it.
std::string RenderOption(ToneParam id, const std::string& strValue);
