// Helpers for tests that run play sessions.
#pragma once

#include <chrono>
#include <cstdlib>
#include <string>
#include <thread>
#include <vector>

#include "engine/performance_state.h"
#include "engine/session.h"
#include "tools/gesture_script.h"
#include "tools/render_session.h"

// The main dialog's settings at start-up, as a session reads them.
inline SessionSettings StartupSession() {
    InitPerformanceState();
    SessionSettings s;
    s.texts = StartupParameterTexts();
    s.dwOverCycleData = kOverCycleItemData[0];
    s.strCache = "64";
    return s;
}

inline RecordPathQuery RecordTo(const std::string& path) {
    return [path](std::string& strPath) {
        strPath = path;
        return true;
    };
}

// Pointer at (x, y) from sample 0 on, for nSamples samples.
inline std::vector<GestureRow> Hold(double x, double y, std::uint64_t nSamples, bool bLeft = false) {
    return {{0, x, y, bLeft, false}, {nSamples, x, y, bLeft, false}};
}

// Waits until the audio thread has ended by itself, up to a limit; true when it has.
inline bool WaitForThreadEnd(std::chrono::milliseconds limit) {
    const auto deadline = std::chrono::steady_clock::now() + limit;
    while (PerformanceState.nActiveThreads.load() != 0) {
        if (std::chrono::steady_clock::now() > deadline) return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    return true;
}

// Chooses the wave device for sessions started while it lives.
class WaveDeviceEnv {
public:
    explicit WaveDeviceEnv(const std::string& device) { ::setenv("AEROLYRE_WAVE_DEVICE", device.c_str(), 1); }
    ~WaveDeviceEnv() { ::unsetenv("AEROLYRE_WAVE_DEVICE"); }
};

// Every session resource is released and no thread is live.
inline bool NothingHeld() {
    const PERFORMANCESTATE& ps = PerformanceState;
    return ps.nActiveThreads.load() == 0 && ps.hWaveOut == nullptr && ps.pSamples == nullptr &&
           ps.pAccompReader == nullptr && ps.pRecordWriter == nullptr && ps.pFirStage1 == nullptr &&
           ps.pFirStage2 == nullptr && ps.pFirDelayLine == nullptr;
}
