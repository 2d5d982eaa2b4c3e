// The MIDI encoder's messages.
#include "engine/midi_encoder.h"

#include <algorithm>
#include <cmath>

namespace {

constexpr double kA4Log2 = 8.78135971352466;  // log2(440)
constexpr double kMaxAmp = 0.8;
// −48 dB under full loudness: quieter than this the voice is not yet heard.
constexpr double kAudibleAmp = kMaxAmp * 0.004;
// A note starts once its pitch is within this of where it glides to.
constexpr double kOnsetSemitones = 1.0;
// The bend follows the pitch in steps of at most this; the lead puts the step's middle on the
// pitch while it moves, which halves the messages a glide needs for the same error.
constexpr double kBendStep = 0.018;           // semitones, DIN rate
constexpr double kUnlimitedBendStep = 0.005;  // semitones, virtual ports
constexpr double kLeadSamples = 20.0;
constexpr int kUnlimitedLoudnessSamples = 32;
// The rate limit's burst: any second carries at most the refill plus this.
constexpr double kBurstBytes = 500.0;
constexpr double kRefillPerSample = (CMidiEncoder::kDinBytesPerSecond - kBurstBytes) / 44100.0;
// Room kept for bends when loudness messages compete with them.
constexpr double kBendReserve = 100.0;

double Semitones(double dLog2Hz) { return 69.0 + 12.0 * (dLog2Hz - kA4Log2); }

}  // namespace

void CMidiEncoder::Init(MidiMode mode, int nBendRange, const PitchMapping& mapping, CMidiEventQueue* pQueue,
                        bool bLimitRate) {
    m_mode = mode;
    m_nBendRange = mode == MidiMode::Mpe ? kMpeBendRange : std::clamp(nBendRange, 1, kMaxBendRange);
    m_mapping = mapping;
    m_pQueue = pQueue;
    m_bLimitRate = bLimitRate;
    m_channels = {};
    m_nNextReset = kNoReset;
    m_nNote = -1;
    m_nChannel = 0;
    m_nLastBend = -1;
    m_nLastLoudness = -1;
    m_bArmed = false;
    m_dRoom = kBurstBytes;
    m_nRoomSample = 0;
}

void CMidiEncoder::Send(std::uint64_t nSample, int a, int b, int c, int nSize) {
    MidiEvent e;
    e.nSample = nSample;
    e.nSize = static_cast<std::uint8_t>(nSize);
    e.bytes[0] = static_cast<std::uint8_t>(a);
    e.bytes[1] = static_cast<std::uint8_t>(b);
    e.bytes[2] = static_cast<std::uint8_t>(c);
    m_pQueue->TryPush(e);
    m_dRoom -= nSize;
}

bool CMidiEncoder::HasRoom(int nBytes, int nReserve) const {
    return !m_bLimitRate || m_dRoom >= nBytes + nReserve;
}

void CMidiEncoder::Refill(std::uint64_t nSample) {
    m_dRoom =
        std::min(kBurstBytes, m_dRoom + static_cast<double>(nSample - m_nRoomSample) * kRefillPerSample);
    m_nRoomSample = nSample;
}

void CMidiEncoder::Controller(std::uint64_t nSample, int nChannel, int nController, int nValue) {
    Send(nSample, 0xB0 | nChannel, nController, nValue);
}

void CMidiEncoder::BendRange(std::uint64_t nSample, int nChannel, int nSemitones) {
    Controller(nSample, nChannel, 101, 0);
    Controller(nSample, nChannel, 100, 0);
    Controller(nSample, nChannel, 6, nSemitones);
    Controller(nSample, nChannel, 38, 0);
    // RPN null, so a later data entry cannot change the range.
    Controller(nSample, nChannel, 101, 127);
    Controller(nSample, nChannel, 100, 127);
    m_channels[nChannel].bUsed = true;
}

void CMidiEncoder::SendBend(std::uint64_t nSample, int nChannel, int nBend) {
    Send(nSample, 0xE0 | nChannel, nBend & 0x7F, nBend >> 7);
}

void CMidiEncoder::SendLoudness(std::uint64_t nSample, int nChannel, int nValue) {
    if (m_mode == MidiMode::Mpe) {
        Send(nSample, 0xD0 | nChannel, nValue, 0, 2);
    } else {
        Controller(nSample, nChannel, 11, nValue);
    }
}

