// The plugin's filter stage, made away from the audio thread: the two filters' taps as loaded
// (at 44100 Hz, as tone files and the program keep them), resampled once for the host's rate,
// and the stage built from them with the settings the host's controls give.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "engine/tone_parameters.h"
#include "filter/fir_stage.h"

// The filter settings of the main dialog as the plugin's controls give them (at 44100 Hz). The
// volumes take fractions and move in place; the rest builds a new stage.
struct PluginFilterSettings {
    int nOn = static_cast<int>(ToneParameterOf(ToneParam::FirOn).dDefault);  // check box 1021
    double dInputVolume = ToneParameterOf(ToneParam::FirInputVolume).dDefault;
    double dFilter2Volume = ToneParameterOf(ToneParam::FirFilter2Volume).dDefault;
    int nDelay = static_cast<int>(ToneParameterOf(ToneParam::FirDelay).dDefault);
    int nFeedback = static_cast<int>(ToneParameterOf(ToneParam::FirFeedback).dDefault);
    bool operator==(const PluginFilterSettings&) const = default;
    // Whether a stage built for one serves the other.
    bool SameStage(const PluginFilterSettings& o) const {
        return nOn == o.nOn && nDelay == o.nDelay && nFeedback == o.nFeedback;
    }
};

// One filter's waveform: the file it came from (for the host's display) and its taps at
// 44100 Hz. A new filter is the identity, as in the program.
struct PluginFilterTaps {
    std::string strPath;
    std::vector<float> taps = {1.0f};
};

// A built stage and the settings it was built with; released with it.
struct CPluginStage {
    CPluginStage() = default;
    CPluginStage(const CPluginStage&) = delete;
    CPluginStage& operator=(const CPluginStage&) = delete;

    FirStageState stage;
    PluginFilterSettings settings;
    CPluginStage* pNextRetired = nullptr;  // the audio thread's list of stages to free
    ~CPluginStage() noexcept;
};
// Frees a retired list (on the worker).
void FreeRetiredStages(CPluginStage* pFirst);

// Reads a filter waveform (the program's loader and its messages); false leaves taps unchanged.
bool LoadPluginFilter(const std::string& strPath, PluginFilterTaps& taps);

// The taps for another rate: the same impulse response in seconds, through libsamplerate's best
// sinc. At 44100 Hz, and for a single tap, the taps themselves.
std::vector<float> TapsAtRate(const std::vector<float>& taps, double dRate);

// The stage for these taps and settings at dRate (the delay keeps its length in seconds); null
// when memory runs out.
std::unique_ptr<CPluginStage> BuildPluginStage(const PluginFilterTaps (&taps)[2],
                                               const PluginFilterSettings& settings, double dRate);
