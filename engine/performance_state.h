// The one record through which the play command, the audio thread and the performance board
// talk during a play session.
//
// Fields that one thread writes while another reads are atomics: the pointer and click factors
// relaxed (a value one sample late is harmless), the flags that publish memory with release on
// store and acquire on load. Everything else is written on the user-interface thread before the
// audio thread is created, or by the audio thread alone.
#pragma once

#include <atomic>
#include <cstdint>
#include <thread>

#include "filter/fir_stage.h"
#include "platform/midi_out.h"
#include "platform/sample_scale.h"
#include "platform/wave_format.h"
#include "platform/wave_out_types.h"
#include "platform/win_types.h"

class CWaveStream;
class CTuning;
struct TakeRow;

constexpr int kBlockCount = 16;  // output blocks in flight

// The filter stage's fields (dFirInputGain, dFirFeedbackGain, nFirDelayLength, pFirStage1,
// pFirStage2, pFirDelayLine) come from its own record, which the stage's code takes as an argument.
struct PERFORMANCESTATE : FirStageState {
    std::thread hAudioThread;
    double dBaseOctave;
    double dModRatio;
    HWAVEOUT hWaveOut;
    int nBlockSamples;
    std::atomic<double> dPointerX;
    std::atomic<double> dPointerY;
    double dTwoPi;
    WAVEHDR aWaveHdr[kBlockCount];
    std::int16_t* pSamples;
    double dNegativeGain;
    std::atomic<double> dRightClickFactor;
    std::atomic<double> dLeftClickFactor;
    WAVEFORMATEX wfxOut;
    double dAccompRatio;
    double dModStrength;
    double dModFeedback;
    int nOverCycleLog2;
    double dDetune;
    unsigned int nBlockBytes;
    int nOverCycle;
    double dLeftShiftRatio;
    double dPitchRange;
    double dRightShiftRatio;
    std::atomic<int> bRunning;
    std::atomic<int> nActiveThreads;
    std::thread::id dwAudioThreadId;
    CWaveStream* pAccompReader;
    CWaveStream* pRecordWriter;
    BYTE bRecordAccomp;

    // Beyond the description: the tuning of the note guides and pitch correction (null when
    // neither is in use; set before the audio thread starts), whether the correction acts (the
    // board toggles it while playing), and the voice's sounding phase step for the readout.
    const CTuning* pQuantiseTuning;
    std::atomic<bool> bQuantiseOn;
    double dQuantiseStrength;  // 0 .. 1
    std::atomic<double> dSoundingInc;
    // MIDI out and the take, each fed by the audio thread when not null (set before it starts).
    CMidiEventQueue* pMidiQueue;
    int nMidiMode;          // 0 MPE, 1 single channel
    int nMidiBendRange;     // semitones, single channel
    bool bMidiNoRateLimit;  // virtual ports: no DIN rate limit
    CSpscQueue<TakeRow, 65536>* pTakeQueue;
    // MIDI in: queues the audio thread drains when not null (set before it starts), and, while
    // MIDI drives the voice, where it puts the pointer, for the board.
    CMidiInQueue* apMidiIn[2];
    std::atomic<bool> bMidiDriving;
    std::atomic<double> dMidiX;
    std::atomic<double> dMidiY;
    // The share of the tone's modulation strength a pen's height sets (1 with a mouse); set to 1
    // when a session starts.
    std::atomic<double> dModScale;
};

// Static storage: every field is zero when the program starts.
extern PERFORMANCESTATE PerformanceState;

// Program start-up: sets dTwoPi once, before any window exists.
void InitPerformanceState();
