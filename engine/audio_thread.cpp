// The audio thread: thread start, the block loop, one output sample, the teardown.
#include "engine/audio_thread.h"

#include <atomic>
#include <chrono>
#include <cmath>
#include <thread>

#include "engine/engine.h"
#include "engine/performance_parameters.h"
#include "engine/performance_state.h"
#include "engine/pitch_mapping.h"
#include "engine/take_writer.h"
#include "engine/voice.h"
#include "files/wave_stream.h"
#include "filter/fir_stage.h"
#include "platform/message_service.h"
#include "platform/realtime.h"
#include "platform/wake_event.h"

namespace {

constexpr auto kAcquire = std::memory_order_acquire;
constexpr auto kRelease = std::memory_order_release;

AudioSampleHook g_pfnSampleHook = nullptr;

// Posted by the done callback, so the wait for a free block ends the moment the device hands one
// back; the wait still wakes every 10 ms to notice the end of play.
CWakeEvent g_blockFreed;
constexpr auto kFreeBlockPoll = std::chrono::milliseconds(10);

// Set when the thread's work ended through an exception.
std::atomic<bool> g_bFailed{false};

bool Running() { return PerformanceState.bRunning.load(kAcquire) != 0; }

// The thread's own state for one session.
struct AudioSession {
    CEngine engine;               // the voice, MIDI out and the filter stage
    std::uint64_t nRendered = 0;  // output samples rendered
    CTakeQueue* pTake = nullptr;
    VoiceInput lastInput;
    bool bTakeStarted = false;
    bool bTakeCorrection = false;  // the take records the correction's switching
    bool bMidiDriving = false;     // MIDI in, not the board, moves the pointer
    double dBoardX = 0.0;          // the board's pointer at the last sample
    double dBoardY = 1.0;
};

// The fields the board writes, read once for the sample.
VoiceInput ReadVoiceInput() {
    const PERFORMANCESTATE& ps = PerformanceState;
    constexpr auto kRelaxed = std::memory_order_relaxed;
    return {ps.dPointerX.load(kRelaxed),         ps.dPointerY.load(kRelaxed),
            ps.dRightClickFactor.load(kRelaxed), ps.dLeftClickFactor.load(kRelaxed),
            ps.bQuantiseOn.load(kRelaxed),       ps.dModScale.load(kRelaxed)};
}

bool SamePointer(const VoiceInput& a, const VoiceInput& b) {
    return a.dPointerX == b.dPointerX && a.dPointerY == b.dPointerY &&
           a.dRightClickFactor == b.dRightClickFactor && a.dLeftClickFactor == b.dLeftClickFactor &&
           a.dModScale == b.dModScale;
}

// A take's row of the pointer as the voice read it: a click factor other than 1 is a held button.
TakeRow TakeRowOf(std::uint64_t nSample, const VoiceInput& in, bool bEnd) {
    TakeRow row{nSample, in.dPointerX, in.dPointerY, in.dLeftClickFactor != 1.0, in.dRightClickFactor != 1.0,
                bEnd};
    row.dModScale = in.dModScale;
    return row;
}

// The take keeps the pointer and buttons where they change and, when the voice has a tuning, the
// correction's switching from the start.
void RecordTake(AudioSession& s, const VoiceInput& in) {
    if (s.bTakeCorrection && (!s.bTakeStarted || in.bQuantiseOn != s.lastInput.bQuantiseOn)) {
        TakeRow row;
        row.nSample = s.nRendered;
        row.nCorrection = in.bQuantiseOn ? 1 : 0;
        s.pTake->TryPush(row);
    }
    if (s.bTakeStarted && SamePointer(in, s.lastInput)) {
        s.lastInput = in;
        return;
    }
    s.pTake->TryPush(TakeRowOf(s.nRendered, in, false));
    s.lastInput = in;
    s.bTakeStarted = true;
}

// MIDI in: what arrived since the last sample plays, and the pointer goes where MIDI puts it
// until the board's pointer moves again (a move takes over, as with the plugin). The buttons stay
// the board's. The take records the messages and the board's pointer, so it replays the same.
void DriveByMidi(AudioSession& s, VoiceInput& in) {
    PERFORMANCESTATE& ps = PerformanceState;
    bool bReceived = false;
    MidiEvent m;
    for (CMidiInQueue* pQueue : ps.apMidiIn) {
        while (pQueue != nullptr && pQueue->TryPop(m)) {
            EngineEvent e;
            e.kind = EngineEvent::Kind::Midi;
            e.nMidiSize = m.nSize;
            for (int k = 0; k < 3; ++k) e.midi[k] = m.bytes[k];
            s.engine.Apply(e);
            bReceived = true;
            // The take keeps the message itself, so it renders what MIDI played wherever it put the
            // pointer (a note below the board too).
            if (s.pTake != nullptr) {
                TakeRow row;
                row.nSample = s.nRendered;
                row.nMidiSize = m.nSize;
                for (int k = 0; k < 3; ++k) row.midi[k] = m.bytes[k];
                s.pTake->TryPush(row);
            }
        }
    }
    const bool bBoardMoved = in.dPointerX != s.dBoardX || in.dPointerY != s.dBoardY;
    s.dBoardX = in.dPointerX;
    s.dBoardY = in.dPointerY;
    const bool bWasDriving = s.bMidiDriving;
    if (bReceived) {
        s.bMidiDriving = true;
    } else if (bBoardMoved) {
        s.bMidiDriving = false;
    }
    if (s.bMidiDriving != bWasDriving) ps.bMidiDriving.store(s.bMidiDriving, std::memory_order_relaxed);
    if (!s.bMidiDriving) return;
    in.dPointerX = s.engine.MidiX();
    in.dPointerY = s.engine.MidiY();
    ps.dMidiX.store(in.dPointerX, std::memory_order_relaxed);
    ps.dMidiY.store(in.dPointerY, std::memory_order_relaxed);
}

// One output sample; false when the session must end (the accompaniment failed).
bool RenderOneSample(AudioSession& s, std::int16_t& nOut) {
    PERFORMANCESTATE& ps = PerformanceState;

    VoiceInput in = ReadVoiceInput();
    const VoiceInput board = in;
    if (ps.apMidiIn[0] != nullptr || ps.apMidiIn[1] != nullptr) DriveByMidi(s, in);
    if (s.pTake != nullptr) RecordTake(s, board);
    const double v = s.engine.NextSample(in);
    // For the board's readout of the sounding note.
    ps.dSoundingInc.store(s.engine.Voice().PhaseInc(), std::memory_order_relaxed);

    CWaveStream* pWriter = ps.pRecordWriter;
    double out = v;
    if (CWaveStream* pReader = ps.pAccompReader; pReader != nullptr) {
        if (pReader->GetState() == CWaveStream::StateFailed) return false;
        const std::int16_t a = pReader->ReadSample();
        if (pReader->GetState() == CWaveStream::StateFailed) return false;
        const double m = (1 - ps.dAccompRatio) * v + a * ps.dAccompRatio;
        // The recording takes the value before the final clamp, so a float recording keeps peaks
        // that the output clips.
        if (pWriter != nullptr && pWriter->GetState() != CWaveStream::StateFailed) {
            pWriter->WriteSample(ps.bRecordAccomp ? m : v);
        }
        out = m;
    } else if (pWriter != nullptr && pWriter->GetState() != CWaveStream::StateFailed) {
        pWriter->WriteSample(v);
    }

    nOut = ToInt16Sample(out);
    return true;
}

// Bottom left is silent: nothing sounds until the board reports a movement.
void PointerAtRest() {
    PERFORMANCESTATE& ps = PerformanceState;
    ps.dRightClickFactor.store(1.0, std::memory_order_relaxed);
    ps.dLeftClickFactor.store(1.0, std::memory_order_relaxed);
    ps.dPointerX.store(0.0, std::memory_order_relaxed);
    ps.dPointerY.store(1.0, std::memory_order_relaxed);
    ps.dModScale.store(1.0, std::memory_order_relaxed);
}

// The engine from the shared record, the pointer as the start left it.
void BeginSessionRender(AudioSession& s) {
    PERFORMANCESTATE& ps = PerformanceState;
    EngineSettings engine;
    engine.params = ParametersOf(ps);
    engine.pTuning = ps.pQuantiseTuning;
    engine.bCorrectionOn = ps.bQuantiseOn.load(std::memory_order_relaxed);
    engine.dStrength = ps.dQuantiseStrength;
    engine.pMidiOut = ps.pMidiQueue;
    engine.midiMode = ps.nMidiMode == 1 ? MidiMode::Single : MidiMode::Mpe;
    engine.nMidiBendRange = ps.nMidiBendRange;
    engine.bMidiRateLimit = !ps.bMidiNoRateLimit;
    // The stage the session built, released with the session's other resources.
    s.engine.Prepare(engine, &ps);
    s.pTake = ps.pTakeQueue;
    s.dBoardX = ps.dPointerX.load(std::memory_order_relaxed);
    s.dBoardY = ps.dPointerY.load(std::memory_order_relaxed);
    s.bTakeCorrection = ps.pQuantiseTuning != nullptr;
}

// The end of play: a sounding note ends, and the take's last row marks its length.
void EndSessionRender(AudioSession& s) {
    s.engine.End();
    if (s.pTake != nullptr) s.pTake->TryPush(TakeRowOf(s.nRendered, s.lastInput, true));
}

// Renders and queues blocks until the session must end; bRealtime when the thread runs under
// real-time scheduling.
void RenderBlocks(CSessionRenderer& renderer, bool bRealtime) {
    PERFORMANCESTATE& ps = PerformanceState;
    std::uint64_t nSample = 0;  // output samples begun, for the sample hook
    int nUnwaited = 0;          // blocks rendered in a row without waiting for a free one
    for (int k = 0;; k = (k + 1) % kBlockCount) {
        if (!Running()) return;
        WAVEHDR& hdr = ps.aWaveHdr[k];
        if (hdr.dwUser.load(kAcquire) != 0) nUnwaited = 0;
        while (hdr.dwUser.load(kAcquire) != 0) {
            if (!Running()) return;
            g_blockFreed.WaitFor(kFreeBlockPoll);
        }
        // A real-time thread that never waits (settings too heavy to render in time) would hold
        // a core and be stopped by the system's real-time limits: it sleeps a moment instead.
        if (bRealtime && ++nUnwaited > 2 * kBlockCount) {
            nUnwaited = 0;
            std::this_thread::sleep_for(std::chrono::microseconds(100));
        }

        std::int16_t* pBlock = ps.pSamples + static_cast<std::size_t>(k) * ps.nBlockSamples;
        for (int j = 0; j < ps.nBlockSamples; ++j) {
            if (g_pfnSampleHook != nullptr) g_pfnSampleHook(nSample);
            ++nSample;
            if (!Running()) return;
            if (!renderer.Next(pBlock[j])) return;
        }
        if (!Running()) return;

        hdr.lpData = reinterpret_cast<char*>(pBlock);
        hdr.dwBufferLength = static_cast<DWORD>(2 * ps.nBlockSamples);
        hdr.dwBytesRecorded = 0;
        hdr.dwFlags = 0;  // clears the prepared and done marks of the block's last use
        hdr.dwLoops = 0;
        hdr.lpNext = nullptr;
        hdr.reserved = 0;
        hdr.dwUser.store(1, kRelease);
        if (waveOutPrepareHeader(ps.hWaveOut, &hdr, sizeof(WAVEHDR)) != MMSYSERR_NOERROR) return;
        if (waveOutWrite(ps.hWaveOut, &hdr, sizeof(WAVEHDR)) != MMSYSERR_NOERROR) return;
    }
}

void Teardown() {
    // The last blocks play out before the device is reset.
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
    ReleaseSessionResources(true);
}

}  // namespace

