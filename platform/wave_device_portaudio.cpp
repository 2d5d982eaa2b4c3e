// The sound devices of PortAudio's ALSA and JACK hosts: choice by name, the stream callback that
// pulls the queued blocks (through a resampler where the device runs at another rate), underrun
// counting, and a watch that notices a device that stopped for good (a JACK server that went
// away) so that the session ends instead of waiting for blocks that never come back.
#include <alsa/asoundlib.h>
#include <pa_jack.h>
#include <portaudio.h>
#include <samplerate.h>

#include <chrono>
#include <cmath>
#include <cstdio>
#include <mutex>
#include <thread>

#include "platform/bounded_call.h"
#include "platform/message_service.h"
#include "platform/quiet_stderr.h"
#include "platform/sample_scale.h"
#include "platform/wave_device.h"

namespace {

constexpr double kEngineRate = kSampleRate;
constexpr float kFloatScale = static_cast<float>(kFloatFullScale);
constexpr std::size_t kChunk = 256;     // frames taken from the queue at a time
constexpr std::size_t kScratch = 4096;  // mono frames converted at a time
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
        StopWatch();
        CloseStream();
        if (m_pSrc != nullptr) src_delete(m_pSrc);
    }

    bool Open(const std::string& strName, unsigned nPeriodFrames, std::string& strError) {
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
        const bool bJack = pHost->type == paJACK;

        PaStreamParameters out{};
        out.device = nDevice;
        // JACK ports are one per channel: both sides of the system playback get the voice.
        // ALSA's plug layers spread a mono stream themselves.
        out.channelCount = bJack ? std::min(2, pInfo->maxOutputChannels) : 1;
        out.sampleFormat = paInt16;
        out.suggestedLatency = pInfo->defaultLowOutputLatency;
        m_nChannels = out.channelCount;

        CQuietStderr quiet;
        m_dRate = kEngineRate;
        if (bJack || Pa_IsFormatSupported(nullptr, &out, kEngineRate) != paFormatIsSupported) {
            // The device's own rate, the engine's samples converted to it.
            m_dRate = pInfo->defaultSampleRate;
        }
        if (bJack || m_dRate != kEngineRate) out.sampleFormat = paFloat32;
        if (m_dRate != kEngineRate) {
            int nError = 0;
            m_pSrc = src_callback_new(&CPortAudioDevice::ResamplerInput, kResamplerQuality, 1, &nError, this);
            if (m_pSrc == nullptr) {
                strError = std::string("resampler: ") + src_strerror(nError);
                return false;
            }
        }

        // A period that fits the block size: the graph runs at the user's pace, not its fastest.
        // JACK's period is the server's own; asking for another only adds a buffer.
        unsigned long nFramesPerBuffer = paFramesPerBufferUnspecified;
        if (!bJack && nPeriodFrames > 0) {
            nFramesPerBuffer = std::clamp<unsigned long>(
                static_cast<unsigned long>(std::lround(nPeriodFrames * m_dRate / kEngineRate)), 32, 8192);
            out.suggestedLatency = std::max(out.suggestedLatency, 2.0 * nFramesPerBuffer / m_dRate);
        }
        const PaError err = Pa_OpenStream(&m_pStream, nullptr, &out, m_dRate, nFramesPerBuffer, paNoFlag,
                                          &CPortAudioDevice::Callback, this);
        if (err != paNoError) {
            m_pStream = nullptr;
            strError = Pa_GetErrorText(err);
            return false;
        }
        m_bFloat = out.sampleFormat == paFloat32;
        return true;
    }

    bool StartConsumer() override {
        if (m_bRunning) return true;
        if (Failed()) return false;
        m_lastCallbackNs.store(NowNs(), std::memory_order_relaxed);
        CQuietStderr quiet;
        m_bRunning = Pa_StartStream(m_pStream) == paNoError;
        if (m_bRunning && !m_watch.joinable()) {
            m_bStopWatch.store(false);
            m_watch = std::thread([this] { Watch(); });
        }
        return m_bRunning;
    }

    void StopConsumer() override {
        if (!m_bRunning) return;
        StopWatch();
        if (!Failed()) {
            PaStream* pStream = m_pStream;
            {
                CQuietStderr quiet;
                m_bStuck = !CallWithTimeLimit([pStream] { Pa_AbortStream(pStream); }, kServerCallLimit);
            }
            if (m_bStuck) {
                // The server holds the stop: it has gone. From here the callback leaves the ring
                // alone, so the caller may hand the blocks back.
                MarkFailed();
                LogLine("the sound device \"" + m_strName + "\" did not stop: its server is gone");
            }
        }
        m_bRunning = false;
    }

    bool Failed() const override { return m_bFailed.load(); }

    std::string Report() override {
        char sz[64];
        std::snprintf(sz, sizeof sz, " at %.0f Hz: %u underruns", m_dRate,
                      m_nUnderruns.load(std::memory_order_relaxed));
        return "sound device \"" + m_strName + "\"" + sz;
    }