void CMidiEncoder::Configure(std::uint64_t nSample) {
    if (m_mode == MidiMode::Mpe) {
        // The lower zone on manager channel 1: 15 member channels, each set up on first use.
        Controller(nSample, 0, 101, 0);
        Controller(nSample, 0, 100, 6);
        Controller(nSample, 0, 6, 15);
        Controller(nSample, 0, 101, 127);
        Controller(nSample, 0, 100, 127);
        m_channels[0].bUsed = true;
    } else {
        BendRange(nSample, 0, m_nBendRange);
    }
}

int CMidiEncoder::BendFor(double dSemitones) const {
    return std::clamp(static_cast<int>(std::lround(8192.0 + dSemitones / m_nBendRange * 8192.0)), 0, 16383);
}

int CMidiEncoder::LoudnessFor(double dAmp) const {
    // The receiver's gain is (velocity / 127)² · (value / 127)².
    const double dLevel = std::min(1.0, dAmp / kMaxAmp / m_dVelocityLevel);
    return std::clamp(static_cast<int>(std::lround(127.0 * std::sqrt(std::max(0.0, dLevel)))), 0, 127);
}

int CMidiEncoder::FreshChannel() const {
    // The member channel released longest ago (never used counts as longest), not the sounding one.
    int nBest = -1;
    for (int c = 1; c < 16; ++c) {
        if (m_nNote >= 0 && c == m_nChannel) continue;
        if (nBest < 0 || m_channels[c].nReleased < m_channels[nBest].nReleased) nBest = c;
    }
    return nBest;
}

void CMidiEncoder::NoteOn(std::uint64_t nSample, double dSemitones, double dTarget, double dAmp) {
    const int nOld = m_nNote;
    const int nOldChannel = m_nChannel;
    if (nOld < 0) {
        // A fresh attack: the loudness aimed at over the onset, heard even when it was a swell.
        const double dLevel = std::clamp(m_dOnsetPeak / kMaxAmp, 0.0, 1.0);
        const int nVelocity =
            std::clamp(static_cast<int>(std::lround(127.0 * std::sqrt(dLevel))), kVelocityFloor, 127);
        m_dVelocityLevel = (nVelocity / 127.0) * (nVelocity / 127.0);
    }
    const int nVelocity = static_cast<int>(std::lround(127.0 * std::sqrt(m_dVelocityLevel)));
    if (m_mode == MidiMode::Single && nOld >= 0) {
        // One channel: the old note ends, release and all (All Sound Off), before the bend moves,
        // or its release would sound at the new bend, an octave or so away.
        Send(nSample, 0x80, nOld, 64);
        Controller(nSample, 0, 120, 0);
        m_nNote = -1;
    }
    m_nChannel = m_mode == MidiMode::Mpe ? FreshChannel() : 0;
    Channel& ch = m_channels[m_nChannel];
    if (!ch.bUsed) BendRange(nSample, m_nChannel, m_nBendRange);
    ch.nResetDue = kNoReset;
    // An attack is numbered after the pitch sounding; a glide past the range takes the note nearest
    // where it is heading that keeps the sounding pitch in range, so a jump needs one new note.
    const int nRoom = m_nBendRange - 1;
    const int nNote = nOld < 0 ? static_cast<int>(std::lround(dSemitones))
                               : std::clamp(static_cast<int>(std::lround(dTarget)),
                                            static_cast<int>(std::ceil(dSemitones)) - nRoom,
                                            static_cast<int>(std::floor(dSemitones)) + nRoom);
    m_nNote = std::clamp(nNote, 0, 127);
    // Bend and loudness first, so the note starts at its pitch and level.
    m_nLastBend = BendFor(dSemitones - m_nNote);
    m_dSentSemitones = m_nNote + (m_nLastBend - 8192) / 8192.0 * m_nBendRange;
    m_dLastSemitones = dSemitones;
    SendBend(nSample, m_nChannel, m_nLastBend);
    m_nLastLoudness = LoudnessFor(dAmp);
    m_nLastLoudnessSample = nSample;
    SendLoudness(nSample, m_nChannel, m_nLastLoudness);
    Send(nSample, 0x90 | m_nChannel, m_nNote, nVelocity);
    m_nNoteOn = nSample;
    if (m_mode == MidiMode::Mpe && nOld >= 0) {
        // Legato across channels: the old note ends after the new one has begun, keeping its bend.
        Send(nSample, 0x80 | nOldChannel, nOld, 64);
        m_channels[nOldChannel].nReleased = nSample;
        m_channels[nOldChannel].nResetDue = nSample + kResetSamples;
        m_nNextReset = std::min(m_nNextReset, nSample + kResetSamples);
    }
}

