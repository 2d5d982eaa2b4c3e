// The sound devices of PortAudio's ALSA and JACK hosts: choice by name, a feeder thread that moves
// the queued blocks into the device's own FIFO (through a resampler where the device runs at
// another rate), the stream callback that plays the FIFO, underrun counting, real-time
// scheduling, and a watch that notices a device that stopped for good (a JACK server that went
// away) so that the session ends instead of waiting for blocks that never come back.
#include <alsa/asoundlib.h>
#include <pa_jack.h>
#include <pa_linux_alsa.h>
#include <portaudio.h>
#include <pthread.h>
#include <samplerate.h>
#include <unistd.h>

#include <chrono>
#include <cmath>
#include <cstdio>
#include <mutex>
#include <thread>

#include "platform/bounded_call.h"
#include "platform/message_service.h"
#include "platform/quiet_stderr.h"
#include "platform/realtime.h"
#include "platform/sample_fifo.h"
#include "platform/sample_scale.h"
#include "platform/wake_event.h"
#include "platform/wave_device.h"

namespace {

constexpr double kEngineRate = kSampleRate;
constexpr float kFloatScale = static_cast<float>(kFloatFullScale);
// A device whose callback has not run for this long while blocks wait has stopped for good.
constexpr auto kStallLimit = std::chrono::seconds(2);
// Where the resampler's quality is chosen: SRC_SINC_MEDIUM_QUALITY keeps 90 % of the band with
// 121 dB of stop-band rejection for about 170 ns a sample here (0.8 % of a core at 48000 Hz);
// the fastest sinc keeps only 80 % of the band, the best costs three times as much.
constexpr int kResamplerQuality = SRC_SINC_MEDIUM_QUALITY;

void SilentAlsaError(const char*, int, const char*, int, const char*, ...) {}

// One use of PortAudio: initialised on construction (with the JACK client's name), terminated
// on destruction. PortAudio counts nested uses.
class CPortAudioUse {
public:
    CPortAudioUse() {
        static std::once_flag once;
        std::call_once(once, [] {
            snd_lib_error_set_handler(SilentAlsaError);
            PaJack_SetClientName("aerolyre");
        });
        CQuietStderr quiet;
        m_error = Pa_Initialize();
    }
    ~CPortAudioUse() {
        if (m_error == paNoError && !m_bLeak) {
            CQuietStderr quiet;
            Pa_Terminate();
        }
    }
    CPortAudioUse(const CPortAudioUse&) = delete;
    CPortAudioUse& operator=(const CPortAudioUse&) = delete;

    PaError Error() const { return m_error; }
    // After a host stopped for good PortAudio may not terminate cleanly; the use is kept.
    void Leak() { m_bLeak = true; }

private:
    PaError m_error = paNoError;
    bool m_bLeak = false;
};

const char* HostKey(PaHostApiIndex nHost) {
    const PaHostApiInfo* pInfo = Pa_GetHostApiInfo(nHost);
    if (pInfo == nullptr) return nullptr;
    if (pInfo->type == paALSA) return "alsa";
    if (pInfo->type == paJACK) return "jack";
    return nullptr;
}

// "alsa" or "jack" for a host's default output, "alsa:NAME" for any other device.
std::string DeviceName(PaDeviceIndex nDevice) {
    const PaDeviceInfo* pInfo = Pa_GetDeviceInfo(nDevice);
    if (pInfo == nullptr) return {};
    const char* pszHost = HostKey(pInfo->hostApi);
    if (pszHost == nullptr) return {};
    if (Pa_GetHostApiInfo(pInfo->hostApi)->defaultOutputDevice == nDevice) return pszHost;
    return std::string(pszHost) + ":" + pInfo->name;
}

PaDeviceIndex FindDevice(const std::string& strName, std::string& strError) {
    if (strName.empty()) {
        const PaDeviceIndex nDefault = Pa_GetDefaultOutputDevice();
        if (nDefault == paNoDevice) strError = "no output device (no sound card and no sound server)";
        return nDefault;
    }
    const std::string strHost = strName.substr(0, strName.find(':'));
    const bool bNamed = strName.size() > strHost.size();
    if (strHost != "alsa" && strHost != "jack") {
        strError = "no such device (names are alsa, jack, alsa:NAME, jack:NAME, null, capture:FILE)";
        return paNoDevice;
    }
    for (PaHostApiIndex h = 0; h < Pa_GetHostApiCount(); ++h) {
        if (HostKey(h) == nullptr || strHost != HostKey(h)) continue;
        const PaHostApiInfo* pHost = Pa_GetHostApiInfo(h);
        if (!bNamed) {
            if (pHost->defaultOutputDevice == paNoDevice)
                strError = "the " + strHost + " host has no output device";
            return pHost->defaultOutputDevice;
        }
        const std::string strDevice = strName.substr(strHost.size() + 1);
        for (int i = 0; i < pHost->deviceCount; ++i) {
            const PaDeviceIndex d = Pa_HostApiDeviceIndexToDeviceIndex(h, i);
            const PaDeviceInfo* pInfo = Pa_GetDeviceInfo(d);
            if (pInfo != nullptr && pInfo->maxOutputChannels > 0 && strDevice == pInfo->name) return d;
        }
        strError = "no output device of that name";
        return paNoDevice;
    }
    strError = strHost == "jack" ? "no JACK server is running" : "PortAudio has no ALSA host here";
    return paNoDevice;
}

class CPortAudioDevice final : public WaveOutDevice {
public:
    ~CPortAudioDevice() override {
        StopConsumer();
        CloseStream();
        if (m_pSrc != nullptr) src_delete(m_pSrc);
    }

