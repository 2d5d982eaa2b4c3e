// The performance as MIDI that a receiver plays as the voice sounds.
//
// A note begins once the voice is audible and its pitch has come near its target (or after
// kMaxOnsetSamples), numbered after the equal-tempered note (A4 = 440 Hz) nearest the pitch that
// sounds then. Its velocity is the loudness the player aimed at over the onset, never under
// kVelocityFloor, so a swell from silence is still heard; the loudness controller (channel
// pressure in MPE, CC 11 on a single channel) carries the rest, on the General MIDI 40·log10 curve,
// so velocity and controller together give the voice's level. A 14-bit pitch bend follows the
// voice's pitch within a few cents.
//
// MPE: each note takes the member channel released longest ago, so an old note keeps its bend
// through its release; a channel's bend and pressure return to rest kResetSamples after its Note
// Off. Single channel: the old note and its release end before the bend moves. Either way a glide
// past the range takes the note nearest where it heads, so a jump needs one new note, and a new
// note comes at most every kMinNoteSamples; in between the bend stops at its range.
//
// By default the messages fit a 31250-baud DIN link (at most kDinBytesPerSecond in any second);
// notes and resets always go, bends and loudness wait for room. Events carry the output sample
// they belong to. Runs on the audio thread: no allocation, no lock, nothing that waits.
#pragma once

#include <array>
#include <cstdint>

#include "engine/pitch_mapping.h"
#include "platform/midi_out.h"

enum class MidiMode { Mpe, Single };

class CMidiEncoder {
public:
    static constexpr int kMpeBendRange = 48;      // semitones, member channels
    static constexpr int kDefaultBendRange = 12;  // semitones, single channel
    static constexpr int kMaxBendRange = 24;
    static constexpr int kMaxOnsetSamples = 1102;    // 25 ms: a note starts by then
    static constexpr int kMinNoteSamples = 882;      // 20 ms between two notes
    static constexpr int kResetSamples = 22050;      // 0.5 s: the release sounds at its pitch
    static constexpr int kLoudnessSamples = 220;     // 5 ms between two loudness messages
    static constexpr int kVelocityFloor = 100;       // −4.1 dB on the General MIDI curve
    static constexpr int kDinBytesPerSecond = 2500;  // 80 % of what 31250 baud carries

    // nBendRange applies to the single-channel mode (1 .. kMaxBendRange); bLimitRate keeps the
    // stream within a DIN link's rate (off for virtual ports, which take any rate).
    void Init(MidiMode mode, int nBendRange, const PitchMapping& mapping, CMidiEventQueue* pQueue,
              bool bLimitRate = true);

    // A new tone's mapping, for the pitches from the next sample on; the sounding note goes on.
    void SetMapping(const PitchMapping& mapping) { m_mapping = mapping; }

    // The set-up: the MPE zone, or the single channel's bend range.
    void Configure(std::uint64_t nSample);

    // One output sample: the voice's loudness target and amplitude (0 .. 0.8) and its phase step
    // and the step it glides to.
    void Process(std::uint64_t nSample, double dTargetAmp, double dAmp, double dPhaseInc, double dTargetInc);

    // The end of play: a sounding note ends; every channel used returns to rest, with All Notes Off.
    void End(std::uint64_t nSample);

private:
    struct Channel {
        std::uint64_t nReleased = 0;         // sample of its last Note Off
        std::uint64_t nResetDue = kNoReset;  // when its bend and pressure return to rest
        bool bUsed = false;                  // bend range sent this session
    };
    static constexpr std::uint64_t kNoReset = ~std::uint64_t{0};

    void Send(std::uint64_t nSample, int a, int b, int c, int nSize = 3);
    // A bend or loudness message when the rate leaves room for it.
    bool HasRoom(int nBytes, int nReserve) const;
    void Controller(std::uint64_t nSample, int nChannel, int nController, int nValue);
    void BendRange(std::uint64_t nSample, int nChannel, int nSemitones);
    void SendBend(std::uint64_t nSample, int nChannel, int nBend);
    void SendLoudness(std::uint64_t nSample, int nChannel, int nValue);
    void NoteOn(std::uint64_t nSample, double dSemitones, double dTarget, double dAmp);
    void NoteOff(std::uint64_t nSample);
    void RestChannel(std::uint64_t nSample, int nChannel);
    int FreshChannel() const;
    int BendFor(double dSemitones) const;  // 0 .. 16383 for the sounding note
    int LoudnessFor(double dAmp) const;    // controller value against the note's velocity
    void Refill(std::uint64_t nSample);

    MidiMode m_mode = MidiMode::Mpe;
    int m_nBendRange = kMpeBendRange;
    PitchMapping m_mapping;
    CMidiEventQueue* m_pQueue = nullptr;
    bool m_bLimitRate = true;
    std::array<Channel, 16> m_channels{};
    std::uint64_t m_nNextReset = kNoReset;  // the earliest rest due, so most samples check one number

    // The sounding note.
    int m_nNote = -1;  // -1 when none
    int m_nChannel = 0;
    double m_dVelocityLevel = 1.0;  // the velocity's share of the loudness, 0 .. 1
    std::uint64_t m_nNoteOn = 0;
    double m_dSentSemitones = 0.0;  // the pitch the last bend describes
    double m_dLastSemitones = 0.0;  // the previous sample's pitch, for the slope
    int m_nLastBend = -1;
    int m_nLastLoudness = -1;
    std::uint64_t m_nLastLoudnessSample = 0;

    // A note waiting for its onset.
    bool m_bArmed = false;
    std::uint64_t m_nArmed = 0;
    double m_dOnsetPeak = 0.0;

    // The rate limit: bytes the link can take now.
    double m_dRoom = 0.0;
    std::uint64_t m_nRoomSample = 0;
};