void CMidiEncoder::NoteOff(std::uint64_t nSample) {
    Send(nSample, 0x80 | m_nChannel, m_nNote, 64);
    m_channels[m_nChannel].nReleased = nSample;
    if (m_mode == MidiMode::Mpe) {
        m_channels[m_nChannel].nResetDue = nSample + kResetSamples;
        m_nNextReset = std::min(m_nNextReset, nSample + kResetSamples);
    }
    m_nNote = -1;
    m_nLastLoudness = -1;
    m_bArmed = false;
}

void CMidiEncoder::RestChannel(std::uint64_t nSample, int nChannel) {
    SendBend(nSample, nChannel, 8192);
    if (m_mode == MidiMode::Mpe) {
        Send(nSample, 0xD0 | nChannel, 0, 0, 2);
    } else {
        Controller(nSample, nChannel, 11, 127);
    }
    m_channels[nChannel].nResetDue = kNoReset;
}

void CMidiEncoder::Process(std::uint64_t nSample, double dTargetAmp, double dAmp, double dPhaseInc,
                           double dTargetInc) {
    if (m_pQueue == nullptr) return;
    Refill(nSample);
    if (m_nNextReset <= nSample) {
        m_nNextReset = kNoReset;
        for (int c = 1; c < 16; ++c) {
            if (m_channels[c].nResetDue <= nSample) RestChannel(nSample, c);
            m_nNextReset = std::min(m_nNextReset, m_channels[c].nResetDue);
        }
    }
    const double dSemitones = dPhaseInc > 0 ? Semitones(m_mapping.Log2HzOfStep(dPhaseInc)) : 0.0;

    if (m_nNote < 0) {
        if (dTargetAmp <= 0) {
            m_bArmed = false;
            return;
        }
        if (!m_bArmed) {
            m_bArmed = true;
            m_nArmed = nSample;
            m_dOnsetPeak = 0.0;
        }
        m_dOnsetPeak = std::max(m_dOnsetPeak, dTargetAmp);
        // Not while the voice is still inaudible, nor while its pitch still rises from where the
        // session began (0 Hz), unless that takes longer than an attack may wait.
        if (dAmp < kAudibleAmp || dPhaseInc <= 0 || dTargetInc <= 0) return;
        const double dTarget = Semitones(m_mapping.Log2HzOfStep(dTargetInc));
        if (std::fabs(dSemitones - dTarget) > kOnsetSemitones && nSample - m_nArmed < kMaxOnsetSamples)
            return;
        NoteOn(nSample, dSemitones, dTarget, dAmp);
        return;
    }
    if (dTargetAmp <= 0) {
        NoteOff(nSample);
        return;
    }

    const double dSlope = dSemitones - m_dLastSemitones;
    m_dLastSemitones = dSemitones;
    if (std::fabs(dSemitones - m_nNote) > m_nBendRange && nSample - m_nNoteOn >= kMinNoteSamples) {
        NoteOn(nSample, dSemitones,
               dTargetInc > 0 ? Semitones(m_mapping.Log2HzOfStep(dTargetInc)) : dSemitones, dAmp);
        return;
    }
    const double dStep = m_bLimitRate ? kBendStep : kUnlimitedBendStep;
    if (std::fabs(dSemitones - m_dSentSemitones) >= dStep) {
        const double dLead = std::clamp(dSlope * kLeadSamples, -dStep / 2, dStep / 2);
        const int nBend = BendFor(dSemitones + dLead - m_nNote);
        if (nBend != m_nLastBend && HasRoom(3, 0)) {
            m_nLastBend = nBend;
            m_dSentSemitones = m_nNote + (nBend - 8192) / 8192.0 * m_nBendRange;
            SendBend(nSample, m_nChannel, nBend);
        }
    }
    const int nLoudness = LoudnessFor(dAmp);
    const std::uint64_t nGap = m_bLimitRate ? kLoudnessSamples : kUnlimitedLoudnessSamples;
    if (nLoudness != m_nLastLoudness && nSample - m_nLastLoudnessSample >= nGap &&
        HasRoom(m_mode == MidiMode::Mpe ? 2 : 3, static_cast<int>(kBendReserve))) {
        m_nLastLoudness = nLoudness;
        m_nLastLoudnessSample = nSample;
        SendLoudness(nSample, m_nChannel, nLoudness);
    }
}

void CMidiEncoder::End(std::uint64_t nSample) {
    if (m_pQueue == nullptr) return;
    if (m_nNote >= 0) NoteOff(nSample);
    for (int c = 0; c < 16; ++c) {
        if (!m_channels[c].bUsed) continue;
        RestChannel(nSample, c);
        Controller(nSample, c, 123, 0);  // All Notes Off
    }
}
