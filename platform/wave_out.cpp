// The wave-output service over PortAudio, and the paced and immediate devices that play nothing.
//
// Blocks travel through a single-producer single-consumer ring: the thread that writes blocks
// (the audio thread) adds at the tail, the device's consumer (PortAudio's callback, or the paced
// device's thread) takes from the head. The consumer never locks or allocates. Reset stops the
// consumer first and then returns what is left in the ring from the caller's thread.
#include "platform/wave_out.h"

#include <alsa/asoundlib.h>
#include <fcntl.h>
#include <portaudio.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <mutex>
#include <string>
#include <thread>

namespace {

constexpr std::size_t kRingSize = 64;  // more than the 16 blocks a session keeps in flight
constexpr int kRate = 44100;

WaveBlockSink g_immediateSink;

// PortAudio and the libraries below it (ALSA, JACK) print their diagnostics on stderr. The user
// gets the program's own message instead, so stderr is pointed at /dev/null while they speak.
class CQuietStderr {
public:
    CQuietStderr() {
        std::fflush(stderr);
        m_saved = ::dup(STDERR_FILENO);
        const int devnull = ::open("/dev/null", O_WRONLY | O_CLOEXEC);
        if (m_saved >= 0 && devnull >= 0) ::dup2(devnull, STDERR_FILENO);
        if (devnull >= 0) ::close(devnull);
    }
    ~CQuietStderr() {
        if (m_saved >= 0) {
            ::dup2(m_saved, STDERR_FILENO);
            ::close(m_saved);
        }
    }
    CQuietStderr(const CQuietStderr&) = delete;
    CQuietStderr& operator=(const CQuietStderr&) = delete;

private:
    int m_saved = -1;
};

void SilentAlsaError(const char*, int, const char*, int, const char*, ...) {}

// A WAV file that the capture device appends played samples to, across sessions.
class CCaptureFile {
public:
    bool Open(const std::string& path) {
        m_pFile = std::fopen(path.c_str(), "r+b");
        if (m_pFile != nullptr) {
            // An existing capture: append after its samples.
            if (std::fseek(m_pFile, 0, SEEK_END) == 0 && std::ftell(m_pFile) >= kHeader) return true;
            std::fclose(m_pFile);
        }
        m_pFile = std::fopen(path.c_str(), "w+b");
        if (m_pFile == nullptr) return false;
        unsigned char h[kHeader] = {'R', 'I', 'F', 'F', 0, 0, 0, 0, 'W', 'A', 'V', 'E', 'f', 'm', 't', ' ',
                                    16, 0, 0, 0, 1, 0, 1, 0, 0x44, 0xAC, 0, 0, 0x88, 0x58, 1, 0,
                                    2, 0, 16, 0, 'd', 'a', 't', 'a', 0, 0, 0, 0};
        return std::fwrite(h, 1, kHeader, m_pFile) == kHeader;
    }
    void Append(const std::int16_t* p, std::size_t n) {
        if (m_pFile != nullptr) std::fwrite(p, sizeof *p, n, m_pFile);
    }
    // Completes the RIFF and data sizes from the length written.
    void Close() {
        if (m_pFile == nullptr) return;
        std::fseek(m_pFile, 0, SEEK_END);
        const auto nLength = static_cast<std::uint32_t>(std::ftell(m_pFile));
        PutSize(4, nLength - 8);
        PutSize(40, nLength - kHeader);
        std::fclose(m_pFile);
        m_pFile = nullptr;
    }

private:
    static constexpr long kHeader = 44;
    void PutSize(long at, std::uint32_t v) {
        const unsigned char b[4] = {static_cast<unsigned char>(v), static_cast<unsigned char>(v >> 8),
                                    static_cast<unsigned char>(v >> 16), static_cast<unsigned char>(v >> 24)};
        std::fseek(m_pFile, at, SEEK_SET);
        std::fwrite(b, 1, 4, m_pFile);
    }
    std::FILE* m_pFile = nullptr;
};

}  // namespace