    bool Open(const std::string& strName, unsigned nBlockFrames, unsigned nBlocks, std::string& strError) {
        m_strName = strName.empty() ? "default" : strName;
        if (m_pa.Error() != paNoError) {
            strError = Pa_GetErrorText(m_pa.Error());
            return false;
        }
        const PaDeviceIndex nDevice = FindDevice(strName, strError);
        if (nDevice == paNoDevice) return false;
        const PaDeviceInfo* pInfo = Pa_GetDeviceInfo(nDevice);
        const PaHostApiInfo* pHost = Pa_GetHostApiInfo(pInfo->hostApi);
        m_strName = strName.empty() ? "default (" + DeviceName(nDevice) + ")" : strName;
        m_bJack = pHost->type == paJACK;

        PaStreamParameters out{};
        out.device = nDevice;
        // JACK ports are one per channel: both sides of the system playback get the voice.
        // ALSA's plug layers spread a mono stream themselves.
        out.channelCount = m_bJack ? std::min(2, pInfo->maxOutputChannels) : 1;
        out.sampleFormat = paInt16;
        out.suggestedLatency = pInfo->defaultLowOutputLatency;
        m_nChannels = out.channelCount;

        CQuietStderr quiet;
        m_dRate = kEngineRate;
        if (m_bJack || Pa_IsFormatSupported(nullptr, &out, kEngineRate) != paFormatIsSupported) {
            // The device's own rate, the engine's samples converted to it.
            m_dRate = pInfo->defaultSampleRate;
        }
        m_dRatio = m_dRate / kEngineRate;
        // The blocks' own 16-bit samples where the device takes them as they are.
        m_bFloat = m_bJack || m_dRate != kEngineRate;
        if (m_bFloat) out.sampleFormat = paFloat32;
        if (m_dRate != kEngineRate) {
            int nError = 0;
            m_pSrc = src_new(kResamplerQuality, 1, &nError);
            if (m_pSrc == nullptr) {
                strError = std::string("resampler: ") + src_strerror(nError);
                return false;
            }
        }
        m_dRingSeconds = nBlockFrames * static_cast<double>(nBlocks) / kEngineRate;

        // ALSA: a period of up to half the ring's latency, as a power of two so a sound server's
        // graph takes it as its quantum, and a device buffer as long as the ring, so the device
        // can ride out a scheduling delay as long as the latency the user chose. That buffer adds
        // no latency: blocks go back to the audio thread only when they are a period from
        // sounding, so the ring's samples wait in the device rather than in the ring. JACK's
        // period is the server's own; asking for another only adds a buffer.
        unsigned long nFramesPerBuffer = paFramesPerBufferUnspecified;
        if (!m_bJack && nBlockFrames > 0 && nBlocks > 0) {
            const double dHalfRing = m_dRingSeconds * m_dRate / 2;
            unsigned long nPeriod = kMinPeriod;
            while (nPeriod * 2 <= dHalfRing && nPeriod * 2 <= kMaxPeriod) nPeriod *= 2;
            nFramesPerBuffer = nPeriod;
            out.suggestedLatency = std::max({out.suggestedLatency, m_dRingSeconds, 2.0 * nPeriod / m_dRate});
        }
        const double dGuess = pInfo->defaultLowOutputLatency * m_dRate;
        m_nPeriodFrames.store(nFramesPerBuffer != paFramesPerBufferUnspecified ? nFramesPerBuffer
                              : dGuess >= 1 && dGuess <= kMaxPeriod ? static_cast<unsigned long>(dGuess)
                                                                    : kGuessedPeriod);
        // Room for everything that may be in flight: the ring and two of the largest periods.
        m_fifo.Init(static_cast<std::size_t>(std::ceil(m_dRingSeconds * m_dRate)) + 2 * kMaxPeriod +
                    4 * kPiece);

        const PaError err = Pa_OpenStream(&m_pStream, nullptr, &out, m_dRate, nFramesPerBuffer, paNoFlag,
                                          &CPortAudioDevice::Callback, this);
        if (err != paNoError) {
            m_pStream = nullptr;
            strError = Pa_GetErrorText(err);
            return false;
        }
        // PortAudio's own try at real time for its ALSA thread (the lowest priority); the feeder
        // raises it above itself once the thread is known.
        if (!m_bJack) PaAlsa_EnableRealtimeScheduling(m_pStream, 1);
        // A device whose buffer came out longer than the ring (one that imposes its own sizes)
        // must be let hold more than the ring from the start, or it would run dry until the lead
        // had grown; its latency is then its own, and the report says so.
        if (const PaStreamInfo* pStreamInfo = Pa_GetStreamInfo(m_pStream);
            !m_bJack && pStreamInfo != nullptr) {
            const double dExcess = pStreamInfo->outputLatency * m_dRate - m_dRingSeconds * m_dRate;
            if (dExcess > 0)
                m_dInitialLead = std::min(dExcess + 2.0 * nFramesPerBuffer, static_cast<double>(kMaxLead));
        }
        return true;
    }

