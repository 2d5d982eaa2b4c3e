// The MIDI encoder's messages.
#include "engine/midi_encoder.h"

#include <algorithm>
#include <cmath>

namespace {

constexpr double kA4Log2 = 8.78135971352466;  // log2(440)
constexpr double kMaxAmp = 0.8;

int NearestNote(double dLog2Hz) { return static_cast<int>(std::lround(69.0 + 12.0 * (dLog2Hz - kA4Log2))); }
int Loudness(double dAmp) {
    return std::clamp(static_cast<int>(std::lround(127.0 * dAmp / kMaxAmp)), 0, 127);
}

}  // namespace

void CMidiEncoder::Init(MidiMode mode, int nBendRange, const PitchMapping& mapping, CMidiEventQueue* pQueue) {
    m_mode = mode;
    m_nBendRange = mode == MidiMode::Mpe ? kMpeBendRange : std::clamp(nBendRange, 1, kMaxBendRange);
    m_mapping = mapping;
    m_pQueue = pQueue;
    m_nNote = -1;
    m_nLastBend = -1;
    m_nLastLoudness = -1;
    m_nLastControl = 0;
}

void CMidiEncoder::Send(std::uint64_t nSample, std::uint8_t a, std::uint8_t b, std::uint8_t c,
                        std::uint8_t nSize) {
    MidiEvent e;
    e.nSample = nSample;
    e.nSize = nSize;
    e.bytes[0] = a;
    e.bytes[1] = b;
    e.bytes[2] = c;
    m_pQueue->TryPush(e);
}

void CMidiEncoder::Controller(std::uint64_t nSample, int nController, int nValue) {
    Send(nSample, static_cast<std::uint8_t>(0xB0 | Channel()), static_cast<std::uint8_t>(nController),
         static_cast<std::uint8_t>(nValue));
}

void CMidiEncoder::Rpn0(std::uint64_t nSample, int nSemitones) {
    Controller(nSample, 101, 0);
    Controller(nSample, 100, 0);
    Controller(nSample, 6, nSemitones);
    Controller(nSample, 38, 0);
}

void CMidiEncoder::Configure(std::uint64_t nSample) {
    if (m_mode == MidiMode::Mpe) {
        // MPE configuration on the lower zone's manager channel (1): 15 member channels.
        Send(nSample, 0xB0, 101, 0);
        Send(nSample, 0xB0, 100, 6);
        Send(nSample, 0xB0, 6, 15);
    }
    Rpn0(nSample, m_nBendRange);
}

int CMidiEncoder::Bend(double dLog2Hz) const {
    const double dSemitones = 69.0 + 12.0 * (dLog2Hz - kA4Log2) - m_nNote;
    return std::clamp(static_cast<int>(std::lround(8192.0 + dSemitones / m_nBendRange * 8192.0)), 0, 16383);
}

void CMidiEncoder::NoteOn(std::uint64_t nSample, double dLog2Hz, double dTargetAmp) {
    const int nOld = m_nNote;
    m_nNote = std::clamp(NearestNote(dLog2Hz), 0, 127);
    // The bend first, so the note starts at its pitch.
    m_nLastBend = Bend(dLog2Hz);
    Send(nSample, static_cast<std::uint8_t>(0xE0 | Channel()), static_cast<std::uint8_t>(m_nLastBend & 0x7F),
         static_cast<std::uint8_t>(m_nLastBend >> 7));
    Send(nSample, static_cast<std::uint8_t>(0x90 | Channel()), static_cast<std::uint8_t>(m_nNote),
         static_cast<std::uint8_t>(std::max(1, Loudness(dTargetAmp))));
    // Legato: the old note ends after the new one has begun.
    if (nOld >= 0 && nOld != m_nNote) {
        Send(nSample, static_cast<std::uint8_t>(0x80 | Channel()), static_cast<std::uint8_t>(nOld), 0);
    }
    m_nLastControl = nSample;
}

void CMidiEncoder::Process(std::uint64_t nSample, double dTargetAmp, double dAmp, double dPhaseInc) {
    if (m_pQueue == nullptr) return;
    const double dLog2Hz = dPhaseInc > 0 ? m_mapping.Log2HzOfStep(dPhaseInc) : kA4Log2;
    if (m_nNote < 0) {
        if (dTargetAmp > 0) NoteOn(nSample, dLog2Hz, dTargetAmp);
        return;
    }
    if (dTargetAmp <= 0) {
        End(nSample);
        return;
    }
    if (nSample - m_nLastControl < kControlInterval) return;
    const double dSemitones = 69.0 + 12.0 * (dLog2Hz - kA4Log2) - m_nNote;
    if (std::fabs(dSemitones) > m_nBendRange) {
        NoteOn(nSample, dLog2Hz, dTargetAmp);
        return;
    }
    const int nBend = Bend(dLog2Hz);
    if (nBend != m_nLastBend) {
        m_nLastBend = nBend;
        Send(nSample, static_cast<std::uint8_t>(0xE0 | Channel()), static_cast<std::uint8_t>(nBend & 0x7F),
             static_cast<std::uint8_t>(nBend >> 7));
        m_nLastControl = nSample;
    }
    const int nLoud = Loudness(dAmp);
    if (nLoud != m_nLastLoudness) {
        m_nLastLoudness = nLoud;
        if (m_mode == MidiMode::Mpe) {
            Send(nSample, static_cast<std::uint8_t>(0xD0 | Channel()), static_cast<std::uint8_t>(nLoud), 0,
                 2);
        } else {
            Controller(nSample, 11, nLoud);
        }
        m_nLastControl = nSample;
    }
}

void CMidiEncoder::End(std::uint64_t nSample) {
    if (m_pQueue == nullptr || m_nNote < 0) return;
    Send(nSample, static_cast<std::uint8_t>(0x80 | Channel()), static_cast<std::uint8_t>(m_nNote), 0);
    m_nNote = -1;
    m_nLastLoudness = -1;
}
