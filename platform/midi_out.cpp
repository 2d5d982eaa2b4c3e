// The MIDI ports and their sending thread.
#include "platform/midi_out.h"
#include "platform/sample_scale.h"

#include <RtMidi.h>

#include "platform/quiet_stderr.h"

namespace {

long long NowNs() {
    return std::chrono::duration_cast<std::chrono::nanoseconds>(
               std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

}  // namespace

CMidiOut::CMidiOut() = default;

CMidiOut::~CMidiOut() {
    m_bStop.store(true);
    if (m_thread.joinable()) m_thread.join();
}

bool CMidiOut::Open(std::string& strError) {
    const std::pair<RtMidi::Api, const char*> apis[] = {{RtMidi::LINUX_ALSA, "ALSA"},
                                                        {RtMidi::UNIX_JACK, "JACK"}};
    for (const auto& [api, name] : apis) {
        CQuietStderr quiet;
        try {
            auto pOut = std::make_unique<RtMidiOut>(api, "aerolyre-midi");
            // A virtual port counts as open once it exists; a failure throws.
            pOut->openVirtualPort("aerolyre");
            m_ports.push_back(std::move(pOut));
        } catch (const RtMidiError& e) {
            strError += (strError.empty() ? "" : "; ") + e.getMessage();
        }
    }
    if (m_ports.empty()) {
        if (strError.empty()) strError = "no MIDI system (ALSA sequencer or JACK) could be reached";
        return false;
    }
    m_thread = std::thread([this] { Run(); });
    return true;
}

void CMidiOut::BeginSession(double dLatencySeconds) {
    m_nStartNs.store(NowNs() + static_cast<long long>(dLatencySeconds * 1e9));
}

void CMidiOut::Run() {
    MidiEvent e;
    bool bPending = false;
    std::vector<unsigned char> message;
    while (!m_bStop.load()) {
        if (!bPending) bPending = m_queue.TryPop(e);
        if (!bPending) {
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
            continue;
        }
        // Sent when its sample is due to sound.
        const long long nDue = m_nStartNs.load() + static_cast<long long>(e.nSample * 1e9 / kSampleRate);
        const long long nWait = nDue - NowNs();
        if (nWait > 0) {
            std::this_thread::sleep_for(std::chrono::nanoseconds(std::min(nWait, 1000000LL)));
            continue;
        }
        message.assign(e.bytes, e.bytes + e.nSize);
        for (const auto& pPort : m_ports) pPort->sendMessage(&message);
        bPending = false;
    }
}
