// The performance as MIDI: a note while the loudness target is above zero, its number the
// equal-tempered note (A4 = 440 Hz) nearest the sounding pitch at its start and its velocity from
// the loudness; a 14-bit pitch bend that follows the voice's actual pitch; the loudness as channel
// pressure (MPE) or expression (CC 11, single channel). Events carry the output sample they belong
// to. Runs on the audio thread: no allocation, no lock, nothing that waits.
#pragma once

#include <cstdint>

#include "engine/pitch_mapping.h"
#include "platform/midi_out.h"

enum class MidiMode { Mpe, Single };

class CMidiEncoder {
public:
    static constexpr int kMpeBendRange = 48;      // semitones, member channels
    static constexpr int kDefaultBendRange = 12;  // semitones, single channel
    static constexpr int kMaxBendRange = 24;
    static constexpr int kControlInterval = 32;  // samples between two bend or pressure messages

    // nBendRange applies to the single-channel mode (1 .. kMaxBendRange).
    void Init(MidiMode mode, int nBendRange, const PitchMapping& mapping, CMidiEventQueue* pQueue);

    // The set-up messages: the MPE zone and the member channel's bend range, or the single
    // channel's bend range.
    void Configure(std::uint64_t nSample);

    // One output sample: the voice's loudness target and amplitude (0 .. 0.8) and its phase step.
    void Process(std::uint64_t nSample, double dTargetAmp, double dAmp, double dPhaseInc);

    // The end of play: a sounding note ends.
    void End(std::uint64_t nSample);

private:
    void Send(std::uint64_t nSample, std::uint8_t a, std::uint8_t b, std::uint8_t c, std::uint8_t nSize = 3);
    void Controller(std::uint64_t nSample, int nController, int nValue);
    void Rpn0(std::uint64_t nSample, int nSemitones);
    void NoteOn(std::uint64_t nSample, double dLog2Hz, double dTargetAmp);
    int Bend(double dLog2Hz) const;  // 0 .. 16383 for the sounding note
    int Channel() const { return m_mode == MidiMode::Mpe ? 1 : 0; }

    MidiMode m_mode = MidiMode::Mpe;
    int m_nBendRange = kMpeBendRange;
    PitchMapping m_mapping;
    CMidiEventQueue* m_pQueue = nullptr;
    int m_nNote = -1;  // sounding note, -1 when none
    int m_nLastBend = -1;
    int m_nLastLoudness = -1;
    std::uint64_t m_nLastControl = 0;
};
