// Holds one loud tone through a real sound device for a while, with the program's own session
// start, audio thread and device, and no window: what a player hears holding the pointer still.
// Optionally stalls the audio thread now and then, to make gaps the device must count.
//
//   hold_tone DEVICE BUFFER SECONDS [STALL_EVERY_MS STALL_FOR_MS]
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <thread>

#include "engine/audio_thread.h"
#include "engine/performance_state.h"
#include "engine/session.h"
#include "platform/message_service.h"
#include "platform/wave_out.h"
#include "tests/support/session_support.h"

namespace {

std::uint64_t g_nStallEvery = 0;  // samples
int g_nStallMs = 0;

void HoldThePointer(std::uint64_t nSample) {
    if (nSample == 0) {
        PerformanceState.dPointerX.store(0.45, std::memory_order_relaxed);
        PerformanceState.dPointerY.store(0.05, std::memory_order_relaxed);
    }
    // Not at the start: the first seconds are the device's to settle.
    if (g_nStallEvery != 0 && nSample > 0 && nSample % g_nStallEvery == 0)
        std::this_thread::sleep_for(std::chrono::milliseconds(g_nStallMs));
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 4 && argc != 6) {
        std::fprintf(stderr, "usage: hold_tone DEVICE BUFFER SECONDS [STALL_EVERY_MS STALL_FOR_MS]\n");
        return 2;
    }
    if (argc == 6) {
        g_nStallEvery = static_cast<std::uint64_t>(std::atoi(argv[4])) * 44100 / 1000;
        g_nStallMs = std::atoi(argv[5]);
    }
    SetWaveOutDevice(argv[1]);
    SessionSettings s = StartupSession();
    s.texts.strBuffer = argv[2];
    SetAudioSampleHook(&HoldThePointer);
    if (!StartSession(s, nullptr)) return 1;
    std::this_thread::sleep_for(std::chrono::milliseconds(static_cast<long>(std::atof(argv[3]) * 1000)));
    StopSession();  // logs the device's account of the session on stderr
    return 0;
}
