// MIDI as a player of the voice: one voice, last-note priority. A note sets where the voice's
// pitch glides to (as a pointer moving there would), its velocity and then channel pressure or
// CC 11 the loudness (each on the General MIDI curve, multiplied: velocity² · controller²), pitch
// bend bends it (±2 semitones, ±48 on the member channels of an MPE zone, RPN 0 honoured). With
// several notes held the newest sounds, and its release returns to the newest still held; the
// last release is silence, as the pointer leaving the board is. The buttons stay the board's.
// No allocation, no lock: it runs on the audio path.
#pragma once

#include <array>
#include <cstdint>

#include "engine/pitch_mapping.h"

class CMidiPlayer {
public:
    void Init(const PitchMapping& mapping);
    // A new tone's mapping: the held notes, bends and bend ranges stay, and sound where it puts them.
    void SetMapping(const PitchMapping& mapping);

    // One channel message (status and its data bytes).
    void Receive(const std::uint8_t* pBytes, int nSize);

    // Where the pointer would be for what MIDI plays now: x for the pitch, y for the loudness.
    double X() const { return m_dX; }
    double Y() const { return m_dY; }

private:
    struct Channel {
        double dBend = 0.0;        // −1 .. 1
        int nRange = 2;            // semitones
        double dController = 1.0;  // the last pressure or CC 11, as a level 0 .. 1 (sent before a
                                   // note, as MPE does, it applies from its start)
        int nRpn = 0x3FFF;
    };
    struct Held {
        int nNote;
        int nChannel;
        double dVelocity;  // level 0 .. 1
    };
    void Update();
    void Release(int nNote, int nChannel);

    PitchMapping m_mapping;
    std::array<Channel, 16> m_channels{};
    std::array<Held, 32> m_held{};
    int m_nHeld = 0;
    double m_dX = 0.0;
    double m_dY = 1.0;
};
