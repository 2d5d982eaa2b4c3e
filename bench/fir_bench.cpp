// Cost of the FIR filter stage per output sample, beside a plain scalar direct-form loop doing the
// same two sums. Real-time factor = audio seconds per CPU second = 1 / (seconds per sample × 44100).
#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>
#include <memory>
#include <random>
#include <vector>

#include "bench/random_taps.h"
#include "filter/fir_filter.h"
#include "filter/fir_kernel.h"
#include "filter/fir_stage.h"
#include "platform/sample_scale.h"

// The stage the tests build, one at a time, as a session holds one.
namespace {
FirStageState g_stage;
}  // namespace

namespace {

void SetRealTimeCounter(benchmark::State& state) {
    state.counters["realtime_x"] = benchmark::Counter(static_cast<double>(state.iterations()) / kSampleRate,
                                                      benchmark::Counter::kIsRate);
}

// Builds the stage with two filters of nTaps random taps (identity for 1).
struct BenchStage {
    CFirFilter f1, f2;
    BenchStage(int nTaps, int nFeedback, int nThreshold = kDefaultFirPartitionThreshold) {
        const std::vector<float> t1 = RandomTaps(nTaps, 1), t2 = RandomTaps(nTaps, 2);
        if (nTaps > 1) {
            f1.SetTaps(t1.data(), nTaps);
            f2.SetTaps(t2.data(), nTaps);
        }
        FirStageSettings s;
        s.nCheckFir = 1;
        s.pFilter1 = &f1;
        s.pFilter2 = &f2;
        s.nFirFeedback = nFeedback;
        s.nFirDelay = 1;
        s.nPartitionThreshold = nThreshold;
        BuildFirStage(s, g_stage);
    }
    ~BenchStage() { ReleaseFirStage(g_stage); }
};

// args: taps per filter, feedback percent, kernel (0 direct form, 1 partitioned above the
// default threshold).
void BM_FirStagePerSample(benchmark::State& state) {
    const int nTaps = static_cast<int>(state.range(0));
    state.SetLabel(state.range(2) != 0 ? "partitioned" : "direct form");
    BenchStage stage(nTaps, static_cast<int>(state.range(1)),
                     state.range(2) != 0 ? kDefaultFirPartitionThreshold : 1 << 30);
    int nPos = 0;
    double x = 0.0;
    std::uint32_t noise = 1;
    for (auto _ : state) {
        noise = noise * 1664525u + 1013904223u;
        x = static_cast<double>(static_cast<std::int32_t>(noise) >> 17);
        benchmark::DoNotOptimize(ProcessFirStage(g_stage, x, nPos));
    }
    SetRealTimeCounter(state);
}

// Single calls over ten seconds of samples through two 44100-tap filters with feedback: what one
// output block can be held up by. worst_call_ns is the median over 4096-sample windows of each
// window's longest call, so it shows the kernel's structural bursts and not a preemption;
// max_call_ns is the longest call of all.
void BM_FirStageWorstCall(benchmark::State& state) {
    constexpr int kWindow = 4096;
    BenchStage stage(44100, 50);
    int nPos = 0;
    std::uint32_t noise = 1;
    std::vector<double> windowWorst;
    double worst = 0;
    for (auto _ : state) {
        double windowMax = 0;
        for (int i = 0; i < 10 * kSampleRate; ++i) {
            noise = noise * 1664525u + 1013904223u;
            const double x = static_cast<double>(static_cast<std::int32_t>(noise) >> 17);
            const auto t0 = std::chrono::steady_clock::now();
            benchmark::DoNotOptimize(ProcessFirStage(g_stage, x, nPos));
            const double ns =
                std::chrono::duration<double, std::nano>(std::chrono::steady_clock::now() - t0).count();
            windowMax = std::max(windowMax, ns);
            worst = std::max(worst, ns);
            if ((i + 1) % kWindow == 0) {
                windowWorst.push_back(windowMax);
                windowMax = 0;
            }
        }
    }
    std::nth_element(windowWorst.begin(), windowWorst.begin() + windowWorst.size() / 2, windowWorst.end());
    state.counters["worst_call_ns"] = windowWorst[windowWorst.size() / 2];
    state.counters["max_call_ns"] = worst;
}

// The same two N-tap sums per sample as a plain scalar loop over a doubled history.
void BM_ScalarDirectFormPerSample(benchmark::State& state) {
    const int n = static_cast<int>(state.range(0));
    const std::vector<float> h1 = RandomTaps(n, 1), h2 = RandomTaps(n, 2);
    std::vector<float> x1(2 * n, 0.0f), x2(2 * n, 0.0f);
    int p = 0;
    std::uint32_t noise = 1;
    for (auto _ : state) {
        noise = noise * 1664525u + 1013904223u;
        const auto in = static_cast<float>(static_cast<std::int32_t>(noise) >> 17);
        x1[p] = x1[p + n] = in;
        float y1 = 0.0f;
        for (int k = 0; k < n; ++k) y1 += h1[k] * x1[p + k];
        x2[p] = x2[p + n] = y1;
        float y2 = 0.0f;
        for (int k = 0; k < n; ++k) y2 += h2[k] * x2[p + k];
        benchmark::DoNotOptimize(y2);
        p = p == 0 ? n - 1 : p - 1;
    }
    SetRealTimeCounter(state);
}

}  // namespace

BENCHMARK(BM_FirStagePerSample)
    ->ArgNames({"taps", "feedback", "partitioned"})
    ->Args({1, 0, 1})
    ->Args({1000, 0, 1})
    ->Args({4096, 0, 0})
    ->Args({4096, 0, 1})
    ->Args({44100, 50, 0})
    ->Args({44100, 50, 1});
BENCHMARK(BM_FirStageWorstCall)->Iterations(1)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ScalarDirectFormPerSample)->ArgName("taps")->Arg(1000)->Arg(44100);
