// The eight tone texts a tone file carries, paired with the parameter texts they become: one list,
// in file order, for everything that moves texts between a tone and a session.
#pragma once

#include <array>
#include <string>

#include "engine/parameter_derivation.h"
#include "files/tone_file.h"

struct ToneTextField {
    std::string ToneData::*pTone;
    std::string ParameterTexts::*pText;
};

inline constexpr std::array<ToneTextField, 8> kToneTextFields = {{
    {&ToneData::strRange, &ParameterTexts::strRange},
    {&ToneData::strRangeAdjust, &ParameterTexts::strRangeAdjust},
    {&ToneData::strLeftShift, &ParameterTexts::strLeftShift},
    {&ToneData::strRightShift, &ParameterTexts::strRightShift},
    {&ToneData::strModRatio, &ParameterTexts::strModRatio},
    {&ToneData::strModDepth, &ParameterTexts::strModDepth},
    {&ToneData::strFeedback, &ParameterTexts::strFeedback},
    {&ToneData::strDistortion, &ParameterTexts::strDistortion},
}};

inline void CopyTextsToTone(const ParameterTexts& texts, ToneData& tone) {
    for (const ToneTextField& f : kToneTextFields) tone.*f.pTone = texts.*f.pText;
}

inline void CopyToneToTexts(const ToneData& tone, ParameterTexts& texts) {
    for (const ToneTextField& f : kToneTextFields) texts.*f.pText = tone.*f.pTone;
}
