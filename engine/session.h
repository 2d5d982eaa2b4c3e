// Starting and ending a play session: everything the play command does between the press of the
// play button and the board, shared with the render tool so both prepare a session the same way.
#pragma once

#include <functional>
#include <string>

#include "engine/parameter_derivation.h"
#include "engine/performance_state.h"
#include "engine/tone_parameters.h"
#include "filter/fir_stage.h"
#include "platform/win_types.h"

class CTuning;

// The main dialog's settings as a session reads them.
struct SessionSettings {
    ParameterTexts texts;
    int nCheckDetune = 0;           // check box 1003
    DWORD_PTR dwOverCycleData = 1;  // item data of the over-cycle list's top item
    std::string strCache = DefaultText(ToneParameterOf(ToneParam::Cache));  // edit 1035
    FirStageSettings fir;  // check box 1021 and the filter members
    int nCheckAccomp = 0;  // check box 1017
    std::string strAccompFile;
    bool bAccompLoop = false;
    int nAccompRatio = 50;  // percent of accompaniment in the mix
    int nCheckRecord = 0;   // check box 1016
    int nRecordFormat = 0;  // 0 = 16-bit integer, otherwise 32-bit float
    bool bRecordAccomp = false;
    // The tuning of the guides and the correction (null: neither in use); it outlives the session.
    const CTuning* pQuantise = nullptr;
    bool bQuantise = true;           // whether the correction acts from the start
    double dQuantiseStrength = 1.0;  // 0 .. 1
    // MIDI out and the take: queues the audio thread feeds (null: off); they outlive the session.
    CMidiEventQueue* pMidiQueue = nullptr;
    int nMidiMode = 0;              // 0 MPE, 1 single channel
    int nMidiBendRange = 12;        // single channel
    bool bMidiNoRateLimit = false;  // virtual ports take any rate
    CSpscQueue<TakeRow, 65536>* pTakeQueue = nullptr;
    // MIDI in: the ports' queues the audio thread drains (null: none); they outlive the session.
    CMidiInQueue* apMidiIn[2] = {nullptr, nullptr};
};

// Asks for the recording file; false when the user cancels.
using RecordPathQuery = std::function<bool(std::string& strPath)>;

// Prepares the session in PerformanceState and starts the audio thread. On any failure the
// message (if the step has one) has been shown, everything the attempt obtained is released, and
// the result is false; the settings can be corrected and the start tried again.
bool StartSession(const SessionSettings& settings, const RecordPathQuery& askRecordPath);

// The same without a sound device or an audio thread, for a driver that renders the samples
// itself (CSessionRenderer): the derivation, the filter stage, the accompaniment and the
// recording. EndPreparedSession releases them as the audio thread's end does.
bool PrepareSession(const SessionSettings& settings, const RecordPathQuery& askRecordPath);
void EndPreparedSession();

// Ends a session the way the board's closing does: asks the audio thread to stop and waits for it
// in 100 ms sleeps when one was live; then joins it.
void StopSession();

// Joins an audio thread that has ended (before the next session and at program exit).
void JoinAudioThread();
// Waits for a session that ends by itself (the render tool's) and joins its thread.
void WaitForAudioThread();