    bool StartConsumer() override {
        if (m_bRunning) return true;
        if (Failed()) return false;
        m_fifo.Clear();
        if (m_pSrc != nullptr) src_reset(m_pSrc);
        m_nReleased = 0;
        m_nHeldMax.store(0);
        m_dLead = m_dInitialLead;
        m_lastCallbackNs.store(NowNs(), std::memory_order_relaxed);
        m_bStopThreads.store(false);
        m_feeder = std::thread([this] { Feed(); });
        {
            CQuietStderr quiet;
            m_bRunning = Pa_StartStream(m_pStream) == paNoError;
        }
        if (!m_bRunning) {
            StopThreads();
            return false;
        }
        m_watch = std::thread([this] { Watch(); });
        return true;
    }

    void StopConsumer() override {
        if (!m_bRunning) return;
        // The feeder is the ring's consumer: once it has gone, the caller may hand blocks back.
        StopThreads();
        if (!Failed()) {
            PaStream* pStream = m_pStream;
            {
                CQuietStderr quiet;
                m_bStuck = !CallWithTimeLimit([pStream] { Pa_AbortStream(pStream); }, kServerCallLimit);
            }
            if (m_bStuck) {
                m_bFailed.store(true);
                LogLine("the sound device \"" + m_strName + "\" did not stop: its server is gone");
            }
        }
        m_bRunning = false;
    }

    void Queued() override { m_feedWake.Post(); }
    bool PlaysInRealTime() const override { return true; }
    bool Failed() const override { return m_bFailed.load(); }