struct WaveOutDevice {
    enum Kind { kPortAudio, kPaced, kImmediate };

    Kind kind = kPortAudio;
    LPWAVECALLBACK pfnCallback = nullptr;
    DWORD_PTR dwInstance = 0;

    WAVEHDR* aRing[kRingSize] = {};
    std::atomic<std::size_t> nHead{0};  // written by the consumer
    std::atomic<std::size_t> nTail{0};  // written by the producer
    std::size_t nOffset = 0;            // consumer: samples of the head block already played

    PaStream* pStream = nullptr;
    bool bStreamRunning = false;

    std::thread pacer;
    std::atomic<bool> bStopPacer{false};
    bool bCapture = false;
    CCaptureFile capture;

    // Consumer side: marks the head block done and hands it back.
    void FinishHead() {
        const std::size_t head = nHead.load(std::memory_order_relaxed);
        WAVEHDR* pwh = aRing[head % kRingSize];
        pwh->dwFlags = (pwh->dwFlags & ~WHDR_INQUEUE) | WHDR_DONE;
        nOffset = 0;
        nHead.store(head + 1, std::memory_order_release);
        if (pfnCallback != nullptr) {
            pfnCallback(this, WOM_DONE, dwInstance, reinterpret_cast<DWORD_PTR>(pwh), 0);
        }
    }

    WAVEHDR* Head() const {
        const std::size_t head = nHead.load(std::memory_order_relaxed);
        if (head == nTail.load(std::memory_order_acquire)) return nullptr;
        return aRing[head % kRingSize];
    }

    // PortAudio's consumer: fills the device buffer from the queued blocks, silence when dry.
    void Fill(std::int16_t* pOut, std::size_t nFrames) {
        while (nFrames > 0) {
            WAVEHDR* pwh = Head();
            if (pwh == nullptr) {
                std::fill(pOut, pOut + nFrames, std::int16_t{0});
                return;
            }
            const std::size_t nBlock = pwh->dwBufferLength / 2;
            const std::size_t nTake = std::min(nBlock - nOffset, nFrames);
            std::memcpy(pOut, reinterpret_cast<const std::int16_t*>(pwh->lpData) + nOffset,
                        nTake * sizeof(std::int16_t));
            pOut += nTake;
            nFrames -= nTake;
            nOffset += nTake;
            if (nOffset == nBlock) FinishHead();
        }
    }

    // The paced consumer: plays each block for as long as its samples last at 44100 Hz.
    void Pace() {
        using Clock = std::chrono::steady_clock;
        auto next = Clock::now();
        while (!bStopPacer.load(std::memory_order_acquire)) {
            WAVEHDR* pwh = Head();
            if (pwh == nullptr) {
                std::this_thread::sleep_for(std::chrono::milliseconds(1));
                next = Clock::now();  // a dry queue plays silence; no debt is carried over
                continue;
            }
            const std::size_t nBlock = pwh->dwBufferLength / 2;
            next += std::chrono::microseconds(nBlock * 1000000 / kRate);
            // Empty blocks still take a moment, as a real device's period would.
            if (nBlock == 0) next += std::chrono::milliseconds(1);
            std::this_thread::sleep_until(next);
            if (bCapture) capture.Append(reinterpret_cast<const std::int16_t*>(pwh->lpData), nBlock);
            FinishHead();
        }
    }

    void StartConsumer() {
        if (kind == kPortAudio && !bStreamRunning) {
            CQuietStderr quiet;
            bStreamRunning = Pa_StartStream(pStream) == paNoError;
        } else if (kind == kPaced && !pacer.joinable()) {
            bStopPacer.store(false, std::memory_order_release);
            pacer = std::thread([this] { Pace(); });
        }
    }

    void StopConsumer() {
        if (kind == kPortAudio && bStreamRunning) {
            CQuietStderr quiet;
            Pa_AbortStream(pStream);
            bStreamRunning = false;
        } else if (kind == kPaced && pacer.joinable()) {
            bStopPacer.store(true, std::memory_order_release);
            pacer.join();
        }
    }
};

