// The tone's parameters in the program's shared record: the play command's derivation writes them
// there, and the audio thread, the board and the guides read them back. Only the program's session
// touches the record; the engine and its parts take values.
#pragma once

#include "engine/parameter_derivation.h"
#include "engine/pitch_mapping.h"
#include "engine/voice.h"

struct PERFORMANCESTATE;

// Checks the texts in their fixed order and fills the parameter fields of PerformanceState.
// Returns 0, or the string-table id of the first failing check's message; the fields written
// before the failure keep their new values.
UINT DeriveParameters(const ParameterTexts& texts, int nDetuneCheck, DWORD_PTR dwOverCycleData);

// The derived parameters as the last derivation left them in the shared record.
DerivedParameters ParametersOf(const PERFORMANCESTATE& ps);
// The voice's parameters and the board's pitch mapping from them.
VoiceParams VoiceParamsOf(const PERFORMANCESTATE& ps);
PitchMapping MappingOf(const PERFORMANCESTATE& ps);
