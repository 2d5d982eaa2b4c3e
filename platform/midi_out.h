// MIDI out: a virtual output port named "aerolyre" on the ALSA sequencer (through RtMidi) and,
// while a JACK server runs, on JACK MIDI (a client of our own). The audio thread's events arrive
// through a queue; a thread of the port's own sends each when its output sample is due to sound,
// so MIDI and sound line up. No port can hold the sender: a message a port cannot take at once
// is dropped and counted, and each session's count is reported when it ends.
#pragma once

#include <atomic>
#include <chrono>
#include <cstdint>
#include <memory>
#include <string>
#include <thread>

#include "platform/midi_event.h"

class RtMidiOut;
class CJackMidiPort;

class CMidiOut {
public:
    CMidiOut();
    // Stops the sender and closes the ports, within about a second whatever a server does.
    ~CMidiOut();
    CMidiOut(const CMidiOut&) = delete;
    CMidiOut& operator=(const CMidiOut&) = delete;

    // Opens the ports; false when none could be opened (strError says why).
    bool Open(std::string& strError);
    bool IsOpen() const { return m_pAlsa != nullptr || m_pJack != nullptr; }

    CMidiEventQueue& Queue() { return m_queue; }
    // A session starts: its sample 0 sounds after dLatencySeconds from now.
    void BeginSession(double dLatencySeconds);
    // A session has ended: waits (at most a moment) for its last messages to go out and returns
    // the line that reports what was sent and dropped since BeginSession.
    std::string EndSession();

private:
    void Run();
    // Sends one message to every port; counts a port that could not take it.
    void Send(const MidiEvent& e);

    std::unique_ptr<RtMidiOut> m_pAlsa;
    std::unique_ptr<CJackMidiPort> m_pJack;
    CMidiEventQueue m_queue;
    std::thread m_thread;
    std::atomic<bool> m_bStop{false};
    std::atomic<bool> m_bIdle{true};  // the sender holds no message
    std::atomic<long long> m_nStartNs{0};
    std::atomic<std::uint64_t> m_nSent{0};
    std::atomic<std::uint64_t> m_nDropped{0};
    std::size_t m_nQueueDroppedAtStart = 0;
    std::atomic<bool> m_bAlsaFailed{false};  // set by RtMidi's error callback
};
