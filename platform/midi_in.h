// MIDI in: a virtual input port named "aerolyre" on the ALSA sequencer (through RtMidi) and,
// while a JACK server runs, on JACK MIDI (a client of our own). Each port's thread hands the
// channel messages it receives to a queue of its own, which the audio thread drains while a
// session plays; between sessions the queues fill and drop, and a session starts with them empty.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "platform/midi_event.h"

class RtMidiIn;
class CJackMidiPort;

class CMidiIn {
public:
    CMidiIn();
    // Closes the ports, within about a second whatever a server does.
    ~CMidiIn();
    CMidiIn(const CMidiIn&) = delete;
    CMidiIn& operator=(const CMidiIn&) = delete;

    // Opens the ports; false when none could be opened (strError says why).
    bool Open(std::string& strError);
    bool IsOpen() const { return m_pAlsa != nullptr || m_pJack != nullptr; }

    // Before a session's audio thread starts: drops what came in since the last.
    void BeginSession();
    // The queue of port 0 (ALSA) or 1 (JACK), for the audio thread.
    CMidiInQueue* Queue(int nPort) { return &m_aQueue[nPort]; }

private:
    static void OnAlsaMessage(double dDelta, std::vector<unsigned char>* pMessage, void* pArg);

    CMidiInQueue m_aQueue[2];
    std::unique_ptr<RtMidiIn> m_pAlsa;
    std::unique_ptr<CJackMidiPort> m_pJack;
};
