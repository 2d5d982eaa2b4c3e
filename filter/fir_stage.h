// The FIR filter stage of a play session: filter 1 with an optional feedback delay loop around it,
// then filter 2. Built on the user-interface thread before the audio thread starts, run by the
// audio thread once per output sample, released when the session ends.
#pragma once

#include "filter/fir_kernel.h"
#include "platform/win_types.h"

class CFirFilter;

// The main dialog's filter settings as the stage reads them.
struct FirStageSettings {
    int nCheckFir = 0;  // state of check box 1021; the stage exists only when it is 1
    const CFirFilter* pFilter1 = nullptr;
    const CFirFilter* pFilter2 = nullptr;
    int nFirInputVolume = 100;                                // percent
    int nFirFilter2Volume = 100;                              // percent
    int nFirDelay = 1;                                        // samples
    int nFirFeedback = 0;                                     // percent; 0 switches the delay loop off
    int nPartitionThreshold = kDefaultFirPartitionThreshold;  // taps above which FFT partitions run
};

// The stage of one session: the two stage filters, the delay line when the loop is on, and the
// gains. Null pointers mean no stage.
struct FirStageState {
    double dFirInputGain = 0.0;
    double dFirFeedbackGain = 0.0;
    int nFirDelayLength = 0;
    CFirFilter* pFirStage1 = nullptr;
    CFirFilter* pFirStage2 = nullptr;
    float* pFirDelayLine = nullptr;
};

// Builds the stage into stage. Returns FALSE when memory for it can't be obtained; what was
// built is left there for ReleaseFirStage.
BOOL BuildFirStage(const FirStageSettings& settings, FirStageState& stage);

// The volumes (percent) as a built stage's gains, exactly as BuildFirStage sets them from whole
// numbers; a host may move them while the stage plays (no allocation).
void SetFirStageVolumes(FirStageState& stage, double dInputVolume, double dFilter2Volume) noexcept;

// One sample through the stage, on the 16-bit scale. nDelayPos is the audio thread's delay
// position, 0 at the start of every session.
double ProcessFirStage(FirStageState& stage, double x, int& nDelayPos);

// Destroys the stage and sets its pointers to null.
void ReleaseFirStage(FirStageState& stage);
