// MIDI from the performance, read back by a receiver written from the MIDI 1.0 and MPE 1.0 rules:
// what it would play for gestures a player makes (loud starts, swells, glides, vibrato, jumps,
// button shifts), against the voice's own pitch and loudness; and the Standard MIDI File.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <functional>
#include <map>
#include <memory>

#include "engine/midi_encoder.h"
#include "engine/performance_parameters.h"
#include "engine/pitch_mapping.h"
#include "files/midi_file.h"
#include "tests/engine/voice_test_support.h"
#include "tests/support/session_support.h"

namespace {

constexpr double kFs = 44100.0;
constexpr std::uint64_t kMs = 44;  // about a millisecond of samples

using Gesture = std::function<VoiceInput(std::uint64_t)>;

// What the voice did and what the encoder sent for it, sample by sample.
struct Played {
    std::vector<MidiEvent> ev;
    std::vector<double> semitones;  // the voice's pitch above MIDI note 0
    std::vector<double> level;      // the voice's amplitude, 0 .. 1 of full
    std::vector<bool> on;           // loudness target above zero
};

Played Play(const Gesture& g, std::uint64_t nSamples, MidiMode mode, bool bLimitRate = true) {
    InitPerformanceState();
    DeriveParameters(StartupParameterTexts(), 0, OverCycleData(0));
    CVoice voice;
    StartVoice(voice);
    auto pQueue = std::make_unique<CMidiEventQueue>();
    const PitchMapping map = MappingOf(PerformanceState);
    CMidiEncoder enc;
    enc.Init(mode, CMidiEncoder::kDefaultBendRange, map, pQueue.get(), bLimitRate);
    Played p;
    auto drain = [&] {
        MidiEvent e;
        while (pQueue->TryPop(e)) p.ev.push_back(e);
    };
    enc.Configure(0);
    for (std::uint64_t n = 0; n < nSamples; ++n) {
        voice.NextSample(g(n));
        enc.Process(n, voice.TargetAmp(), voice.Amp(), voice.PhaseInc(), voice.TargetInc());
        p.semitones.push_back(
            voice.PhaseInc() > 0 ? 69 + 12 * (map.Log2HzOfStep(voice.PhaseInc()) - std::log2(440.0)) : 0.0);
        p.level.push_back(voice.Amp() / 0.8);
        p.on.push_back(voice.TargetAmp() > 0);
        drain();
    }
    enc.End(nSamples);
    drain();
    return p;
}

double XForSemitones(double dSemitones) {
    const PitchMapping map = MappingOf(PerformanceState);
    return map.XForLog2Hz(std::log2(440.0) + (dSemitones - 69) / 12);
}

VoiceInput At(double x, double y, double dLeft = 1.0) { return {x, y, 1.0, dLeft, false}; }

// The gestures. C4 is MIDI note 60.
Gesture LoudStart(double dNote) {
    return [=](std::uint64_t) { return At(XForSemitones(dNote), 0.2); };
}
Gesture Swell(double dNote, double dSeconds) {
    return
        [=](std::uint64_t n) { return At(XForSemitones(dNote), std::max(0.0, 1.0 - n / (dSeconds * kFs))); };
}
Gesture Glide(double dFrom, double dTo, double dOctavesPerSecond) {
    return [=](std::uint64_t n) {
        const double t = std::max(0.0, n / kFs - 0.3);  // held 0.3 s first
        const double d = std::min(std::fabs(dTo - dFrom), t * dOctavesPerSecond * 12);
        return At(XForSemitones(dFrom + std::copysign(d, dTo - dFrom)), 0.2);
    };
}
Gesture Vibrato(double dNote, double dCents, double dHz) {
    return [=](std::uint64_t n) {
        return At(XForSemitones(dNote + dCents / 100 * std::sin(2 * M_PI * dHz * n / kFs)), 0.2);
    };
}
Gesture Jump(double dFrom, double dTo, std::uint64_t nAt) {
    return [=](std::uint64_t n) { return At(XForSemitones(n < nAt ? dFrom : dTo), 0.2); };
}
Gesture Phrase() {  // three separate notes, each released before the next
    return [](std::uint64_t n) {
        const std::uint64_t k = n / 22050;
        return At(XForSemitones(60 + 2.0 * k), n % 22050 < 15000 ? 0.2 : 1.0);
    };
}

// A receiver, after the MIDI 1.0 and MPE 1.0 specifications: per channel the sounding note, its
// bend and range, its pressure and expression. It checks every conformance rule as it reads.
class Receiver {
public:
    explicit Receiver(MidiMode mode) : m_mode(mode) {}