namespace {

int PortAudioCallback(const void*, void* pOutput, unsigned long nFrames, const PaStreamCallbackTimeInfo*,
                      PaStreamCallbackFlags, void* pUser) {
    static_cast<WaveOutDevice*>(pUser)->Fill(static_cast<std::int16_t*>(pOutput), nFrames);
    return paContinue;
}

bool OpenPortAudio(WaveOutDevice& dev) {
    static std::once_flag alsaQuiet;
    std::call_once(alsaQuiet, [] { snd_lib_error_set_handler(SilentAlsaError); });
    CQuietStderr quiet;
    if (Pa_Initialize() != paNoError) return false;
    PaStreamParameters out{};
    out.device = Pa_GetDefaultOutputDevice();
    if (out.device == paNoDevice) {
        Pa_Terminate();
        return false;
    }
    out.channelCount = 1;
    out.sampleFormat = paInt16;
    out.suggestedLatency = Pa_GetDeviceInfo(out.device)->defaultLowOutputLatency;
    if (Pa_OpenStream(&dev.pStream, nullptr, &out, kRate, paFramesPerBufferUnspecified, paNoFlag,
                      PortAudioCallback, &dev) != paNoError) {
        Pa_Terminate();
        return false;
    }
    return true;
}

bool IsValid(HWAVEOUT hwo) { return hwo != nullptr; }

}  // namespace

void SetImmediateWaveDevice(WaveBlockSink sink) { g_immediateSink = std::move(sink); }

MMRESULT waveOutOpen(HWAVEOUT* phwo, UINT uDeviceID, const WAVEFORMATEX* pwfx, DWORD_PTR dwCallback,
                     DWORD_PTR dwInstance, DWORD fdwOpen) {
    if (phwo == nullptr || pwfx == nullptr) return MMSYSERR_INVALPARAM;
    *phwo = nullptr;
    if (uDeviceID != WAVE_MAPPER) return MMSYSERR_BADDEVICEID;
    if (pwfx->wFormatTag != WAVE_FORMAT_PCM || pwfx->nChannels != 1 || pwfx->nSamplesPerSec != 44100 ||
        pwfx->wBitsPerSample != 16 || pwfx->nBlockAlign != 2) {
        return WAVERR_BADFORMAT;
    }

    auto* dev = new (std::nothrow) WaveOutDevice;
    if (dev == nullptr) return MMSYSERR_ERROR;
    if ((fdwOpen & CALLBACK_FUNCTION) == CALLBACK_FUNCTION) {
        dev->pfnCallback = reinterpret_cast<LPWAVECALLBACK>(dwCallback);
    }
    dev->dwInstance = dwInstance;

    const char* pszDevice = std::getenv("AEROLYRE_WAVE_DEVICE");
    const std::string strDevice = pszDevice != nullptr ? pszDevice : "";
    if (g_immediateSink) {
        dev->kind = WaveOutDevice::kImmediate;
    } else if (strDevice == "null") {
        dev->kind = WaveOutDevice::kPaced;
    } else if (strDevice.rfind("capture:", 0) == 0) {
        dev->kind = WaveOutDevice::kPaced;
        dev->bCapture = dev->capture.Open(strDevice.substr(8));
        if (!dev->bCapture) {
            delete dev;
            return MMSYSERR_NODRIVER;
        }
    } else if (!OpenPortAudio(*dev)) {
        delete dev;
        return MMSYSERR_NODRIVER;
    }

    dev->StartConsumer();
    if (dev->kind == WaveOutDevice::kPortAudio && !dev->bStreamRunning) {
        {
            CQuietStderr quiet;
            Pa_CloseStream(dev->pStream);
            Pa_Terminate();
        }
        delete dev;
        return MMSYSERR_NODRIVER;
    }
    *phwo = dev;
    if (dev->pfnCallback != nullptr) dev->pfnCallback(dev, WOM_OPEN, dwInstance, 0, 0);
    return MMSYSERR_NOERROR;
}

