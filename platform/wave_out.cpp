// The wave-output functions over the device kinds: choice of the device by name, the block
// checks, queueing, reset and close.
#include "platform/wave_out.h"
#include "platform/sample_scale.h"

#include <atomic>
#include <cstdlib>
#include <optional>

#include "platform/message_service.h"
#include "platform/wave_device.h"

namespace {

std::optional<std::string> g_chosenDevice;
unsigned g_nBlockFrames = 0;
unsigned g_nBlocks = 0;
// Left by the closing thread, taken by the thread that joined it; exchanged, never locked.
std::atomic<std::string*> g_pReport{nullptr};

std::string ChosenDevice() {
    if (g_chosenDevice) return *g_chosenDevice;
    const char* pszDevice = std::getenv("AEROLYRE_WAVE_DEVICE");
    return pszDevice != nullptr ? pszDevice : "";
}

std::unique_ptr<WaveOutDevice> OpenChosenDevice() {
    const std::string strDevice = ChosenDevice();
    std::string strError;
    std::unique_ptr<WaveOutDevice> pDevice;
    if (strDevice == "null") {
        pDevice = OpenPacedDevice(nullptr, strError);
    } else if (strDevice.rfind("capture:", 0) == 0) {
        const std::string strPath = strDevice.substr(8);
        pDevice = OpenPacedDevice(&strPath, strError);
    } else {
        pDevice = OpenPortAudioDevice(strDevice, g_nBlockFrames, g_nBlocks, strError);
    }
    if (!pDevice) {
        LogLine("cannot open the sound device \"" + (strDevice.empty() ? "default" : strDevice) +
                "\": " + strError);
    }
    return pDevice;
}

bool IsValid(HWAVEOUT hwo) { return hwo != nullptr; }

}  // namespace

void SetWaveOutDevice(const std::string& strName) { g_chosenDevice = strName; }

void ClearWaveOutDevice() { g_chosenDevice.reset(); }

void SetWaveOutRingHint(unsigned nBlockFrames, unsigned nBlocks) {
    g_nBlockFrames = nBlockFrames;
    g_nBlocks = nBlocks;
}

bool WaveOutPlaysInRealTime(HWAVEOUT hwo) { return IsValid(hwo) && hwo->PlaysInRealTime(); }

std::vector<std::string> ListWaveOutDevices() {
    std::vector<std::string> names = ListPortAudioDevices();
    names.push_back("null");
    return names;
}

std::string TakeWaveOutReport() {
    std::unique_ptr<std::string> pReport(g_pReport.exchange(nullptr, std::memory_order_acq_rel));
    return pReport ? *pReport : std::string();
}

MMRESULT waveOutOpen(HWAVEOUT* phwo, UINT uDeviceID, const WAVEFORMATEX* pwfx, DWORD_PTR dwCallback,
                     DWORD_PTR dwInstance, DWORD fdwOpen) {
    if (phwo == nullptr || pwfx == nullptr) return MMSYSERR_INVALPARAM;
    *phwo = nullptr;
    if (uDeviceID != WAVE_MAPPER) return MMSYSERR_BADDEVICEID;
    if (pwfx->wFormatTag != WAVE_FORMAT_PCM || pwfx->nChannels != 1 || pwfx->nSamplesPerSec != kSampleRate ||
        pwfx->wBitsPerSample != 16 || pwfx->nBlockAlign != 2) {
        return WAVERR_BADFORMAT;
    }

    std::unique_ptr<WaveOutDevice> pDevice = OpenChosenDevice();
    if (!pDevice) return MMSYSERR_NODRIVER;
    if ((fdwOpen & CALLBACK_FUNCTION) == CALLBACK_FUNCTION) {
        pDevice->pfnCallback = reinterpret_cast<LPWAVECALLBACK>(dwCallback);
    }
    pDevice->dwInstance = dwInstance;
    if (!pDevice->StartConsumer()) {
        LogLine("the sound device \"" + ChosenDevice() + "\" would not start");
        return MMSYSERR_NODRIVER;
    }
    *phwo = pDevice.release();
    if ((*phwo)->pfnCallback != nullptr) (*phwo)->pfnCallback(*phwo, WOM_OPEN, dwInstance, 0, 0);
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
    if (hwo->Failed()) return MMSYSERR_NODRIVER;

    pwh->dwFlags = (pwh->dwFlags & ~WHDR_DONE) | WHDR_INQUEUE;
    if (!hwo->Push(pwh)) {
        pwh->dwFlags &= ~WHDR_INQUEUE;
        return MMSYSERR_ERROR;
    }
    hwo->Queued();
    if (!hwo->StartConsumer()) return MMSYSERR_NODRIVER;  // after a reset
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
    if (std::string strReport = hwo->Report(); !strReport.empty()) {
        delete g_pReport.exchange(new std::string(std::move(strReport)), std::memory_order_acq_rel);
    }
    if (hwo->pfnCallback != nullptr) hwo->pfnCallback(hwo, WOM_CLOSE, hwo->dwInstance, 0, 0);
    delete hwo;
    return MMSYSERR_NOERROR;
}
