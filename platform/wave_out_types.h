// Records of the wave-output layer: the block header and the device handle. The header's
// dwUser is the block's ownership flag, written by the audio thread and by the device's done
// callback on another thread, so it is atomic.
#pragma once

#include <atomic>

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
