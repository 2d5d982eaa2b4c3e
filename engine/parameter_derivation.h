// Turns the tone and processing settings of the main dialog into the engine's parameters, checking
// each setting text on the way, in the table's order and with its messages.
#pragma once

#include "engine/tone_parameters.h"
#include "platform/win_types.h"

// The main dialog's texts when the program starts.
ParameterTexts StartupParameterTexts();

// A derivation's result: 0 or the string-table id of the first failing check's message, and the
// parameters; on a failure those derived before it are new and the rest are as given in 'from'.
struct Derivation {
    UINT nError = 0;
    DerivedParameters values;
};

// Checks the texts in their fixed order. nDetuneCheck is the detune box's check state
// (1 = checked); dwOverCycleData is the item data of the over-cycle list's top visible item.
Derivation Derive(const ParameterTexts& texts, int nDetuneCheck, DWORD_PTR dwOverCycleData,
                  const DerivedParameters& from = {});

// The parameters for values already in their rows' ranges (a host's ports): nothing is refused.
DerivedParameters DeriveTone(const ToneValues& values);