    struct Chan {
        int nNote = -1;
        int nBend = 8192;
        int nRange = 2;  // MIDI 1.0 default
        int nPressure = 0;
        int nExpression = 127;
        int nRpn = 0x3FFF;  // null
        std::uint64_t nReleased = 0;
        bool bRest = true;  // bend and pressure at rest since its last Note Off
        int nVelocity = 0;
    };

    void Read(const MidiEvent& e, std::size_t i) {
        const int st = e.bytes[0] & 0xF0, c = e.bytes[0] & 0x0F;
        Chan& ch = m_ch[c];
        SCOPED_TRACE(testing::Message() << "event " << i << " at sample " << e.nSample);
        if (st == 0xB0) {
            const int cc = e.bytes[1], v = e.bytes[2];
            if (cc == 101) ch.nRpn = (ch.nRpn & 0x7F) | (v << 7), m_bRpnOpen[c] = v != 127;
            if (cc == 100) ch.nRpn = (ch.nRpn & 0x3F80) | v, m_bRpnOpen[c] = v != 127;
            if (cc == 6) {
                if (ch.nRpn == 0) ch.nRange = v;
                if (ch.nRpn == 6) {
                    // MPE rule: the Configuration Message (RPN 6) goes to the zone's manager channel (1).
                    EXPECT_EQ(c, 0);
                    m_nMembers = v;
                    for (int k = 1; k <= v; ++k) m_ch[k].nRange = 48;  // MPE rule: members default to ±48
                }
            }
            if (cc == 11) ch.nExpression = v;
            if (cc == 123) {
                EXPECT_EQ(ch.nNote, -1) << "All Notes Off after each note has ended";
                m_bAllOff[c] = true;
            }
        } else {
            // MIDI 1.0 practice: RPN null after every RPN, so no stray data entry reaches it.
            EXPECT_FALSE(m_bRpnOpen[c]) << "RPN left open before a channel message on " << c + 1;
        }
        if (st == 0xE0) {
            ch.nBend = e.bytes[1] | (e.bytes[2] << 7);
            ch.bRest = ch.nBend == 8192 && ch.nPressure == 0;
            m_nLastBendOrPressure[c] = static_cast<int>(i);
        }
        if (st == 0xD0) {
            ch.nPressure = e.bytes[1];
            ch.bRest = ch.nBend == 8192 && ch.nPressure == 0;
            m_nLastBendOrPressure[c] = static_cast<int>(i);
        }
        if (st == 0x90 && e.bytes[2] > 0) {
            EXPECT_EQ(ch.nNote, -1) << "one note per channel";
            if (m_mode == MidiMode::Mpe) {
                // MPE rule: notes only on the zone's member channels.
                EXPECT_GE(c, 1);
                EXPECT_LE(c, m_nMembers);
                // MPE rule: the member channel's bend range (RPN 0, ±48) is known before it plays.
                EXPECT_EQ(ch.nRange, 48);
                // MPE rule (channel assignment): a new note takes the channel released longest ago.
                for (int k = 1; k <= m_nMembers; ++k) {
                    if (k != c && m_ch[k].nNote == -1) {
                        EXPECT_GE(m_ch[k].nReleased, ch.nReleased) << k + 1;
                    }
                }
                // MPE rule: the note's pitch bend and pressure come just before its Note On.
                EXPECT_GE(m_nLastBendOrPressure[c], static_cast<int>(i) - 2);
                EXPECT_TRUE(m_bPressureSince[c]) << "pressure before Note On";
            }
            ch.nNote = e.bytes[1];
            ch.nVelocity = e.bytes[2];
            m_nCurrent = c;
            ++m_nNoteOns;
            m_noteOns.push_back(e.nSample);
        }
        if (st == 0x80 || (st == 0x90 && e.bytes[2] == 0)) {
            EXPECT_EQ(ch.nNote, e.bytes[1]) << "Note Off for the sounding note";
            ch.nNote = -1;
            ch.nReleased = e.nSample;
            m_offs.push_back({c, e.nSample});
        }
        if (st == 0xD0) m_bPressureSince[c] = true;
        if (st == 0x90) m_bPressureSince[c] = false;
    }

