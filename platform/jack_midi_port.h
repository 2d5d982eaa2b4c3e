// MIDI on JACK. Out: a client "aerolyre-midi" with one output port "aerolyre". Messages cross to
// the server's process callback through a lock-free ring of our own, so a send never waits on
// the server: a ring with no room (a server that stalled or died) refuses the message, and the
// caller counts it. In: a client "aerolyre-midi-in" with one input port "aerolyre", whose
// process callback hands each message to a queue (the callback its only producer). A server that
// goes away is noticed through JACK's shutdown callback.
#pragma once

#include <jack/ringbuffer.h>
#include <jack/types.h>

#include <atomic>
#include <cstdint>
#include <string>

#include "platform/midi_event.h"

class CJackMidiPort {
public:
    // An output port, or with pInput an input port that feeds that queue.
    explicit CJackMidiPort(CMidiInQueue* pInput = nullptr) : m_pInput(pInput) {}
    // Closes the client, waiting at most the server-call limit for a server that is gone.
    ~CJackMidiPort();
    CJackMidiPort(const CJackMidiPort&) = delete;
    CJackMidiPort& operator=(const CJackMidiPort&) = delete;

    // Registers the client and port; false with the reason when no server runs.
    bool Open(std::string& strError);
    // Queues one message for the next cycle; false (and nothing queued) when the ring has no room
    // or the server is gone. Never waits.
    bool Send(const std::uint8_t* pBytes, std::size_t nSize);
    bool ServerGone() const { return m_bGone.load(std::memory_order_acquire); }

private:
    static int Process(std::uint32_t nFrames, void* pArg);
    static int ProcessInput(std::uint32_t nFrames, void* pArg);
    static void Shutdown(void* pArg);

    jack_client_t* m_pClient = nullptr;
    jack_port_t* m_pPort = nullptr;
    jack_ringbuffer_t* m_pRing = nullptr;
    CMidiInQueue* m_pInput = nullptr;
    std::atomic<bool> m_bGone{false};
};
