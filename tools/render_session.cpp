// The render driver: sample hook, immediate device, and the wait for the session's end.
#include "tools/render_session.h"

#include <algorithm>

#include "engine/audio_thread.h"
#include "engine/performance_state.h"
#include "platform/wave_out.h"

namespace {

// What the audio thread renders, and where the script stands. Touched only by the audio thread
// while it runs, and by RenderSession before and after.
struct Render {
    const std::vector<GestureRow>* pRows = nullptr;
    std::size_t nNextRow = 0;
    std::uint64_t nTotal = 0;
    std::uint64_t nDelivered = 0;
    const RenderSink* pSink = nullptr;
} g_render;

// Hands on what is still wanted of these samples; ends the session at the script's end or when
// the sink refuses.
void Deliver(const std::int16_t* pSamples, std::size_t nCount) {
    const auto nTake =
        static_cast<std::size_t>(std::min<std::uint64_t>(nCount, g_render.nTotal - g_render.nDelivered));
    g_render.nDelivered += nTake;
    const bool bMore = nTake == 0 || (*g_render.pSink)(pSamples, nTake);
    if (!bMore || g_render.nDelivered >= g_render.nTotal)
        PerformanceState.bRunning.store(0, std::memory_order_release);
}

// Before each output sample: apply the rows that start here; at the end, take the samples of the
// block being filled (it is never queued) and stop.
void OnSample(std::uint64_t nSample) {
    const std::vector<GestureRow>& rows = *g_render.pRows;
    while (g_render.nNextRow < rows.size() && rows[g_render.nNextRow].nSample <= nSample) {
        ApplyGestureRow(rows[g_render.nNextRow++]);
    }
    if (nSample == g_render.nTotal) {
        PERFORMANCESTATE& ps = PerformanceState;
        const auto n = static_cast<std::uint64_t>(ps.nBlockSamples);
        const std::int16_t* pBlock = ps.pSamples + ((nSample / n) % kBlockCount) * n;
        Deliver(pBlock, nSample % n);
        ps.bRunning.store(0, std::memory_order_release);
    }
}

void OnBlock(const std::int16_t* pSamples, std::size_t nCount) {
    Deliver(pSamples, nCount);
    // Blocks of no samples never reach a sample: end after the first.
    if (nCount == 0) PerformanceState.bRunning.store(0, std::memory_order_release);
}

}  // namespace

void ApplyGestureRow(const GestureRow& row) {
    PERFORMANCESTATE& ps = PerformanceState;
    if (row.nCorrection >= 0) {
        ps.bQuantiseOn.store(row.nCorrection == 1 && ps.pQuantiseTuning != nullptr,
                             std::memory_order_relaxed);
        return;
    }
    ps.dPointerX.store(row.dX, std::memory_order_relaxed);
    ps.dPointerY.store(row.dY, std::memory_order_relaxed);
    ps.dLeftClickFactor.store(row.bLeft ? ps.dLeftShiftRatio : 1.0, std::memory_order_relaxed);
    ps.dRightClickFactor.store(row.bRight ? ps.dRightShiftRatio : 1.0, std::memory_order_relaxed);
}

bool RenderSession(const SessionSettings& settings, const std::vector<GestureRow>& rows,
                   const RecordPathQuery& askRecordPath, std::vector<std::int16_t>& samples) {
    samples.clear();
    return RenderSession(settings, rows, askRecordPath, [&samples](const std::int16_t* p, std::size_t n) {
        samples.insert(samples.end(), p, p + n);
        return true;
    });
}

bool RenderSession(const SessionSettings& settings, const std::vector<GestureRow>& rows,
                   const RecordPathQuery& askRecordPath, const RenderSink& sink) {
    g_render = Render{&rows, 0, rows.empty() ? 0 : rows.back().nSample, 0, &sink};

    SetImmediateWaveDevice(OnBlock);
    SetAudioSampleHook(OnSample);
    const bool bStarted = StartSession(settings, askRecordPath);
    // The session ends itself once the script's last sample is rendered.
    if (bStarted) WaitForAudioThread();
    SetAudioSampleHook(nullptr);
    SetImmediateWaveDevice(nullptr);
    return bStarted;
}
