// Cost of the engine per output sample: at 44100 and 48000 samples a second, over-cycle x1 and
// x16, without and with the filter stage's two 44100-tap filters; and the LV2 plugin's run() in
// 64-frame blocks, loaded from its bundle as a host loads it, against the engine it wraps.
#include <benchmark/benchmark.h>
#include <dlfcn.h>
#include <lv2/core/lv2.h>
#include <lv2/urid/urid.h>
#include <lv2/worker/worker.h>

#include <map>
#include <random>
#include <string>
#include <vector>

#include "bench/random_taps.h"
#include "engine/audio_thread.h"
#include "engine/engine.h"
#include "engine/performance_state.h"
#include "engine/session.h"
#include "engine/tone_texts.h"
#include "filter/fir_filter.h"

namespace {

EngineSettings Settings(double dRate, int nOverCycleIndex) {
    EngineSettings s;
    s.params = Derive(StartupParameterTexts(), 0, kOverCycleItemData[nOverCycleIndex]).values;
    s.dRate = dRate;
    return s;
}

// args: rate, over-cycle index (0 = x1, 4 = x16), filters (0 none, 1 two of 44100 taps).
void BM_EnginePerSample(benchmark::State& state) {
    const auto dRate = static_cast<double>(state.range(0));
    CEngine engine;
    engine.Prepare(Settings(dRate, static_cast<int>(state.range(1))));
    CFirFilter f1, f2;
    if (state.range(2) != 0) {
        const std::vector<float> t1 = RandomTaps(44100, 1), t2 = RandomTaps(44100, 2);
        f1.SetTaps(t1.data(), 44100);
        f2.SetTaps(t2.data(), 44100);
        if (!engine.BuildFilter({1, &f1, &f2, 100, 100, 1, 50})) state.SkipWithError("no memory");
    }
    EngineEvent e;
    e.dX = 0.4, e.dY = 0.2;
    engine.Apply(e);
    double v = 0;
    for (auto _ : state) {
        engine.Render(&v, 1, nullptr, 0);
        benchmark::DoNotOptimize(v);
    }
    state.SetItemsProcessed(state.iterations());
    state.SetLabel(std::to_string(state.range(0)) + " Hz, x" + std::to_string(1 << state.range(1)) +
                   (state.range(2) != 0 ? ", two 44100-tap filters" : ""));
}

// The engine in 64-sample blocks, as the plugin runs it.
void BM_EngineBlocksOf64(benchmark::State& state) {
    CEngine engine;
    engine.Prepare(Settings(44100, 0));
    EngineEvent e;
    e.dX = 0.4, e.dY = 0.2;
    engine.Apply(e);
    double out[64];
    for (auto _ : state) {
        engine.Render(out, 64, nullptr, 0);
        benchmark::DoNotOptimize(out[0]);
    }
    state.SetItemsProcessed(64 * state.iterations());
}

// The plugin's run() in 64-frame blocks.
LV2_URID MapUri(LV2_URID_Map_Handle, const char* uri) {
    static std::map<std::string, LV2_URID> ids;
    return ids.emplace(uri, static_cast<LV2_URID>(ids.size() + 1)).first->second;
}

void BM_PluginRunBlocksOf64(benchmark::State& state) {
    void* pLib = dlopen(AEROLYRE_LV2_BINARY, RTLD_NOW | RTLD_LOCAL);
    if (pLib == nullptr) {
        state.SkipWithError("the plugin is not built");
        return;
    }
    const auto descriptorOf = reinterpret_cast<LV2_Descriptor_Function>(dlsym(pLib, "lv2_descriptor"));
    const LV2_Descriptor* d = descriptorOf(0);
    LV2_URID_Map map = {nullptr, MapUri};
    const LV2_Feature mapFeature = {LV2_URID__map, &map};
    // The filter stays off, so the worker is never asked for anything.
    LV2_Worker_Schedule schedule = {nullptr, [](LV2_Worker_Schedule_Handle, std::uint32_t, const void*) {
                                        return LV2_WORKER_ERR_NO_SPACE;
                                    }};
    const LV2_Feature scheduleFeature = {LV2_WORKER__schedule, &schedule};
    const LV2_Feature* features[] = {&mapFeature, &scheduleFeature, nullptr};
    LV2_Handle h = d->instantiate(d, 44100, "", features);
    // Ports: out, x, y, left, right, then the tone settings at their defaults, then MIDI in.
    float out[64];
    float controls[16] = {0, 0.4f, 0.2f, 0, 0, 5, 1, 20, 2, 5, 0, 0, 0, 0, 0, 0};
    alignas(8) std::uint32_t midi[4] = {8, MapUri(nullptr, "http://lv2plug.in/ns/ext/atom#Sequence"), 0, 0};
    d->connect_port(h, 0, out);
    for (std::uint32_t p = 1; p < 15; ++p) d->connect_port(h, p, &controls[p]);
    d->connect_port(h, 15, midi);
    d->activate(h);
    for (auto _ : state) {
        d->run(h, 64);
        benchmark::DoNotOptimize(out[0]);
    }
    state.SetItemsProcessed(64 * state.iterations());
    d->cleanup(h);
    dlclose(pLib);
}

}  // namespace

// The render tool's work per sample: the session's renderer (pointer fields, engine, clamp and
// store) on the caller's thread, as aerolyre-render runs it.
void BM_RenderToolPerSample(benchmark::State& state) {
    InitPerformanceState();
    SessionSettings s;
    s.texts = StartupParameterTexts();
    s.dwOverCycleData = kOverCycleItemData[0];
    s.strCache = "64";
    if (!PrepareSession(s, nullptr)) {
        state.SkipWithError("the session did not start");
        return;
    }
    {
        CSessionRenderer renderer;
        PerformanceState.dPointerX.store(0.4);
        PerformanceState.dPointerY.store(0.2);
        std::int16_t n = 0;
        for (auto _ : state) {
            renderer.Next(n);
            benchmark::DoNotOptimize(n);
        }
        renderer.End();
    }
    EndPreparedSession();
    state.SetItemsProcessed(state.iterations());
}

BENCHMARK(BM_EnginePerSample)->ArgsProduct({{44100, 48000}, {0, 4}, {0, 1}});
BENCHMARK(BM_RenderToolPerSample);
BENCHMARK(BM_EngineBlocksOf64);
BENCHMARK(BM_PluginRunBlocksOf64);