    std::string Report() override {
        const unsigned nDry = m_nDry.load(), nFlagged = m_nFlagged.load();
        const unsigned long nPeriod = m_nPeriodFrames.load();
        // The device's share: its period, or more where the device needed it.
        const double dDeviceMs = 1000.0 * std::max(m_dLeadUsed, static_cast<double>(nPeriod)) / m_dRate;
        char sz[224];
        std::snprintf(sz, sizeof sz,
                      " at %.0f Hz: %u underruns (%u ran dry, %u reported by the %s), latency %.1f ms (ring "
                      "%.1f ms, device %.1f ms, period %lu frames)",
                      m_dRate, nDry + nFlagged, nDry, nFlagged, m_bJack ? "server" : "device",
                      1000.0 * m_dRingSeconds + dDeviceMs, 1000.0 * m_dRingSeconds, dDeviceMs, nPeriod);
        return "sound device \"" + m_strName + "\"" + sz;
    }

private:
    static constexpr unsigned long kMinPeriod = 64;
    static constexpr unsigned long kMaxPeriod = 8192;
    static constexpr unsigned long kGuessedPeriod = 1024;  // a JACK period before its first cycle
    static constexpr unsigned long kMaxLead = 16384;       // device frames: a third of a second
    static constexpr std::size_t kPiece = 256;             // samples the feeder moves at a time, at most
    static constexpr std::size_t kScratch = 4096;          // frames the callback converts at a time

    static long long NowNs() {
        return std::chrono::duration_cast<std::chrono::nanoseconds>(
                   std::chrono::steady_clock::now().time_since_epoch())
            .count();
    }

    // Plays from the FIFO; what it cannot give is silence. A FIFO that ran dry counts as an
    // underrun only once more samples follow: the start and the end of a session are not. The
    // device's own report of an underrun (ALSA's, or a JACK xrun) counts once sound has begun.
    static int Callback(const void*, void* pOutput, unsigned long nFrames,
                        const PaStreamCallbackTimeInfo* pTime, PaStreamCallbackFlags flags, void* pUser) {
        auto* self = static_cast<CPortAudioDevice*>(pUser);
        const long long nNow = NowNs();
        self->m_lastCallbackNs.store(nNow, std::memory_order_relaxed);
        if (!self->m_bCallbackThreadKnown.load(std::memory_order_relaxed)) {
            // Once, so the feeder can raise this thread; the only system call a callback makes.
            self->m_callbackThread = ::pthread_self();
            self->m_nCallbackTid = ::gettid();
            self->m_bCallbackThreadKnown.store(true, std::memory_order_release);
        }
        if ((flags & paOutputUnderflow) != 0 && self->m_bPlayed) self->m_nFlagged.fetch_add(1);

        auto* pOut = static_cast<float*>(pOutput);  // only where the stream is float
        bool bDry = false;
        std::size_t nRealThisCall = 0;
        for (std::size_t nDone = 0; nDone < nFrames;) {
            const std::size_t n = std::min<std::size_t>(kScratch, nFrames - nDone);
            const std::size_t nGot = self->m_fifo.Read(self->m_afMono, n);
            std::fill(self->m_afMono + nGot, self->m_afMono + n, 0.0f);
            self->m_nRealReadTotal += nGot;
            // Real samples are read first in each piece: those of this call are contiguous
            // unless a later piece finds more, which the FIFO never does once it ran dry.
            nRealThisCall = nDone + nGot;
            if (nGot > 0) {
                self->m_bPlayed = true;
                if (self->m_nDryPending > 0) {
                    self->m_nDry.fetch_add(self->m_nDryPending);
                    self->m_nDryPending = 0;
                }
            }
            if (nGot < n && self->m_bPlayed) bDry = true;
            if (self->m_bFloat) {
                for (std::size_t i = 0; i < n; ++i) {
                    for (int c = 0; c < self->m_nChannels; ++c)
                        pOut[(nDone + i) * self->m_nChannels + c] = self->m_afMono[i];
                }
            } else {
                // Exact: each value is a 16-bit sample over 32768.
                auto* pOut16 = static_cast<std::int16_t*>(pOutput) + nDone;
                for (std::size_t i = 0; i < n; ++i)
                    pOut16[i] = static_cast<std::int16_t>(self->m_afMono[i] * kFloatScale);
            }
            nDone += n;
        }
        if (bDry) {
            ++self->m_nDryPending;
            self->m_nDryCalls.fetch_add(1, std::memory_order_relaxed);
        }

        // For the feeder's account of what has sounded: the device's stream so far, where our
        // last real sample stands in it, and what an ALSA device holds ahead of the speaker. A
        // JACK cycle is the server's: what this call handed over counts as sounded, so the FIFO
        // keeps a whole period ahead of the next cycle, however early that comes.
        if (!self->m_bStreamSeen) {
            // What the device held before this first buffer is silence it was primed with: it
            // stands in the stream ahead of our first sample.
            self->m_bStreamSeen = true;
            if (!self->m_bJack && pTime != nullptr && pTime->outputBufferDacTime > pTime->currentTime)
                self->m_nWritten = static_cast<std::uint64_t>(
                    (pTime->outputBufferDacTime - pTime->currentTime) * self->m_dRate);
        }
        self->m_nWritten += nFrames;
        if (nRealThisCall > 0) self->m_nRealEnd = self->m_nWritten - (nFrames - nRealThisCall);
        double dHeld = 0.0;
        if (!self->m_bJack) {
            dHeld = static_cast<double>(nFrames);
            if (pTime != nullptr && pTime->outputBufferDacTime > pTime->currentTime)
                dHeld += (pTime->outputBufferDacTime - pTime->currentTime) * self->m_dRate;
        }
        self->m_nRealRead.store(self->m_nRealReadTotal, std::memory_order_relaxed);
        self->m_nWrittenShared.store(self->m_nWritten, std::memory_order_relaxed);
        self->m_nRealEndShared.store(self->m_nRealEnd, std::memory_order_relaxed);
        self->m_nHeldFrames.store(static_cast<long long>(dHeld), std::memory_order_relaxed);
        if (dHeld > self->m_nHeldMax.load(std::memory_order_relaxed))
            self->m_nHeldMax.store(static_cast<long long>(dHeld), std::memory_order_relaxed);
        self->m_nHeldAtNs.store(nNow, std::memory_order_relaxed);
        self->m_nPeriodFrames.store(nFrames, std::memory_order_relaxed);
        self->m_feedWake.Post();
        return paContinue;
    }