private:
    static long long NowNs() {
        return std::chrono::duration_cast<std::chrono::nanoseconds>(
                   std::chrono::steady_clock::now().time_since_epoch())
            .count();
    }

    static int Callback(const void*, void* pOutput, unsigned long nFrames, const PaStreamCallbackTimeInfo*,
                        PaStreamCallbackFlags, void* pUser) {
        auto* self = static_cast<CPortAudioDevice*>(pUser);
        // Dekker-style with the watch: either it sees this call in progress, or this call sees
        // the failure and leaves the ring alone.
        self->m_bInCallback.store(true);
        if (self->m_bFailed.load()) {
            self->m_bInCallback.store(false);
            self->Silence(pOutput, nFrames);
            return paContinue;
        }
        self->m_lastCallbackNs.store(NowNs(), std::memory_order_relaxed);
        self->Fill(pOutput, nFrames);
        self->m_bInCallback.store(false);
        return paContinue;
    }

    void Silence(void* pOutput, unsigned long nFrames) {
        const std::size_t n = nFrames * static_cast<std::size_t>(m_nChannels);
        if (m_bFloat) {
            std::fill_n(static_cast<float*>(pOutput), n, 0.0f);
        } else {
            std::fill_n(static_cast<std::int16_t*>(pOutput), n, std::int16_t{0});
        }
    }

    // Takes queued samples; what the ring cannot give is silence. A dry ring counts as an
    // underrun only once more samples follow: the start and the end of a session are not.
    std::size_t TakeOrSilence(std::int16_t* pOut, std::size_t nFrames) {
        const std::size_t nTaken = Take(pOut, nFrames);
        if (nTaken > 0) {
            m_bPlayed = true;
            if (m_nDryPending > 0) {
                m_nUnderruns.fetch_add(m_nDryPending, std::memory_order_relaxed);
                m_nDryPending = 0;
            }
        }
        if (nTaken < nFrames) {
            std::fill(pOut + nTaken, pOut + nFrames, std::int16_t{0});
            if (m_bPlayed) m_bDryThisCall = true;
        }
        return nTaken;
    }

    void Fill(void* pOutput, unsigned long nFrames) {
        m_bDryThisCall = false;
        if (!m_bFloat) {
            // 16-bit mono at the engine's rate: the blocks' own samples.
            TakeOrSilence(static_cast<std::int16_t*>(pOutput), nFrames);
        } else {
            auto* pOut = static_cast<float*>(pOutput);
            for (std::size_t nDone = 0; nDone < nFrames;) {
                const std::size_t n = std::min<std::size_t>(kScratch, nFrames - nDone);
                if (m_pSrc != nullptr) {
                    const long nGot =
                        src_callback_read(m_pSrc, m_dRate / kEngineRate, static_cast<long>(n), m_afMono);
                    std::fill(m_afMono + std::max(0L, nGot), m_afMono + n, 0.0f);
                } else {
                    TakeOrSilence(m_anChunk, n);
                    for (std::size_t i = 0; i < n; ++i) m_afMono[i] = m_anChunk[i] / kFloatScale;
                }
                for (std::size_t i = 0; i < n; ++i) {
                    for (int c = 0; c < m_nChannels; ++c) pOut[(nDone + i) * m_nChannels + c] = m_afMono[i];
                }
                nDone += n;
            }
        }
        if (m_bDryThisCall) ++m_nDryPending;
    }

    // The resampler's input: the next queued samples, silence where the ring is dry.
    static long ResamplerInput(void* pUser, float** ppData) {
        auto* self = static_cast<CPortAudioDevice*>(pUser);
        self->TakeOrSilence(self->m_anChunk, kChunk);
        for (std::size_t i = 0; i < kChunk; ++i) self->m_afChunk[i] = self->m_anChunk[i] / kFloatScale;
        *ppData = self->m_afChunk;
        return static_cast<long>(kChunk);
    }

    // Runs beside the stream: a device whose callback stopped while blocks wait has failed. Its
    // blocks are handed back, so the audio thread's next write is refused and the session ends.
    void Watch() {
        while (!m_bStopWatch.load()) {
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
            const long long nSilentNs = NowNs() - m_lastCallbackNs.load(std::memory_order_relaxed);
            if (!HasQueued() || std::chrono::nanoseconds(nSilentNs) < kStallLimit) continue;
            MarkFailed();
            LogLine("the sound device \"" + m_strName + "\" stopped");
            while (Head() != nullptr) FinishHead();
            return;
        }
    }

    // Dekker-style with the callback: once this returns, no callback touches the ring.
    void MarkFailed() {
        m_bFailed.store(true);
        while (m_bInCallback.load()) std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }

    void StopWatch() {
        if (!m_watch.joinable()) return;
        m_bStopWatch.store(true);
        m_watch.join();
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

    CPortAudioUse m_pa;
    std::string m_strName;
    PaStream* m_pStream = nullptr;
    bool m_bRunning = false;
    bool m_bStuck = false;  // a stop or close did not return: the stream is never touched again
    int m_nChannels = 1;
    bool m_bFloat = false;
    double m_dRate = kEngineRate;
    SRC_STATE* m_pSrc = nullptr;

    // Callback side.
    std::int16_t m_anChunk[kScratch] = {};
    float m_afChunk[kChunk] = {};
    float m_afMono[kScratch] = {};
    bool m_bPlayed = false;
    bool m_bDryThisCall = false;
    unsigned m_nDryPending = 0;
    std::atomic<unsigned> m_nUnderruns{0};

    // The watch.
    std::thread m_watch;
    std::atomic<bool> m_bStopWatch{false};
    std::atomic<bool> m_bFailed{false};
    std::atomic<bool> m_bInCallback{false};
    std::atomic<long long> m_lastCallbackNs{0};
};

}  // namespace

std::unique_ptr<WaveOutDevice> OpenPortAudioDevice(const std::string& strName, unsigned nPeriodFrames,
                                                   std::string& strError) {
    auto pDevice = std::make_unique<CPortAudioDevice>();
    if (!pDevice->Open(strName, nPeriodFrames, strError)) return nullptr;
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
