// Renders a play session without a board, a sound card or an audio thread: the gesture script
// drives the pointer sample by sample, and the session's per-sample work runs on the caller's
// thread, exactly as the audio thread would run it.
#pragma once

#include <cstdint>
#include <functional>
#include <vector>

#include "engine/session.h"
#include "tools/gesture_script.h"

// Starts the session with these settings, renders exactly rows.back().nSample output samples
// (none when blocks hold no samples) and ends it. Returns false when the session did not start;
// its message has then been shown.
bool RenderSession(const SessionSettings& settings, const std::vector<GestureRow>& rows,
                   const RecordPathQuery& askRecordPath, std::vector<std::int16_t>& samples);

// The same, handing the samples to a sink a block at a time as they are rendered, so memory
// stays constant however long the script. The sink returns false to end the render early.
using RenderSink = std::function<bool(const std::int16_t* pSamples, std::size_t nCount)>;
bool RenderSession(const SessionSettings& settings, const std::vector<GestureRow>& rows,
                   const RecordPathQuery& askRecordPath, const RenderSink& sink);

// Sets the pointer fields from one script row, the buttons as the board's press and release do.
void ApplyGestureRow(const GestureRow& row);
