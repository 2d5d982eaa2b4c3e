// The MIDI ports and their sending thread.
#include "platform/midi_out.h"

#include <RtMidi.h>

#include "platform/jack_midi_port.h"
#include "platform/quiet_stderr.h"
#include "platform/sample_scale.h"

namespace {

long long NowNs() {
    return std::chrono::duration_cast<std::chrono::nanoseconds>(
               std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

// How long EndSession waits for the session's last messages (the note's end) to be due and sent.
constexpr auto kEndSessionWait = std::chrono::milliseconds(600);

}  // namespace

CMidiOut::CMidiOut() = default;

CMidiOut::~CMidiOut() {
    m_bStop.store(true);
    // The sender sleeps at most a millisecond and never waits on a port.
    if (m_thread.joinable()) m_thread.join();
    m_pJack.reset();  // bounded, even with the server gone
    m_pAlsa.reset();
}

bool CMidiOut::Open(std::string& strError) {
    {
        CQuietStderr quiet;
        try {
            auto pOut = std::make_unique<RtMidiOut>(RtMidi::LINUX_ALSA, "aerolyre-midi");
            // A failed send is a warning RtMidi would print: it is counted instead.
            pOut->setErrorCallback([](RtMidiError::Type, const std::string&,
                                      void* pFlag) { static_cast<std::atomic<bool>*>(pFlag)->store(true); },
                                   &m_bAlsaFailed);
            // A virtual port counts as open once it exists; a failure throws.
            pOut->openVirtualPort("aerolyre");
            m_pAlsa = std::move(pOut);
        } catch (const RtMidiError& e) {
            strError = "ALSA: " + e.getMessage();
        }
    }
    auto pJack = std::make_unique<CJackMidiPort>();
    std::string strJackError;
    if (pJack->Open(strJackError)) {
        m_pJack = std::move(pJack);
    } else {
        strError += (strError.empty() ? "" : "; ") + strJackError;
    }
    if (!IsOpen()) return false;
    m_thread = std::thread([this] { Run(); });
    return true;
}

void CMidiOut::BeginSession(double dLatencySeconds) {
    m_nSent.store(0);
    m_nDropped.store(0);
    m_nQueueDroppedAtStart = m_queue.Dropped();
    m_nStartNs.store(NowNs() + static_cast<long long>(dLatencySeconds * 1e9));
}

std::string CMidiOut::EndSession() {
    const auto deadline = std::chrono::steady_clock::now() + kEndSessionWait;
    while (std::chrono::steady_clock::now() < deadline) {
        // The session has ended, so nothing more is queued: an empty queue and then an idle
        // sender mean every message of the session has been sent or dropped.
        if (m_queue.Empty() && m_bIdle.load()) break;
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
    const std::uint64_t nDropped = m_nDropped.load() + (m_queue.Dropped() - m_nQueueDroppedAtStart);
    return "MIDI out: " + std::to_string(m_nSent.load()) + " messages sent, " + std::to_string(nDropped) +
           " dropped";
}

void CMidiOut::Send(const MidiEvent& e) {
    bool bAll = true;
    if (m_pAlsa) {
        m_bAlsaFailed.store(false);
        m_pAlsa->sendMessage(e.bytes, e.nSize);
        if (m_bAlsaFailed.load()) bAll = false;
    }
    if (m_pJack && !m_pJack->Send(e.bytes, e.nSize)) bAll = false;
    (bAll ? m_nSent : m_nDropped).fetch_add(1);
}

void CMidiOut::Run() {
    MidiEvent e;
    bool bPending = false;
    while (!m_bStop.load()) {
        if (!bPending) {
            // Busy before the pop, so no moment shows an empty queue and an idle sender while a
            // message is in hand.
            m_bIdle.store(false);
            bPending = m_queue.TryPop(e);
            m_bIdle.store(!bPending);
        }
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
        Send(e);
        bPending = false;
    }
}