    // The pitch of the last note begun, while it sounds; -1 when none.
    double Pitch() const {
        const Chan& ch = m_ch[m_nCurrent];
        if (ch.nNote < 0) return -1;
        return ch.nNote + (ch.nBend - 8192) / 8192.0 * ch.nRange;
    }
    // The level it plays at on the General MIDI curve (velocity and controller, each 40·log10).
    double Level() const {
        const Chan& ch = m_ch[m_nCurrent];
        if (ch.nNote < 0) return 0;
        const double v = ch.nVelocity / 127.0;
        const double k = (m_mode == MidiMode::Mpe ? ch.nPressure : ch.nExpression) / 127.0;
        return v * v * k * k;
    }
    const Chan& Current() const { return m_ch[m_nCurrent]; }
    const Chan& At(int c) const { return m_ch[c]; }
    int NoteOns() const { return m_nNoteOns; }
    const std::vector<std::uint64_t>& NoteOnSamples() const { return m_noteOns; }
    const std::vector<std::pair<int, std::uint64_t>>& Offs() const { return m_offs; }
    bool AllOff(int c) const { return m_bAllOff[c]; }

private:
    MidiMode m_mode;
    Chan m_ch[16];
    bool m_bRpnOpen[16] = {};
    bool m_bAllOff[16] = {};
    bool m_bPressureSince[16] = {};
    int m_nLastBendOrPressure[16] = {-10, -10, -10, -10, -10, -10, -10, -10,
                                     -10, -10, -10, -10, -10, -10, -10, -10};
    int m_nMembers = 0;
    int m_nCurrent = 0;
    int m_nNoteOns = 0;
    std::vector<std::uint64_t> m_noteOns;
    std::vector<std::pair<int, std::uint64_t>> m_offs;
};

// Reads the stream sample by sample; calls back with the receiver's state after each sample.
void Replay(const Played& p, MidiMode mode, Receiver& r,
            const std::function<void(std::uint64_t, const Receiver&)>& each = nullptr) {
    std::size_t i = 0;
    for (std::uint64_t n = 0; n < p.semitones.size(); ++n) {
        for (; i < p.ev.size() && p.ev[i].nSample <= n; ++i) r.Read(p.ev[i], i);
        if (each) each(n, r);
    }
    for (; i < p.ev.size(); ++i) r.Read(p.ev[i], i);
    (void)mode;
}

// The largest gap in cents between the pitch the receiver plays and the voice's, over the
// samples from nFrom on where both sound and the note began more than the note spacing ago.
double WorstCents(const Played& p, MidiMode mode, std::uint64_t nFrom = 0) {
    Receiver r(mode);
    double dWorst = 0;
    Replay(p, mode, r, [&](std::uint64_t n, const Receiver& rx) {
        if (n < nFrom || rx.Pitch() < 0 || !p.on[n]) return;
        if (n < rx.NoteOnSamples().back() + CMidiEncoder::kMinNoteSamples) return;
        dWorst = std::max(dWorst, 100 * std::fabs(rx.Pitch() - p.semitones[n]));
    });
    return dWorst;
}

// The most bytes in any one second.
std::size_t BusiestSecond(const std::vector<MidiEvent>& ev) {
    std::size_t nBest = 0, nSum = 0, j = 0;
    for (std::size_t i = 0; i < ev.size(); ++i) {
        nSum += ev[i].nSize;
        while (ev[i].nSample - ev[j].nSample >= 44100) nSum -= ev[j++].nSize;
        nBest = std::max(nBest, nSum);
    }
    return nBest;
}

const MidiMode kModes[] = {MidiMode::Mpe, MidiMode::Single};
const char* Name(MidiMode m) { return m == MidiMode::Mpe ? "MPE" : "single"; }

}  // namespace

