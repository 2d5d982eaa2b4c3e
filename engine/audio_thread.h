// The audio thread of a play session: renders a ring of 16 output blocks sample by sample
// (voice, filter stage, accompaniment mix, recording tap, clamp and store) and queues each to the
// wave output as soon as the device has given it back. Releases everything the session holds
// when it ends.
#pragma once

#include <cstdint>
#include <memory>

#include "platform/wave_out.h"

// Thread function; its parameter is ignored. The session start counts the thread as live
// (nActiveThreads = 1) before creating it; the thread's last act is to subtract 1.
void AudioThreadProc(void* pParam);

// Releases what a session holds, in this order: the wave output (reset first and its blocks
// taken back when blocks were queued), the blocks' memory, the filter stage, the accompaniment
// reader (which shows a waiting error text) and the recording writer (which completes its file).
// The audio thread's teardown and a failed start both end here.
void ReleaseSessionResources(bool bBlocksQueued);

// The wave output's function callback: frees a block (dwUser = 0) when the device is done with it.
void WaveOutDoneProc(HWAVEOUT hwo, UINT uMsg, DWORD_PTR dwInstance, DWORD_PTR dwParam1, DWORD_PTR dwParam2);

// Called by the audio thread before each output sample with the sample's index from the start of
// the session. The render tool drives the pointer with it; the program installs none. Set it
// only while no audio thread runs.
using AudioSampleHook = void (*)(std::uint64_t nSample);
void SetAudioSampleHook(AudioSampleHook pfnHook);

// A session's per-sample work, shared by the audio thread and the render tool: the engine
// prepared from the shared record of a prepared session (and the pointer put at rest, unless the
// driver did that already); then one output sample after another: the pointer or MIDI, the take's
// row, the engine, the accompaniment mix, the recording tap, the clamp.
class CSessionRenderer {
public:
    explicit CSessionRenderer(bool bPointerAtRest = true);
    ~CSessionRenderer();
    CSessionRenderer(const CSessionRenderer&) = delete;
    CSessionRenderer& operator=(const CSessionRenderer&) = delete;

    // The next output sample; false when the session must end (its accompaniment failed).
    bool Next(std::int16_t& nOut);
    // The end of play: MIDI's last messages and the take's last row.
    void End();

private:
    struct State;
    std::unique_ptr<State> m_pState;
};