void ReleaseSessionResources(bool bBlocksQueued) {
    PERFORMANCESTATE& ps = PerformanceState;
    if (ps.hWaveOut != nullptr) {
        if (bBlocksQueued) {
            waveOutReset(ps.hWaveOut);
            for (WAVEHDR& hdr : ps.aWaveHdr) {
                if (hdr.dwUser.load(kAcquire) != 0)
                    waveOutUnprepareHeader(ps.hWaveOut, &hdr, sizeof(WAVEHDR));
            }
        }
        waveOutClose(ps.hWaveOut);
        ps.hWaveOut = nullptr;
    }
    delete[] ps.pSamples;
    ps.pSamples = nullptr;
    ReleaseFirStage(ps);
    delete ps.pAccompReader;  // shows its error text, if it has one
    ps.pAccompReader = nullptr;
    delete ps.pRecordWriter;  // writes out its cache and completes the file
    ps.pRecordWriter = nullptr;
}

void SetAudioSampleHook(AudioSampleHook pfnHook) { g_pfnSampleHook = pfnHook; }

struct CSessionRenderer::State : AudioSession {};

CSessionRenderer::CSessionRenderer(bool bPointerAtRest) : m_pState(std::make_unique<State>()) {
    if (bPointerAtRest) PointerAtRest();
    BeginSessionRender(*m_pState);
}

