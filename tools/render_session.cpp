// The render driver: the session's samples rendered on the caller's thread, the script's rows
// applied at their samples.
#include "tools/render_session.h"

#include "engine/audio_thread.h"
#include "engine/performance_state.h"

void ApplyGestureRow(const GestureRow& row) {
    PERFORMANCESTATE& ps = PerformanceState;
    // MIDI in's message, as its port would have queued it for this sample.
    if (row.nMidiSize > 0) {
        MidiEvent e;
        e.nSize = static_cast<std::uint8_t>(row.nMidiSize);
        for (int i = 0; i < 3; ++i) e.bytes[i] = row.midi[i];
        if (ps.apMidiIn[0] != nullptr) ps.apMidiIn[0]->TryPush(e);
        return;
    }
    if (row.nCorrection >= 0) {
        ps.bQuantiseOn.store(row.nCorrection == 1 && ps.pQuantiseTuning != nullptr,
                             std::memory_order_relaxed);
        return;
    }
    ps.dPointerX.store(row.dX, std::memory_order_relaxed);
    ps.dPointerY.store(row.dY, std::memory_order_relaxed);
    ps.dLeftClickFactor.store(row.bLeft ? ps.dLeftShiftRatio : 1.0, std::memory_order_relaxed);
    ps.dRightClickFactor.store(row.bRight ? ps.dRightShiftRatio : 1.0, std::memory_order_relaxed);
    ps.dModScale.store(row.dModScale, std::memory_order_relaxed);
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
    if (!PrepareSession(settings, askRecordPath)) return false;
    const std::uint64_t nTotal = rows.empty() ? 0 : rows.back().nSample;
    const auto nBlock = static_cast<std::size_t>(PerformanceState.nBlockSamples);
    // The samples go out a block at a time, as the device would get them; blocks of no samples
    // never reach a sample.
    std::vector<std::int16_t> block(nBlock);
    CSessionRenderer renderer;
    std::size_t nRow = 0;
    std::size_t nFill = 0;
    bool bMore = nBlock > 0;
    for (std::uint64_t n = 0; bMore && n < nTotal; ++n) {
        while (nRow < rows.size() && rows[nRow].nSample <= n) ApplyGestureRow(rows[nRow++]);
        // A failed accompaniment ends the session; the block it cut short is never played.
        if (!renderer.Next(block[nFill])) {
            nFill = 0;
            break;
        }
        if (++nFill == nBlock) {
            bMore = sink(block.data(), nFill);
            nFill = 0;
        }
    }
    if (bMore && nFill > 0) sink(block.data(), nFill);
    renderer.End();
    EndPreparedSession();
    return true;
}
