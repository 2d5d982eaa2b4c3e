// The MIDI input ports.
#include "platform/midi_in.h"

#include <RtMidi.h>

#include "platform/jack_midi_port.h"
#include "platform/quiet_stderr.h"

CMidiIn::CMidiIn() = default;

CMidiIn::~CMidiIn() {
    m_pJack.reset();  // bounded, even with the server gone
    m_pAlsa.reset();
}

bool CMidiIn::Open(std::string& strError) {
    {
        CQuietStderr quiet;
        try {
            auto pIn = std::make_unique<RtMidiIn>(RtMidi::LINUX_ALSA, "aerolyre-midi-in");
            pIn->setCallback(&OnAlsaMessage, &m_aQueue[0]);
            pIn->openVirtualPort("aerolyre");
            m_pAlsa = std::move(pIn);
        } catch (const RtMidiError& e) {
            strError = "ALSA: " + e.getMessage();
        }
    }
    auto pJack = std::make_unique<CJackMidiPort>(&m_aQueue[1]);
    std::string strJackError;
    if (pJack->Open(strJackError)) {
        m_pJack = std::move(pJack);
    } else {
        strError += (strError.empty() ? "" : "; ") + strJackError;
    }
    return IsOpen();
}

void CMidiIn::BeginSession() {
    MidiEvent e;
    for (CMidiInQueue& q : m_aQueue) {
        while (q.TryPop(e)) {
        }
    }
}

void CMidiIn::OnAlsaMessage(double, std::vector<unsigned char>* pMessage, void* pArg) {
    // RtMidi already leaves out SysEx, timing and active sensing; the voice takes channel
    // messages only.
    if (pMessage->empty() || pMessage->size() > 3 || (*pMessage)[0] >= 0xF0) return;
    MidiEvent e;
    e.nSize = static_cast<std::uint8_t>(pMessage->size());
    for (std::size_t k = 0; k < pMessage->size(); ++k) e.bytes[k] = (*pMessage)[k];
    static_cast<CMidiInQueue*>(pArg)->TryPush(e);
}
