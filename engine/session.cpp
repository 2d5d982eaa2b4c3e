// The session start, step by step, with its abort path.
#include "engine/session.h"

#include <chrono>
#include <new>
#include <system_error>
#include <thread>

#include "engine/audio_thread.h"
#include "engine/decimal_text.h"
#include "engine/performance_parameters.h"
#include "engine/performance_state.h"
#include "files/wave_file.h"
#include "files/wave_stream.h"
#include "platform/message_service.h"
#include "res/message_box.h"
#include "res/resource.h"

namespace {

constexpr auto kAcquire = std::memory_order_acquire;
constexpr auto kRelease = std::memory_order_release;

bool EndsInWav(const std::string& s) {
    if (s.size() < 3) return false;
    const std::string tail = s.substr(s.size() - 3);
    auto lower = [](char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; };
    return lower(tail[0]) == 'w' && lower(tail[1]) == 'a' && lower(tail[2]) == 'v';
}

// Releases what a failed start obtained; no thread was started, no block queued.
void AbortStart() { ReleaseSessionResources(false); }

bool Fail(UINT nMessage) {
    AfxMessageBox(nMessage);
    AbortStart();
    return false;
}

bool FailSilently() {
    AbortStart();
    return false;
}

}  // namespace

void JoinAudioThread() {
    if (PerformanceState.nActiveThreads.load(kAcquire) == 0) WaitForAudioThread();
}

void WaitForAudioThread() {
    PERFORMANCESTATE& ps = PerformanceState;
    if (!ps.hAudioThread.joinable()) return;
    ps.hAudioThread.join();
    // The device's account of the session (underruns), for the terminal and the log.
    if (const std::string strReport = TakeWaveOutReport(); !strReport.empty()) LogLine(strReport);
}