TEST(Midi, ALoudStartSendsOneNoteAtThePitchHeard) {
    for (MidiMode mode : kModes) {
        SCOPED_TRACE(Name(mode));
        // The voice starts at 0 Hz and glides up: no note for that.
        const Played p = Play(LoudStart(60), 22050, mode);
        Receiver r(mode);
        Replay(p, mode, r);
        ASSERT_EQ(r.NoteOns(), 1);
        const std::uint64_t on = r.NoteOnSamples()[0];
        EXPECT_LE(on, static_cast<std::uint64_t>(CMidiEncoder::kMaxOnsetSamples));
        // The nearest note to the pitch sounding then, which is still gliding up to C4.
        EXPECT_EQ(r.Offs().at(0).second, 22050u);
        Receiver r2(mode);
        int nNote = -1;
        Replay(p, mode, r2, [&](std::uint64_t n, const Receiver& rx) {
            if (n == on) nNote = rx.Current().nNote;
        });
        EXPECT_EQ(nNote, static_cast<int>(std::lround(p.semitones[on])));
        EXPECT_NEAR(nNote, 60, 2);
        // A loud attack: y 0.2 is the target 0.6 of 0.8.
        EXPECT_EQ(r.Current().nVelocity, static_cast<int>(std::lround(127 * std::sqrt(0.75))));
    }
}

TEST(Midi, ASwellFromSilenceIsHeardAtTheVoicesLevel) {
    for (MidiMode mode : kModes) {
        SCOPED_TRACE(Name(mode));
        const Played p = Play(Swell(60, 1.5), 80000, mode);
        Receiver r(mode);
        double dWorstDb = 0, dHighestDb = 0;
        std::uint64_t nFirstOn = 0;
        Replay(p, mode, r, [&](std::uint64_t n, const Receiver& rx) {
            if (rx.Pitch() < 0) return;
            if (nFirstOn == 0) nFirstOn = n;
            // After 100 ms of sound, and above −40 dB, the receiver's level follows the voice's.
            if (n < nFirstOn + 4410 || p.level[n] < 0.01) return;
            const double dVelocity = std::pow(rx.Current().nVelocity / 127.0, 2);
            const double dDb = 20 * std::log10(rx.Level() / std::min(p.level[n], dVelocity));
            dWorstDb = std::max(dWorstDb, std::fabs(dDb));
            // Above the velocity's level the receiver stays there.
            dHighestDb = std::max(dHighestDb, 20 * std::log10(p.level[n] / rx.Level()));
        });
        EXPECT_EQ(r.NoteOns(), 1);
        EXPECT_GE(r.Current().nVelocity, CMidiEncoder::kVelocityFloor);
        EXPECT_LT(dWorstDb, 1.0);
        EXPECT_LT(dHighestDb, 4.5) << "a swell to full loudness";
    }
}

TEST(Midi, PitchFollowsTheVoiceWithinThreeCentsAtADinRate) {
    // Glides, vibrato, a held note shifted by the left button.
    InitPerformanceState();
    DeriveParameters(StartupParameterTexts(), 0, OverCycleData(0));
    const double dShift = PerformanceState.dLeftShiftRatio;
    const Gesture shifted = [=](std::uint64_t n) {
        return At(XForSemitones(60), 0.2, (n / 11025) % 2 == 1 ? dShift : 1.0);
    };
    const std::pair<const char*, Gesture> gestures[] = {
        {"glide 0.5 oct/s", Glide(60, 84, 0.5)},
        {"glide 4 oct/s", Glide(60, 72, 4)},
        {"vibrato ±50 c 6 Hz", Vibrato(62, 50, 6)},
        {"left button", shifted},
    };
    for (MidiMode mode : kModes) {
        for (const auto& [name, g] : gestures) {
            SCOPED_TRACE(testing::Message() << Name(mode) << ", " << name);
            const Played p = Play(g, 5 * 44100, mode);
            EXPECT_LE(BusiestSecond(p.ev), static_cast<std::size_t>(CMidiEncoder::kDinBytesPerSecond));
            if (std::string(name) != "glide 4 oct/s") {
                EXPECT_LT(WorstCents(p, mode), 3.0);
            }
            // Lifting the limit for a virtual port follows closer.
            const Played free = Play(g, 5 * 44100, mode, false);
            EXPECT_LT(WorstCents(free, mode), 1.0);
        }
    }
}