    // The feeder: moves queued samples into the FIFO (resampled where the device runs at another
    // rate) and hands each block back once it is within one period of sounding, so the ring's
    // latency is shared with the device instead of added to it. Woken by each queued block and
    // each callback; it never waits on the audio thread or the device.
    void Feed() {
        SetThisThreadName("aerolyre-feeder");
        std::string strReason;
        if (!MakeThisThreadRealtime(kFeederThreadPriority, strReason)) ReportRealtimeRefused(strReason);
        bool bCallbackRaised = m_bJack;  // a JACK client's thread is the server's to schedule
        while (!m_bStopThreads.load()) {
            if (!bCallbackRaised && m_bCallbackThreadKnown.load(std::memory_order_acquire)) {
                bCallbackRaised = true;
                if (!MakeThreadRealtime(m_callbackThread, m_nCallbackTid, kDeviceThreadPriority, strReason))
                    ReportRealtimeRefused(strReason);
            }
            if (m_bFailed.load()) {
                // The device stopped for good: every block goes back, so the session ends.
                while (Head() != nullptr) FinishHead();
            } else {
                Fill();
                Release();
            }
            m_feedWake.WaitFor(std::chrono::milliseconds(1));
        }
    }

    // Copies what is queued into the FIFO, published in one write, so the callback never finds
    // part of what was ready at once.
    void Fill() {
        const std::size_t nFree = m_fifo.Free();
        std::size_t nBatch = 0;
        for (;;) {
            // Room for what a piece becomes at the device's rate, with the resampler's slack.
            const double dRoom = static_cast<double>(std::min(nFree, kBatch) - nBatch) - kResamplerSlack;
            if (dRoom < m_dRatio) break;
            const auto nPiece = std::min<std::size_t>(kPiece, static_cast<std::size_t>(dRoom / m_dRatio));
            const std::size_t nGot = CopyAhead(m_anPiece, nPiece);
            if (nGot == 0) break;
            if (m_pSrc == nullptr) {
                for (std::size_t i = 0; i < nGot; ++i) m_afBatch[nBatch + i] = m_anPiece[i] / kFloatScale;
                nBatch += nGot;
                continue;
            }
            for (std::size_t i = 0; i < nGot; ++i) m_afIn[i] = m_anPiece[i] / kFloatScale;
            SRC_DATA data{};
            data.data_in = m_afIn;
            data.input_frames = static_cast<long>(nGot);
            data.data_out = m_afBatch + nBatch;
            data.output_frames = static_cast<long>(std::min(nFree, kBatch) - nBatch);
            data.src_ratio = m_dRatio;
            src_process(m_pSrc, &data);
            nBatch += static_cast<std::size_t>(data.output_frames_gen);
        }
        if (nBatch > 0) m_fifo.Write(m_afBatch, nBatch);
    }

