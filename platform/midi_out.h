// MIDI out through RtMidi: a virtual output port named "aerolyre" on the ALSA sequencer and, while
// a JACK server runs, on JACK MIDI. The audio thread's events arrive through a queue; a thread of
// the port's own sends each when its output sample is due to sound, so MIDI and sound line up.
#pragma once

#include <atomic>
#include <chrono>
#include <cstdint>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "platform/spsc_queue.h"

struct MidiEvent {
    std::uint64_t nSample = 0;
    std::uint8_t nSize = 0;
    std::uint8_t bytes[3] = {};
};

using CMidiEventQueue = CSpscQueue<MidiEvent, 16384>;

class RtMidiOut;

class CMidiOut {
public:
    CMidiOut();
    ~CMidiOut();
    CMidiOut(const CMidiOut&) = delete;
    CMidiOut& operator=(const CMidiOut&) = delete;

    // Opens the ports; false when none could be opened (strError says why).
    bool Open(std::string& strError);
    bool IsOpen() const { return !m_ports.empty(); }

    CMidiEventQueue& Queue() { return m_queue; }
    // A session starts: its sample 0 sounds after dLatencySeconds from now.
    void BeginSession(double dLatencySeconds);

private:
    void Run();

    std::vector<std::unique_ptr<RtMidiOut>> m_ports;
    CMidiEventQueue m_queue;
    std::thread m_thread;
    std::atomic<bool> m_bStop{false};
    std::atomic<long long> m_nStartNs{0};
};
