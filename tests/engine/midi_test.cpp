// MIDI from the performance: what the encoder sends for scripted gestures, checked against the
// voice's own pitch, and the Standard MIDI File it is written to.
#include <gtest/gtest.h>

#include <cmath>

#include "engine/midi_encoder.h"
#include "engine/pitch_mapping.h"
#include "files/midi_file.h"
#include "tests/support/session_support.h"

namespace {

std::vector<MidiEvent> RenderMidi(const std::vector<GestureRow>& rows, int nMode) {
    auto pQueue = std::make_unique<CMidiEventQueue>();
    SessionSettings s = StartupSession();
    s.pMidiQueue = pQueue.get();
    s.nMidiMode = nMode;
    std::vector<MidiEvent> events;
    EXPECT_TRUE(RenderSession(s, rows, nullptr, [&](const std::int16_t*, std::size_t) {
        MidiEvent e;
        while (pQueue->TryPop(e)) events.push_back(e);
        return true;
    }));
    MidiEvent e;
    while (pQueue->TryPop(e)) events.push_back(e);
    return events;
}

int Status(const MidiEvent& e) { return e.bytes[0]; }

// The pitch, in semitones above MIDI note 0, that the last note and bend before nSample say.
double MidiPitchAt(const std::vector<MidiEvent>& events, std::uint64_t nSample, int nRange, int nChannel) {
    int nNote = -1, nBend = 8192;
    for (const MidiEvent& e : events) {
        if (e.nSample > nSample) break;
        if (Status(e) == (0x90 | nChannel)) nNote = e.bytes[1];
        if (Status(e) == (0xE0 | nChannel)) nBend = e.bytes[1] | (e.bytes[2] << 7);
    }
    return nNote + (nBend - 8192) / 8192.0 * nRange;
}

double SemitonesAt(double x) {
    const PitchMapping map = PitchMapping::FromState(PerformanceState);
    return 69.0 + 12.0 * (map.Log2HzAt(x) - std::log2(440.0));
}

}  // namespace

TEST(Midi, MpeSetUpNoteBendPressureAndEnd) {
    // Silent, then up at one pitch, glide to another, down to silence.
    const std::vector<GestureRow> rows = {{0, 0.4, 1.0, false, false},
                                          {4410, 0.4, 0.2, false, false},
                                          {22050, 0.47, 0.2, false, false},
                                          {44100, 0.47, 0.9, false, false},
                                          {55125, 0.47, 0.9, false, false}};
    const std::vector<MidiEvent> ev = RenderMidi(rows, 0);
    ASSERT_GE(ev.size(), 10u);
    // The zone (CC 101 0, CC 100 6, CC 6 15 on channel 1), then ±48 on the member channel.
    const std::vector<std::vector<int>> setUp = {{0xB0, 101, 0}, {0xB0, 100, 6}, {0xB0, 6, 15},
                                                 {0xB1, 101, 0}, {0xB1, 100, 0}, {0xB1, 6, 48},
                                                 {0xB1, 38, 0}};
    for (std::size_t i = 0; i < setUp.size(); ++i) {
        EXPECT_EQ(std::vector<int>(ev[i].bytes, ev[i].bytes + 3), setUp[i]) << i;
        EXPECT_EQ(ev[i].nSample, 0u);
    }
    // The note starts where the loudness target rises, after its bend, on channel 2.
    std::size_t on = 0;
    while (on < ev.size() && Status(ev[on]) != 0x91) ++on;
    ASSERT_LT(on, ev.size());
    EXPECT_EQ(ev[on].nSample, 4410u);
    EXPECT_EQ(Status(ev[on - 1]), 0xE1);
    EXPECT_EQ(ev[on].bytes[1], static_cast<int>(std::lround(SemitonesAt(0.4))));
    EXPECT_EQ(ev[on].bytes[2], 95) << "velocity from the loudness target 0.6 of 0.8";
    // Held, and after the glide: MIDI within a cent of the voice.
    for (std::uint64_t n : {20000u, 43000u}) {
        const double x = n < 22050 ? 0.4 : 0.47;
        EXPECT_NEAR(MidiPitchAt(ev, n, 48, 1), SemitonesAt(x), 0.01) << n;
    }
    // Pressure rises with the voice's amplitude; the note ends where the target reaches zero.
    int nPressure = 0, nLast = -1;
    for (const MidiEvent& e : ev) {
        if (Status(e) != 0xD1) continue;
        EXPECT_EQ(e.nSize, 2);
        if (e.nSample < 20000) {
            EXPECT_GE(e.bytes[1], nLast) << e.nSample;
        }
        nLast = e.bytes[1];
        ++nPressure;
    }
    EXPECT_GT(nPressure, 20);
    ASSERT_EQ(Status(ev.back()), 0x81);
    EXPECT_EQ(ev.back().nSample, 44100u);
    for (std::size_t i = 1; i < ev.size(); ++i) ASSERT_LE(ev[i - 1].nSample, ev[i].nSample) << "in order";
}

TEST(Midi, SingleChannelStartsALegatoNoteOutsideTheBendRange) {
    // A jump of about two octaves while sounding: beyond ±12.
    const std::vector<GestureRow> rows = {{0, 0.3, 0.2, false, false},
                                          {22050, 0.6, 0.2, false, false},
                                          {44100, 0.6, 1.0, false, false},
                                          {50000, 0.6, 1.0, false, false}};
    const std::vector<MidiEvent> ev = RenderMidi(rows, 1);
    EXPECT_EQ(std::vector<int>(ev[0].bytes, ev[0].bytes + 3), (std::vector<int>{0xB0, 101, 0}));
    EXPECT_EQ(std::vector<int>(ev[2].bytes, ev[2].bytes + 3), (std::vector<int>{0xB0, 6, 12}));
    std::vector<std::size_t> ons, offs;
    for (std::size_t i = 0; i < ev.size(); ++i) {
        if (Status(ev[i]) == 0x90) ons.push_back(i);
        if (Status(ev[i]) == 0x80) offs.push_back(i);
    }
    ASSERT_GE(ons.size(), 2u);
    ASSERT_GE(offs.size(), 2u);
    // Legato: the second note begins before the first ends.
    EXPECT_LT(ons[1], offs[0]);
    EXPECT_EQ(ev[offs[0]].bytes[1], ev[ons[0]].bytes[1]);
    EXPECT_NEAR(MidiPitchAt(ev, 40000, 12, 0), SemitonesAt(0.6), 0.01);
    bool bExpression = false;
    for (const MidiEvent& e : ev) bExpression = bExpression || (Status(e) == 0xB0 && e.bytes[1] == 11);
    EXPECT_TRUE(bExpression) << "loudness as CC 11";
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