TEST(Midi, LegatoKeepsTheOldNotesBendThroughItsRelease) {
    // MPE: a jump beyond ±48 starts a note on a fresh channel; the old channel keeps its bend
    // until well after its Note Off.
    const Played mpe = Play(Jump(48, 100, 22050), 66150, MidiMode::Mpe);
    Receiver r(MidiMode::Mpe);
    Replay(mpe, MidiMode::Mpe, r);
    ASSERT_EQ(r.NoteOns(), 2);
    const auto [nOldChannel, nOff] = r.Offs().at(0);
    EXPECT_EQ(nOldChannel, 1);
    for (const MidiEvent& e : mpe.ev) {
        if ((e.bytes[0] & 0x0F) == nOldChannel && (e.bytes[0] & 0xF0) == 0xE0 && e.nSample > nOff) {
            EXPECT_GE(e.nSample, nOff + CMidiEncoder::kResetSamples) << "the release keeps its pitch";
        }
    }
    // Single channel: the old note ends before the bend moves, and a two-octave jump is one new
    // note, not a burst.
    const Played single = Play(Jump(60, 84, 22050), 66150, MidiMode::Single);
    Receiver rs(MidiMode::Single);
    Replay(single, MidiMode::Single, rs);
    const std::vector<std::uint64_t>& ons = rs.NoteOnSamples();
    for (std::size_t k = 1; k < ons.size(); ++k) EXPECT_GE(ons[k] - ons[k - 1], 882u);
    EXPECT_EQ(ons.size(), 2u) << "the attack, and one note for the jump";
    for (std::size_t i = 4; i < single.ev.size(); ++i) {
        if (single.ev[i].bytes[0] == 0x90 && single.ev[i].nSample > 22050) {
            SCOPED_TRACE(testing::Message()
                         << "Note Off, All Sound Off, bend, CC 11, Note On at " << single.ev[i].nSample);
            EXPECT_EQ(single.ev[i - 4].bytes[0], 0x80);
            EXPECT_EQ(std::vector<int>(single.ev[i - 3].bytes, single.ev[i - 3].bytes + 3),
                      (std::vector<int>{0xB0, 120, 0}));
            EXPECT_EQ(single.ev[i - 2].bytes[0], 0xE0);
        }
    }
    // Once the jump's glide (faster than a DIN link can follow) has ended.
    EXPECT_LT(WorstCents(single, MidiMode::Single, 22050 + 4410), 3.0);
}

