// Loading a filter waveform: a WAV file's samples become a filter's taps.
#pragma once

#include <string>

#include "platform/win_types.h"

class CFirFilter;

// Reads a 44.1 kHz mono waveform of 16-bit integers or 32-bit floats, at most 44100 samples, and
// hands its samples to filter.SetTaps. On FALSE the message has been shown and the filter is
// unchanged.
BOOL LoadFilterWave(CFirFilter& filter, const std::string& strPath);
