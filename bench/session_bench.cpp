// How long ending a session takes: the board's close with no thread left, and a stop while the
// audio thread waits for a free block (its 10 ms wake-up plus the 100 ms teardown pause).
#include <benchmark/benchmark.h>

#include <chrono>
#include <thread>

#include "engine/parameter_derivation.h"
#include "engine/performance_state.h"
#include "engine/session.h"
#include "platform/message_service.h"
#include "platform/wave_out.h"

namespace {

using Clock = std::chrono::steady_clock;

void BM_StopWithTheThreadAlreadyGone(benchmark::State& state) {
    InitPerformanceState();
    for (auto _ : state) {
        PerformanceState.bRunning.store(1);
        StopSession();
    }
}

// Blocks of 5000 samples on a device that plays them in real time: the ring is full at once and
// the thread sleeps in its wait for a block when the stop comes.
void BM_StopWhileWaitingForAFreeBlock(benchmark::State& state) {
    InitPerformanceState();
    SetMessageSink([](const std::string&, MessageIcon) {});
    SetWaveOutDevice("null");
    SessionSettings s;
    s.texts = StartupParameterTexts();
    s.texts.strBuffer = "10000";
    s.dwOverCycleData = kOverCycleItemData[0];
    s.strCache = "64";
    for (auto _ : state) {
        if (!StartSession(s, nullptr)) {
            state.SkipWithError("the session did not start");
            break;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(200));
        const auto t0 = Clock::now();
        StopSession();
        state.SetIterationTime(std::chrono::duration<double>(Clock::now() - t0).count());
    }
    ClearWaveOutDevice();
}

}  // namespace

BENCHMARK(BM_StopWithTheThreadAlreadyGone)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_StopWhileWaitingForAFreeBlock)->UseManualTime()->Iterations(5)->Unit(benchmark::kMillisecond);
