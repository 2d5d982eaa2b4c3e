// The JACK MIDI client: the ring's writer (the MIDI sender thread) and its reader (the server's
// process callback), and a close that cannot hang on a dead server.
#include "platform/jack_midi_port.h"

#include <jack/jack.h>
#include <jack/midiport.h>
#include <jack/ringbuffer.h>

#include "platform/bounded_call.h"

namespace {

// Room for about a second of the densest stream the encoder makes; the server empties it every
// period, so it fills only when the server has stopped.
constexpr std::size_t kRingBytes = 1 << 15;
// Each message in the ring: its length in one byte, then its bytes (at most 3).
constexpr std::size_t kMaxMessage = 3;

}  // namespace

CJackMidiPort::~CJackMidiPort() {
    if (m_pClient == nullptr) return;
    jack_client_t* pClient = m_pClient;
    const bool bClosed = CallWithTimeLimit([pClient] { jack_client_close(pClient); }, kServerCallLimit);
    // A close that did not return may still be inside the process callback's world: the ring
    // stays allocated for it.
    if (bClosed && m_pRing != nullptr) jack_ringbuffer_free(m_pRing);
}

bool CJackMidiPort::Open(std::string& strError) {
    jack_status_t status{};
    m_pClient = jack_client_open(m_pInput != nullptr ? "aerolyre-midi-in" : "aerolyre-midi",
                                 JackNoStartServer, &status);
    if (m_pClient == nullptr) {
        strError = "JACK: no server is running";
        return false;
    }
    if (m_pInput == nullptr) m_pRing = jack_ringbuffer_create(kRingBytes);
    m_pPort = jack_port_register(m_pClient, "aerolyre", JACK_DEFAULT_MIDI_TYPE,
                                 m_pInput != nullptr ? JackPortIsInput : JackPortIsOutput, 0);
    if ((m_pInput == nullptr && m_pRing == nullptr) || m_pPort == nullptr ||
        jack_set_process_callback(m_pClient, m_pInput != nullptr ? &ProcessInput : &Process, this) != 0) {
        strError = "JACK: the MIDI port could not be made";
        return false;
    }
    jack_on_shutdown(m_pClient, &Shutdown, this);
    if (jack_activate(m_pClient) != 0) {
        strError = "JACK: the MIDI client could not be activated";
        return false;
    }
    return true;
}

bool CJackMidiPort::Send(const std::uint8_t* pBytes, std::size_t nSize) {
    if (ServerGone() || nSize == 0 || nSize > kMaxMessage) return false;
    if (jack_ringbuffer_write_space(m_pRing) < 1 + nSize) return false;
    char frame[1 + kMaxMessage];
    frame[0] = static_cast<char>(nSize);
    for (std::size_t i = 0; i < nSize; ++i) frame[1 + i] = static_cast<char>(pBytes[i]);
    // One write, so the callback never sees a length without its bytes.
    jack_ringbuffer_write(m_pRing, frame, 1 + nSize);
    return true;
}

int CJackMidiPort::Process(std::uint32_t nFrames, void* pArg) {
    auto* self = static_cast<CJackMidiPort*>(pArg);
    void* pBuffer = jack_port_get_buffer(self->m_pPort, nFrames);
    jack_midi_clear_buffer(pBuffer);
    char frame[1 + kMaxMessage];
    // Everything waiting goes out at the start of the cycle; what the port's buffer cannot take
    // waits for the next one.
    while (jack_ringbuffer_peek(self->m_pRing, frame, 1) == 1) {
        const std::size_t nSize = static_cast<unsigned char>(frame[0]);
        if (jack_ringbuffer_read_space(self->m_pRing) < 1 + nSize) break;
        jack_midi_data_t* pOut = jack_midi_event_reserve(pBuffer, 0, nSize);
        if (pOut == nullptr) break;
        jack_ringbuffer_read(self->m_pRing, frame, 1 + nSize);
        for (std::size_t i = 0; i < nSize; ++i) pOut[i] = static_cast<jack_midi_data_t>(frame[1 + i]);
    }
    return 0;
}

int CJackMidiPort::ProcessInput(std::uint32_t nFrames, void* pArg) {
    auto* self = static_cast<CJackMidiPort*>(pArg);
    void* pBuffer = jack_port_get_buffer(self->m_pPort, nFrames);
    const std::uint32_t nEvents = jack_midi_get_event_count(pBuffer);
    for (std::uint32_t i = 0; i < nEvents; ++i) {
        jack_midi_event_t event;
        if (jack_midi_event_get(&event, pBuffer, i) != 0) continue;
        // The voice takes channel messages only; system messages and SysEx pass it by.
        if (event.size < 1 || event.size > kMaxMessage || event.buffer[0] >= 0xF0) continue;
        MidiEvent e;
        e.nSize = static_cast<std::uint8_t>(event.size);
        for (std::size_t k = 0; k < event.size; ++k) e.bytes[k] = event.buffer[k];
        self->m_pInput->TryPush(e);  // a full queue (no session draining it) drops
    }
    return 0;
}

void CJackMidiPort::Shutdown(void* pArg) {
    static_cast<CJackMidiPort*>(pArg)->m_bGone.store(true, std::memory_order_release);
}