CSessionRenderer::~CSessionRenderer() = default;

bool CSessionRenderer::Next(std::int16_t& nOut) {
    if (!RenderOneSample(*m_pState, nOut)) return false;
    ++m_pState->nRendered;
    return true;
}

void CSessionRenderer::End() { EndSessionRender(*m_pState); }

void WaveOutDoneProc(HWAVEOUT, UINT uMsg, DWORD_PTR, DWORD_PTR dwParam1, DWORD_PTR) {
    // Runs on the wave output's thread: the flag, and a wake-up that never blocks.
    if (uMsg == WOM_DONE) {
        reinterpret_cast<WAVEHDR*>(dwParam1)->dwUser.store(0, kRelease);
        g_blockFreed.Post();
    }
}

void AudioThreadProc(void*) {
    PERFORMANCESTATE& ps = PerformanceState;
    PointerAtRest();

    // Nothing may leave this thread as an exception: std::terminate would end the program with
    // the session's files half written and the board waiting for ever. The session ends as for
    // a device failure, and the board stays open and silent.
    try {
        // Real-time, below the device's own threads, when a sound server or card paces the blocks;
        // before the first sample, so the request's system calls hold up nothing.
        bool bRealtime = false;
        if (WaveOutPlaysInRealTime(ps.hWaveOut)) {
            SetThisThreadName("aerolyre-audio");
            std::string strReason;
            bRealtime = MakeThisThreadRealtime(kAudioThreadPriority, strReason);
            if (!bRealtime) ReportRealtimeRefused(strReason);
        }
        // The pointer was put at rest above: a board move since then stands.
        CSessionRenderer renderer(false);
        g_blockFreed.Drain();
        RenderBlocks(renderer, bRealtime);
        renderer.End();
    } catch (...) {
        g_bFailed.store(true, kRelease);
    }
    try {
        Teardown();
    } catch (...) {
        g_bFailed.store(true, kRelease);
    }
    // The sound has stopped: a file write here can no longer hold up a block.
    if (g_bFailed.exchange(false, std::memory_order_acq_rel))
        LogLine("the play session ended on an internal error");

    // Last act: a board that sees 0 knows every resource of the session is released.
    ps.nActiveThreads.fetch_sub(1, kRelease);
}