namespace {

// The session's fields of the shared record, before anything is obtained.
void ResetSessionRecord(const SessionSettings& settings) {
    PERFORMANCESTATE& ps = PerformanceState;
    ps.bRunning.store(1, kRelease);
    ps.pQuantiseTuning = settings.pQuantise;
    ps.dQuantiseStrength = settings.dQuantiseStrength;
    ps.pMidiQueue = settings.pMidiQueue;
    ps.nMidiMode = settings.nMidiMode;
    ps.nMidiBendRange = settings.nMidiBendRange;
    ps.bMidiNoRateLimit = settings.bMidiNoRateLimit;
    ps.pTakeQueue = settings.pTakeQueue;
    ps.apMidiIn[0] = settings.apMidiIn[0];
    ps.apMidiIn[1] = settings.apMidiIn[1];
    ps.bMidiDriving.store(false, std::memory_order_relaxed);
    ps.bQuantiseOn.store(settings.pQuantise != nullptr && settings.bQuantise, std::memory_order_relaxed);
    for (WAVEHDR& hdr : ps.aWaveHdr) ZeroWaveHeader(hdr);
    ps.hWaveOut = nullptr;
    ps.pSamples = nullptr;
    ps.pAccompReader = nullptr;
    ps.pRecordWriter = nullptr;
}

// The accompaniment reader and the recording writer, as the settings ask; the cache text is
// checked first, as the two share its amount.
bool OpenStreams(const SessionSettings& settings, const RecordPathQuery& askRecordPath) {
    PERFORMANCESTATE& ps = PerformanceState;
    const ToneParameter& cache = ToneParameterOf(ToneParam::Cache);
    const auto nCache = static_cast<unsigned>(AtoiSaturating(settings.strCache));
    if (nCache < cache.dMin || nCache > cache.dMax) return Fail(cache.nMessageId);
    const bool bBoth = settings.nCheckAccomp == 1 && settings.nCheckRecord == 1;
    const DWORD dwCacheBytes = nCache * (bBoth ? 512u : 1024u);

    if (settings.nCheckAccomp == 1) {
        if (!EndsInWav(settings.strAccompFile)) return Fail(IDS_ERR_ACCOMP_NAME);
        ps.pAccompReader = new (std::nothrow) CWaveStream;
        if (ps.pAccompReader == nullptr) return Fail(IDS_ERR_OUT_OF_MEMORY);
        // A failed open is reported by the reader itself when it is released.
        if (!ps.pAccompReader->OpenRead(settings.strAccompFile, dwCacheBytes, settings.bAccompLoop)) {
            return FailSilently();
        }
        ps.dAccompRatio = settings.nAccompRatio * 0.01;
    }

    if (settings.nCheckRecord == 1) {
        ps.pRecordWriter = new (std::nothrow) CWaveStream;
        if (ps.pRecordWriter == nullptr) return Fail(IDS_ERR_OUT_OF_MEMORY);
        std::string strPath;
        if (!askRecordPath || !askRecordPath(strPath)) return FailSilently();
        const int nFormat = settings.nRecordFormat != 0 ? kRecordFloat32 : kRecordInt16;
        if (!ps.pRecordWriter->OpenWrite(strPath, dwCacheBytes, nFormat)) return FailSilently();
        ps.bRecordAccomp = settings.bRecordAccomp ? 1 : 0;
    }
    return true;
}

// The sound device and the ring of output blocks.
bool OpenDevice() {
    PERFORMANCESTATE& ps = PerformanceState;
    SetWaveOutRingHint(static_cast<unsigned>(ps.nBlockBytes / 2), kBlockCount);
    ps.wfxOut = WAVEFORMATEX{WAVE_FORMAT_PCM, 1, kSampleRate, 2 * kSampleRate, 2, 16, 0};
    if (waveOutOpen(&ps.hWaveOut, WAVE_MAPPER, &ps.wfxOut, reinterpret_cast<DWORD_PTR>(&WaveOutDoneProc), 0,
                    CALLBACK_FUNCTION | WAVE_ALLOWSYNC) != MMSYSERR_NOERROR) {
        ps.hWaveOut = nullptr;
        return Fail(IDS_ERR_WAVE_OUT);
    }
    ps.nBlockSamples = static_cast<int>(ps.nBlockBytes / 2);
    ps.pSamples = new (std::nothrow) std::int16_t[kBlockCount * static_cast<std::size_t>(ps.nBlockSamples)];
    if (ps.pSamples == nullptr) return Fail(IDS_ERR_OUT_OF_MEMORY);
    return true;
}

bool StartAudioThread() {
    PERFORMANCESTATE& ps = PerformanceState;
    // The thread counts as live from before its creation, so a board closed before it first
    // runs still waits for it.
    ps.nActiveThreads.store(1, kRelease);
    try {
        ps.hAudioThread = std::thread(AudioThreadProc, nullptr);
    } catch (const std::system_error&) {
        ps.nActiveThreads.store(0, kRelease);
        return FailSilently();
    }
    ps.dwAudioThreadId = ps.hAudioThread.get_id();
    return true;
}

}  // namespace

bool PrepareSession(const SessionSettings& settings, const RecordPathQuery& askRecordPath) {
    PERFORMANCESTATE& ps = PerformanceState;
    if (ps.nActiveThreads.load(kAcquire) != 0) {
        AfxMessageBox(IDS_ERR_WAVE_OUT);
        return false;
    }
    JoinAudioThread();
    ResetSessionRecord(settings);
    if (const UINT nMessage =
            DeriveParameters(settings.texts, settings.nCheckDetune, settings.dwOverCycleData);
        nMessage != 0) {
        return Fail(nMessage);
    }
    if (!BuildFirStage(settings.fir, ps)) return Fail(IDS_ERR_OUT_OF_MEMORY);
    if (!OpenStreams(settings, askRecordPath)) return false;
    ps.nBlockSamples = static_cast<int>(ps.nBlockBytes / 2);
    return true;
}

void EndPreparedSession() {
    ReleaseSessionResources(false);
    PerformanceState.bRunning.store(0, kRelease);
}

bool StartSession(const SessionSettings& settings, const RecordPathQuery& askRecordPath) {
    return PrepareSession(settings, askRecordPath) && OpenDevice() && StartAudioThread();
}

void StopSession() {
    PERFORMANCESTATE& ps = PerformanceState;
    const int nThreads = ps.nActiveThreads.load(kAcquire);
    ps.bRunning.store(0, kRelease);
    if (nThreads != 0) {
        while (ps.nActiveThreads.load(kAcquire) != 0)
            std::this_thread::sleep_for(std::chrono::milliseconds(100));
    }
    JoinAudioThread();
}
