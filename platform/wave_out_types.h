// Records of the wave-output layer: result codes, the block header, the device handle and the
// done callback. The header's
// dwUser is the block's ownership flag, written by the audio thread and by the device's done
// callback on another thread, so it is atomic.
#pragma once

#include <atomic>
#include <cstddef>
#include <cstdint>

#include "platform/win_types.h"

struct WaveOutDevice;
using HWAVEOUT = WaveOutDevice*;

struct WAVEHDR {
    char* lpData;
    DWORD dwBufferLength;
    DWORD dwBytesRecorded;
    std::atomic<DWORD_PTR> dwUser;
    DWORD dwFlags;
    DWORD dwLoops;
    WAVEHDR* lpNext;
    DWORD_PTR reserved;
};

// Clears every field, as zeroing the header's memory would.
inline void ZeroWaveHeader(WAVEHDR& hdr) {
    hdr.lpData = nullptr;
    hdr.dwBufferLength = 0;
    hdr.dwBytesRecorded = 0;
    hdr.dwUser.store(0, std::memory_order_release);
    hdr.dwFlags = 0;
    hdr.dwLoops = 0;
    hdr.lpNext = nullptr;
    hdr.reserved = 0;
}

using MMRESULT = UINT;
constexpr MMRESULT MMSYSERR_NOERROR = 0;
constexpr MMRESULT MMSYSERR_ERROR = 1;
constexpr MMRESULT MMSYSERR_BADDEVICEID = 2;
constexpr MMRESULT MMSYSERR_ALLOCATED = 4;
constexpr MMRESULT MMSYSERR_INVALHANDLE = 5;
constexpr MMRESULT MMSYSERR_NODRIVER = 6;
constexpr MMRESULT MMSYSERR_INVALPARAM = 11;
constexpr MMRESULT WAVERR_BADFORMAT = 32;
constexpr MMRESULT WAVERR_STILLPLAYING = 33;
constexpr MMRESULT WAVERR_UNPREPARED = 34;

constexpr UINT WAVE_MAPPER = static_cast<UINT>(-1);
constexpr DWORD CALLBACK_FUNCTION = 0x00030000;
constexpr DWORD WAVE_ALLOWSYNC = 0x0002;

constexpr UINT WOM_OPEN = 0x3BB;
constexpr UINT WOM_CLOSE = 0x3BC;
constexpr UINT WOM_DONE = 0x3BD;

constexpr DWORD WHDR_DONE = 0x00000001;
constexpr DWORD WHDR_PREPARED = 0x00000002;
constexpr DWORD WHDR_INQUEUE = 0x00000010;

// The done callback: (device, message, instance, param1 = WAVEHDR* for WOM_DONE, param2).
using LPWAVECALLBACK = void (*)(HWAVEOUT, UINT, DWORD_PTR, DWORD_PTR, DWORD_PTR);