MMRESULT waveOutPrepareHeader(HWAVEOUT hwo, WAVEHDR* pwh, UINT cbwh) {
    if (!IsValid(hwo)) return MMSYSERR_INVALHANDLE;
    if (pwh == nullptr || cbwh < sizeof(WAVEHDR)) return MMSYSERR_INVALPARAM;
    pwh->dwFlags |= WHDR_PREPARED;
    return MMSYSERR_NOERROR;
}

MMRESULT waveOutWrite(HWAVEOUT hwo, WAVEHDR* pwh, UINT cbwh) {
    if (!IsValid(hwo)) return MMSYSERR_INVALHANDLE;
    if (pwh == nullptr || cbwh < sizeof(WAVEHDR)) return MMSYSERR_INVALPARAM;
    if ((pwh->dwFlags & WHDR_PREPARED) == 0) return WAVERR_UNPREPARED;
    if ((pwh->dwFlags & WHDR_INQUEUE) != 0) return WAVERR_STILLPLAYING;

    pwh->dwFlags = (pwh->dwFlags & ~WHDR_DONE) | WHDR_INQUEUE;
    if (hwo->kind == WaveOutDevice::kImmediate) {
        g_immediateSink(reinterpret_cast<const std::int16_t*>(pwh->lpData), pwh->dwBufferLength / 2);
        pwh->dwFlags = (pwh->dwFlags & ~WHDR_INQUEUE) | WHDR_DONE;
        if (hwo->pfnCallback != nullptr) {
            hwo->pfnCallback(hwo, WOM_DONE, hwo->dwInstance, reinterpret_cast<DWORD_PTR>(pwh), 0);
        }
        return MMSYSERR_NOERROR;
    }

    const std::size_t tail = hwo->nTail.load(std::memory_order_relaxed);
    if (tail - hwo->nHead.load(std::memory_order_acquire) >= kRingSize) return MMSYSERR_ERROR;
    hwo->aRing[tail % kRingSize] = pwh;
    hwo->nTail.store(tail + 1, std::memory_order_release);
    hwo->StartConsumer();  // after a reset
    return MMSYSERR_NOERROR;
}

MMRESULT waveOutReset(HWAVEOUT hwo) {
    if (!IsValid(hwo)) return MMSYSERR_INVALHANDLE;
    hwo->StopConsumer();
    // The consumer is stopped: this thread may take its part and return every queued block.
    while (hwo->Head() != nullptr) hwo->FinishHead();
    return MMSYSERR_NOERROR;
}

MMRESULT waveOutUnprepareHeader(HWAVEOUT hwo, WAVEHDR* pwh, UINT cbwh) {
    if (!IsValid(hwo)) return MMSYSERR_INVALHANDLE;
    if (pwh == nullptr || cbwh < sizeof(WAVEHDR)) return MMSYSERR_INVALPARAM;
    if ((pwh->dwFlags & WHDR_INQUEUE) != 0) return WAVERR_STILLPLAYING;
    pwh->dwFlags &= ~WHDR_PREPARED;
    return MMSYSERR_NOERROR;
}

MMRESULT waveOutClose(HWAVEOUT hwo) {
    if (!IsValid(hwo)) return MMSYSERR_INVALHANDLE;
    if (hwo->Head() != nullptr) return WAVERR_STILLPLAYING;
    hwo->StopConsumer();
    if (hwo->kind == WaveOutDevice::kPortAudio) {
        CQuietStderr quiet;
        Pa_CloseStream(hwo->pStream);
        Pa_Terminate();
    }
    if (hwo->bCapture) hwo->capture.Close();
    if (hwo->pfnCallback != nullptr) hwo->pfnCallback(hwo, WOM_CLOSE, hwo->dwInstance, 0, 0);
    delete hwo;
    return MMSYSERR_NOERROR;
}
