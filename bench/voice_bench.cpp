// Cost of the synthesis voice per output sample.
#include <benchmark/benchmark.h>

#include "engine/parameter_derivation.h"
#include "engine/performance_parameters.h"
#include "engine/performance_state.h"
#include "engine/voice.h"

namespace {

void StartVoice(CVoice& voice, int nOverCycleIndex) {
    InitPerformanceState();
    ParameterTexts t{"400", "5", "1", "20", "2", "5", "0", "0", "0"};
    DeriveParameters(t, 0, kOverCycleItemData[nOverCycleIndex]);
    voice.Start(VoiceParamsOf(PerformanceState));
}

void BM_VoicePerSample(benchmark::State& state) {
    CVoice voice;
    StartVoice(voice, static_cast<int>(state.range(0)));
    const VoiceInput in{0.4, 0.2, 1.0, 1.0, false};
    for (auto _ : state) benchmark::DoNotOptimize(voice.NextSample(in));
    state.SetItemsProcessed(state.iterations());
    state.SetLabel("x" + std::to_string(1 << state.range(0)));
}

}  // namespace

BENCHMARK(BM_VoicePerSample)->Arg(0)->Arg(4);