TEST(Midi, MpeNotesRotateOverTheZoneAndEveryChannelEndsAtRest) {
    const Played p = Play(Phrase(), 6 * 22050, MidiMode::Mpe);
    Receiver r(MidiMode::Mpe);
    std::map<int, std::uint64_t> firstOn;
    Replay(p, MidiMode::Mpe, r);
    ASSERT_EQ(r.NoteOns(), 6);
    // Six notes, six channels (2 .. 7), each reset 0.5 s after its Note Off or before it plays.
    std::vector<int> channels;
    for (const MidiEvent& e : p.ev) {
        if ((e.bytes[0] & 0xF0) == 0x90) channels.push_back(e.bytes[0] & 0x0F);
    }
    EXPECT_EQ(channels, (std::vector<int>{1, 2, 3, 4, 5, 6}));
    for (const auto& [c, nOff] : r.Offs()) {
        bool bBend = false, bPressure = false;
        for (const MidiEvent& e : p.ev) {
            if (e.nSample <= nOff || (e.bytes[0] & 0x0F) != c) continue;
            bBend = bBend || (e.bytes[0] == (0xE0 | c) && e.bytes[1] == 0 && e.bytes[2] == 64);
            bPressure = bPressure || (e.bytes[0] == (0xD0 | c) && e.bytes[1] == 0);
        }
        EXPECT_TRUE(bBend && bPressure) << "channel " << c + 1;
    }
    // The end of the session: All Notes Off and rest on the manager and every channel used.
    for (int c = 0; c <= 6; ++c) {
        EXPECT_TRUE(r.AllOff(c)) << c + 1;
        EXPECT_TRUE(r.At(c).bRest) << c + 1;
    }
    EXPECT_FALSE(r.AllOff(7));
}

TEST(Midi, SingleChannelEndsWithTheChannelAtRest) {
    const Played p = Play(Phrase(), 3 * 22050 + 5000, MidiMode::Single);
    Receiver r(MidiMode::Single);
    Replay(p, MidiMode::Single, r);
    EXPECT_EQ(r.NoteOns(), 4);
    EXPECT_TRUE(r.AllOff(0));
    EXPECT_EQ(r.At(0).nBend, 8192);
    EXPECT_EQ(r.At(0).nExpression, 127);
    EXPECT_EQ(r.At(0).nRange, 12);
}

TEST(Midi, SessionsAndTheRenderToolSendTheSameStream) {
    // The audio thread feeds the same encoder: a render's stream starts with the set-up and ends
    // at rest.
    auto pQueue = std::make_unique<CMidiEventQueue>();
    SessionSettings s = StartupSession();
    s.pMidiQueue = pQueue.get();
    std::vector<MidiEvent> ev;
    ASSERT_TRUE(RenderSession(s, Hold(0.4, 0.2, 22050), nullptr, [&](const std::int16_t*, std::size_t) {
        MidiEvent e;
        while (pQueue->TryPop(e)) ev.push_back(e);
        return true;
    }));
    MidiEvent e;
    while (pQueue->TryPop(e)) ev.push_back(e);
    ASSERT_GE(ev.size(), 5u);
    EXPECT_EQ(std::vector<int>(ev[0].bytes, ev[0].bytes + 3), (std::vector<int>{0xB0, 101, 0}));
    EXPECT_EQ(std::vector<int>(ev[2].bytes, ev[2].bytes + 3), (std::vector<int>{0xB0, 6, 15}));
    EXPECT_EQ(std::vector<int>(ev.back().bytes, ev.back().bytes + 3), (std::vector<int>{0xB1, 123, 0}));
    EXPECT_EQ(ev.back().nSample, 22050u);
}

TEST(Midi, StandardMidiFileLayoutAndTicks) {
    std::vector<MidiEvent> ev(3);
    ev[0] = {0, 3, {0x91, 60, 100}};
    ev[1] = {44100, 3, {0xE1, 0x00, 0x40}};  // one second: 1920 ticks
    ev[2] = {44100 + 11, 2, {0xD1, 64, 0}};  // 11 samples: 0.48 of a tick, rounds to 0
    const std::string f = StandardMidiFileBytes(ev);
    const std::string header("MThd\0\0\0\x06\0\0\0\x01\x03\xC0MTrk", 18);
    ASSERT_EQ(f.substr(0, 18), header);
    const std::string track = f.substr(22);
    EXPECT_EQ(static_cast<std::size_t>(static_cast<unsigned char>(f[21])), track.size());
    const std::string expected(
        "\0\xFF\x51\x03\x07\xA1\x20"  // tempo 500000
        "\0\x91\x3C\x64"              // note on at 0
        "\x8F\x00\xE1\x00\x40"        // 1920 ticks later: 0x8F 0x00
        "\0\xD1\x40"                  // same tick
        "\0\xFF\x2F\0",
        23);
    EXPECT_EQ(track, expected);
}