    // Hands back each block whose samples are within the lead of sounding. The lead is one
    // period, and grows by a period each time the device ran dry while blocks were still held
    // (a device that takes more at a time than it says, as ALSA over a server with a longer
    // period does), so nothing waits on a device that needs more than the ring to go on.
    void Release() {
        const unsigned long nPeriod = m_nPeriodFrames.load(std::memory_order_relaxed);
        const unsigned nDryCalls = m_nDryCalls.load(std::memory_order_relaxed);
        if (nDryCalls != m_nDryCallsSeen) {
            m_nDryCallsSeen = nDryCalls;
            if (CopiedHeadLength() > 0) m_dLead = std::min(m_dLead + nPeriod, static_cast<double>(kMaxLead));
        }
        // However much an ALSA device has been seen to hold, the ring and the lead must cover it
        // and a period more. (What a JACK client holds is the one buffer the model counts.)
        if (!m_bJack) {
            const double dBeyondRing = m_nHeldMax.load(std::memory_order_relaxed) - m_dRingSeconds * m_dRate;
            // One that holds more than it was given fills in bursts: a period more for those.
            if (dBeyondRing > 0)
                m_dLead =
                    std::min(std::max(m_dLead, dBeyondRing + 2.0 * nPeriod), static_cast<double>(kMaxLead));
        }
        const long long nSinceNs = NowNs() - m_nHeldAtNs.load(std::memory_order_relaxed);
        const double dHeld =
            std::max(0.0, m_nHeldFrames.load(std::memory_order_relaxed) - nSinceNs * 1e-9 * m_dRate);
        // Device frames: the stream position sounding now, and the real samples not yet there.
        const double dSounding = m_nWrittenShared.load(std::memory_order_relaxed) - dHeld;
        const double dUnsounded = std::max(0.0, m_nRealEndShared.load(std::memory_order_relaxed) - dSounding);
        const double dRealRead = static_cast<double>(m_nRealRead.load(std::memory_order_relaxed));
        const double dSounded = dRealRead - std::min(dUnsounded, dRealRead);
        // In engine samples.
        const double dLimit = (dSounded + std::max(m_dLead, static_cast<double>(nPeriod))) / m_dRatio;
        if (m_nWrittenShared.load(std::memory_order_relaxed) > 0)
            m_dLeadUsed = std::max(m_dLeadUsed, std::max(m_dLead, static_cast<double>(nPeriod)));
        for (std::size_t n = CopiedHeadLength(); n > 0 && m_nReleased + n <= dLimit; n = CopiedHeadLength()) {
            m_nReleased += n;
            FinishHead();
        }
    }

    // Runs beside the stream: a device whose callback stopped while blocks wait has failed. The
    // feeder then hands its blocks back, so the audio thread's next write is refused and the
    // session ends.
    void Watch() {
        while (!m_bStopThreads.load()) {
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
            const long long nSilentNs = NowNs() - m_lastCallbackNs.load(std::memory_order_relaxed);
            if (!HasQueued() || std::chrono::nanoseconds(nSilentNs) < kStallLimit) continue;
            m_bFailed.store(true);
            m_feedWake.Post();
            LogLine("the sound device \"" + m_strName + "\" stopped");
            return;
        }
    }

    void StopThreads() {
        m_bStopThreads.store(true);
        m_feedWake.Post();
        if (m_feeder.joinable()) m_feeder.join();
        if (m_watch.joinable()) m_watch.join();
    }

    // A stream whose server went away may never finish stopping or closing: the calls run under
    // a time limit, and a stream that did not stop in time is not touched again. PortAudio is then
    // left initialised, since its termination would wait on the same server.
    void CloseStream() {
        if (m_pStream == nullptr) return;
        PaStream* pStream = m_pStream;
        m_pStream = nullptr;
        if (!m_bStuck) {
            CQuietStderr quiet;
            m_bStuck = !CallWithTimeLimit(
                [pStream] {
                    Pa_AbortStream(pStream);
                    Pa_CloseStream(pStream);
                },
                kServerCallLimit);
        }
        if (m_bStuck || Failed()) m_pa.Leak();
    }

