// The MIDI player's state.
#include "engine/midi_player.h"

#include <algorithm>
#include <cmath>

namespace {

constexpr double kA4Log2 = 8.78135971352466;  // log2(440)
constexpr double kMaxAmp = 0.8;

// The pointer y that gives a loudness target: the inverse of the voice's y → target (the lower
// half of the board falls twice as fast).
double YForAmp(double dAmp) {
    const double y = kMaxAmp - dAmp;
    return y <= 0.5 ? y : (y + 0.5) / 2;
}

}  // namespace

void CMidiPlayer::Init(const PitchMapping& mapping) {
    m_mapping = mapping;
    m_channels = {};
    m_nHeld = 0;
    m_dY = 1.0;
}

void CMidiPlayer::SetMapping(const PitchMapping& mapping) {
    m_mapping = mapping;
    if (m_nHeld > 0) Update();
}

void CMidiPlayer::Release(int nNote, int nChannel) {
    for (int i = m_nHeld - 1; i >= 0; --i) {
        if (m_held[i].nNote == nNote && m_held[i].nChannel == nChannel) {
            std::copy(m_held.begin() + i + 1, m_held.begin() + m_nHeld, m_held.begin() + i);
            --m_nHeld;
            return;
        }
    }
}

void CMidiPlayer::Receive(const std::uint8_t* p, int nSize) {
    if (nSize < 1) return;
    const int nStatus = p[0] & 0xF0, c = p[0] & 0x0F;
    const int a = nSize > 1 ? p[1] & 0x7F : 0, b = nSize > 2 ? p[2] & 0x7F : 0;
    Channel& ch = m_channels[c];
    switch (nStatus) {
        case 0x90:
            if (nSize < 3) return;
            if (b > 0) {
                Release(a, c);
                if (m_nHeld == static_cast<int>(m_held.size())) Release(m_held[0].nNote, m_held[0].nChannel);
                m_held[m_nHeld++] = {a, c, (b / 127.0) * (b / 127.0)};
                break;
            }
            [[fallthrough]];  // velocity 0 is a Note Off
        case 0x80:
            if (nSize < 2) return;
            Release(a, c);
            break;
        case 0xE0:
            if (nSize < 3) return;
            ch.dBend = ((a | (b << 7)) - 8192) / 8192.0;
            break;
        case 0xD0:
            if (nSize < 2) return;
            ch.dController = (a / 127.0) * (a / 127.0);
            break;
        case 0xB0:
            if (nSize < 3) return;
            if (a == 11) ch.dController = (b / 127.0) * (b / 127.0);
            if (a == 101) ch.nRpn = (ch.nRpn & 0x7F) | (b << 7);
            if (a == 100) ch.nRpn = (ch.nRpn & 0x3F80) | b;
            if (a == 6 && ch.nRpn == 0) ch.nRange = b;
            // An MPE zone's configuration: its member channels bend ±48.
            if (a == 6 && ch.nRpn == 6 && (c == 0 || c == 15)) {
                for (int k = 1; k <= b && k < 16; ++k) m_channels[c == 0 ? k : 15 - k].nRange = 48;
            }
            if (a == 123 || a == 120) m_nHeld = 0;  // All Notes Off, All Sound Off
            break;
        default: return;
    }
    Update();
}

void CMidiPlayer::Update() {
    if (m_nHeld == 0) {
        m_dY = 1.0;  // silence, the pitch where it was
        return;
    }
    const Held& h = m_held[m_nHeld - 1];
    const Channel& ch = m_channels[h.nChannel];
    const double dSemitones = h.nNote + ch.dBend * ch.nRange;
    // Kept between 8 Hz and 20 kHz: the voice's phase step stays far below a turn per step.
    m_dX = m_mapping.XForLog2Hz(std::clamp(kA4Log2 + (dSemitones - 69) / 12, 3.0, 14.29));
    m_dY = YForAmp(kMaxAmp * h.dVelocity * ch.dController);
}