    // Output frames a piece of input may give beyond its length times the ratio.
    static constexpr double kResamplerSlack = 32;
    static constexpr std::size_t kBatch = 16384;  // device frames the feeder publishes at most at once

    CPortAudioUse m_pa;
    std::string m_strName;
    PaStream* m_pStream = nullptr;
    bool m_bJack = false;
    bool m_bRunning = false;
    bool m_bStuck = false;  // a stop or close did not return: the stream is never touched again
    int m_nChannels = 1;
    bool m_bFloat = true;  // float samples to the device; else 16-bit mono at the engine's rate
    double m_dRate = kEngineRate;
    double m_dRatio = 1.0;        // device frames per engine sample
    double m_dRingSeconds = 0.0;  // the latency of the ring this device serves
    CSampleFifo m_fifo;

    // Callback side.
    float m_afMono[kScratch] = {};
    bool m_bPlayed = false;
    unsigned m_nDryPending = 0;
    std::atomic<unsigned> m_nDry{0};
    std::atomic<unsigned> m_nFlagged{0};
    pthread_t m_callbackThread{};
    pid_t m_nCallbackTid = 0;
    std::atomic<bool> m_bCallbackThreadKnown{false};

    bool m_bStreamSeen = false;
    std::uint64_t m_nWritten = 0;        // device frames written, silence included
    std::uint64_t m_nRealEnd = 0;        // the stream position after the last real sample
    std::uint64_t m_nRealReadTotal = 0;  // real samples (device frames) taken from the FIFO

    // Callback to feeder: the period, the stream and what the device held at the last callback.
    std::atomic<unsigned long> m_nPeriodFrames{kGuessedPeriod};
    std::atomic<std::uint64_t> m_nWrittenShared{0};
    std::atomic<std::uint64_t> m_nRealEndShared{0};
    std::atomic<std::uint64_t> m_nRealRead{0};
    std::atomic<long long> m_nHeldFrames{0};
    std::atomic<long long> m_nHeldAtNs{0};
    std::atomic<long long> m_nHeldMax{0};  // the most the device has held (written by the callback)
    std::atomic<unsigned> m_nDryCalls{0};

    // The feeder.
    std::thread m_feeder;
    CWakeEvent m_feedWake;
    SRC_STATE* m_pSrc = nullptr;
    std::uint64_t m_nReleased = 0;  // engine samples of the blocks handed back
    double m_dInitialLead = 0.0;    // what the device holds beyond the ring, from its open
    double m_dLead = 0.0;           // device frames beyond the sounding point blocks may be
    double m_dLeadUsed = 0.0;       // the largest lead used, for the report
    unsigned m_nDryCallsSeen = 0;
    std::int16_t m_anPiece[kPiece] = {};
    float m_afIn[kPiece] = {};
    float m_afBatch[kBatch] = {};

    // The watch, and what both threads are told.
    std::thread m_watch;
    std::atomic<bool> m_bStopThreads{false};
    std::atomic<bool> m_bFailed{false};
    std::atomic<long long> m_lastCallbackNs{0};
};

}  // namespace

std::unique_ptr<WaveOutDevice> OpenPortAudioDevice(const std::string& strName, unsigned nBlockFrames,
                                                   unsigned nBlocks, std::string& strError) {
    auto pDevice = std::make_unique<CPortAudioDevice>();
    if (!pDevice->Open(strName, nBlockFrames, nBlocks, strError)) return nullptr;
    return pDevice;
}

std::vector<std::string> ListPortAudioDevices() {
    CPortAudioUse pa;
    std::vector<std::string> names;
    if (pa.Error() != paNoError) return names;
    const PaDeviceIndex nDefault = Pa_GetDefaultOutputDevice();
    if (nDefault != paNoDevice && !DeviceName(nDefault).empty()) names.push_back(DeviceName(nDefault));
    for (PaDeviceIndex d = 0; d < Pa_GetDeviceCount(); ++d) {
        const PaDeviceInfo* pInfo = Pa_GetDeviceInfo(d);
        if (d == nDefault || pInfo == nullptr || pInfo->maxOutputChannels < 1) continue;
        const std::string strName = DeviceName(d);
        if (!strName.empty()) names.push_back(strName);
    }
    return names;
}
