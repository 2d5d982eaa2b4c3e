// The engine object against the program's own session: the same samples for the same gesture,
// with events landing on their exact samples, its own filter stage, and engines that share a
// process without sharing state.
#include "engine/engine.h"

#include <gtest/gtest.h>

#include <cmath>
#include <vector>

#include "engine/audio_thread.h"
#include "engine/performance_parameters.h"
#include "engine/performance_state.h"
#include "engine/pitch_mapping.h"
#include "engine/tuning.h"
#include "filter/fir_filter.h"
#include "platform/sample_scale.h"
#include "tests/support/pitch.h"
#include "tests/support/session_support.h"

namespace {

// A gesture with a correction switched on and off, and both buttons.
std::vector<GestureRow> Gesture() {
    std::vector<GestureRow> rows;
    for (std::uint64_t n = 0; n < 30000; n += 97) {
        rows.push_back({n, 0.3 + 0.2 * std::sin(n / 4000.0), 0.1 + 0.3 * (n % 5000) / 5000.0,
                        (n / 7000) % 2 == 1, (n / 11000) % 2 == 1});
    }
    GestureRow off{9001, 0, 0, false, false};
    off.nCorrection = 0;
    GestureRow on{20003, 0, 0, false, false};
    on.nCorrection = 1;
    rows.insert(rows.begin() + 93, off);
    rows.insert(rows.begin() + 207, on);
    rows.push_back({30000, 0.5, 1.0, false, false});
    return rows;
}

std::vector<EngineEvent> Events(const std::vector<GestureRow>& rows) {
    std::vector<EngineEvent> events;
    for (const GestureRow& r : rows) {
        EngineEvent e;
        e.nOffset = static_cast<std::uint32_t>(r.nSample);
        if (r.nCorrection >= 0) {
            e.kind = EngineEvent::Kind::Correction;
            e.bCorrection = r.nCorrection == 1;
        } else {
            e.dX = r.dX, e.dY = r.dY, e.bLeft = r.bLeft, e.bRight = r.bRight;
        }
        events.push_back(e);
    }
    return events;
}

EngineSettings SettingsFor(const SessionSettings& s, const CTuning* pTuning) {
    EngineSettings e;
    e.params = Derive(s.texts, s.nCheckDetune, s.dwOverCycleData).values;
    e.pTuning = pTuning;
    return e;
}

std::vector<std::int16_t> EngineRender(CEngine& engine, const std::vector<EngineEvent>& events, int nFrames) {
    std::vector<double> out(nFrames);
    engine.Render(out.data(), nFrames, events.data(), static_cast<int>(events.size()));
    std::vector<std::int16_t> samples;
    for (double v : out) samples.push_back(ToInt16Sample(v));
    return samples;
}

}  // namespace

TEST(Engine, RendersTheSessionsSamplesWithEventsOnTheirSamples) {
    const CTuning tet = CTuning::EqualTemperament();
    const std::vector<GestureRow> rows = Gesture();
    SessionSettings s = StartupSession();
    s.dwOverCycleData = kOverCycleItemData[2];
    s.texts.strFeedback = "300";
    s.pQuantise = &tet;
    std::vector<std::int16_t> session;
    ASSERT_TRUE(RenderSession(s, rows, nullptr, session));

    CEngine engine;
    engine.Prepare(SettingsFor(s, &tet));
    EXPECT_EQ(EngineRender(engine, Events(rows), 30000), session);
}

TEST(Engine, OwnFilterStageAndTwoEnginesInOneProcess) {
    // Filter 1 a three-tap smoother, filter 2 a delay, the feedback loop on.
    CFirFilter f1, f2;
    const float taps1[] = {0.25f, 0.5f, 0.25f}, taps2[] = {0.0f, 0.0f, 1.0f};
    ASSERT_TRUE(f1.SetTaps(taps1, 3));
    ASSERT_TRUE(f2.SetTaps(taps2, 3));
    SessionSettings s = StartupSession();
    s.fir = {1, &f1, &f2, 80, 120, 37, 40};
    const std::vector<GestureRow> rows = Hold(0.45, 0.1, 20000);
    std::vector<std::int16_t> session;
    ASSERT_TRUE(RenderSession(s, rows, nullptr, session));

    CEngine a, b;
    a.Prepare(SettingsFor(s, nullptr));
    ASSERT_TRUE(a.BuildFilter(s.fir));
    SessionSettings plain = StartupSession();
    plain.texts.strModRatio = "3";
    b.Prepare(SettingsFor(plain, nullptr));
    const std::vector<EngineEvent> ea = Events(rows), eb = Events(Hold(0.7, 0.3, 20000));
    // Interleaved block by block, each must play as if alone.
    std::vector<std::int16_t> outA, outB;
    for (int from = 0; from < 20000; from += 256) {
        const int n = std::min(256, 20000 - from);
        std::vector<EngineEvent> blockA, blockB;
        for (EngineEvent e : ea) {
            if (e.nOffset >= static_cast<std::uint32_t>(from) &&
                e.nOffset < static_cast<std::uint32_t>(from + n)) {
                e.nOffset -= from;
                blockA.push_back(e);
            }
        }
        for (EngineEvent e : eb) {
            if (e.nOffset >= static_cast<std::uint32_t>(from) &&
                e.nOffset < static_cast<std::uint32_t>(from + n)) {
                e.nOffset -= from;
                blockB.push_back(e);
            }
        }
        const std::vector<std::int16_t> pa = EngineRender(a, blockA, n), pb = EngineRender(b, blockB, n);
        outA.insert(outA.end(), pa.begin(), pa.end());
        outB.insert(outB.end(), pb.begin(), pb.end());
    }
    EXPECT_EQ(outA, session);
    CEngine alone;
    alone.Prepare(SettingsFor(plain, nullptr));
    EXPECT_EQ(EngineRender(alone, eb, 20000), outB);
}

TEST(Engine, PitchAndGlideTimesHoldAtEveryRate) {
    // A held note, then a jump of an octave and a fifth: the same frequency and the same glide in
    // seconds at 44100, 48000 and 96000 samples a second.
    SessionSettings s = StartupSession();
    const std::vector<GestureRow> rows = {{0, 0.35, 0.1, false, false}};
    double dHz44 = 0, dGlide44 = 0;
    for (double dRate : {44100.0, 48000.0, 96000.0}) {
        EngineSettings e = SettingsFor(s, nullptr);
        e.dRate = dRate;
        CEngine engine;
        engine.Prepare(e);
        const auto n = static_cast<int>(dRate);  // one second held
        std::vector<double> out(n);
        std::vector<EngineEvent> ev = Events(rows);
        engine.Render(out.data(), n, ev.data(), static_cast<int>(ev.size()));
        const double dHz = MeasureHz(out, n / 2, out.size(), dRate);
        // The jump: the time until the voice is within a semitone of the new pitch.
        EngineEvent jump;
        jump.dX = 0.6, jump.dY = 0.1;
        const double dTarget = engine.Mapping().Log2HzAt(0.6);
        double dGlide = 0;
        for (int i = 0; i < n; ++i) {
            double v;
            engine.Render(&v, 1, &jump, i == 0 ? 1 : 0);
            if (dGlide == 0 &&
                std::fabs(engine.Mapping().Log2HzOfStep(engine.Voice().PhaseInc()) - dTarget) < 1.0 / 12) {
                dGlide = i / dRate;
            }
        }
        SCOPED_TRACE(testing::Message() << dRate << " Hz: " << dHz << " Hz held, glide " << dGlide << " s");
        if (dRate == 44100.0) {
            dHz44 = dHz, dGlide44 = dGlide;
            EXPECT_GT(dGlide, 0.005);
        }
        EXPECT_LT(std::fabs(1200 * std::log2(dHz / dHz44)), 1.0);
        EXPECT_NEAR(dGlide, dGlide44, 0.0005);
    }
}

namespace {

EngineEvent Midi(std::uint32_t nOffset, int a, int b, int c = -1) {
    EngineEvent e;
    e.nOffset = nOffset;
    e.kind = EngineEvent::Kind::Midi;
    e.nMidiSize = static_cast<std::uint8_t>(c < 0 ? 2 : 3);
    e.midi[0] = static_cast<std::uint8_t>(a), e.midi[1] = static_cast<std::uint8_t>(b);
    e.midi[2] = static_cast<std::uint8_t>(c < 0 ? 0 : c);
    return e;
}

// Plays the events, one per call, each followed by half a second; returns, after each, the
// sounding pitch (semitones above MIDI note 0) and the loudness target.
std::vector<std::pair<double, double>> PlayMidi(const std::vector<std::vector<EngineEvent>>& steps) {
    SessionSettings s = StartupSession();
    CEngine engine;
    engine.Prepare(SettingsFor(s, nullptr));
    std::vector<std::pair<double, double>> heard;
    std::vector<double> out(22050);
    for (const std::vector<EngineEvent>& step : steps) {
        engine.Render(out.data(), 22050, step.data(), static_cast<int>(step.size()));
        const double dLog2 = engine.Mapping().Log2HzOfStep(engine.Voice().PhaseInc());
        heard.emplace_back(69 + 12 * (dLog2 - std::log2(440.0)), engine.Voice().TargetAmp());
    }
    return heard;
}

}  // namespace

TEST(Engine, MidiNotesPlayTheVoiceLastNoteFirst) {
    const auto heard = PlayMidi({
        {Midi(0, 0x90, 60, 127)},                                              // C4, full velocity
        {Midi(0, 0x90, 67, 64)},                                               // G4 over it, softer
        {Midi(0, 0x80, 67, 0)},                                                // back to the C4 still held
        {Midi(0, 0xE0, 0x7F, 0x7F)},                                           // bend up: ±2 by default
        {Midi(0, 0xB0, 101, 0), Midi(0, 0xB0, 100, 0), Midi(0, 0xB0, 6, 12)},  // range ±12
        {Midi(0, 0xB0, 11, 64)},  // expression halves the level twice
        {Midi(0, 0x90, 60, 0)},   // the last release: silence
    });
    ASSERT_EQ(heard.size(), 7u);
    EXPECT_NEAR(heard[0].first, 60, 0.01);
    EXPECT_NEAR(heard[0].second, 0.8, 1e-9);
    EXPECT_NEAR(heard[1].first, 67, 0.01);
    EXPECT_NEAR(heard[1].second, 0.8 * std::pow(64 / 127.0, 2), 1e-9);
    EXPECT_NEAR(heard[2].first, 60, 0.01);
    EXPECT_NEAR(heard[3].first, 62, 0.01);
    EXPECT_NEAR(heard[4].first, 72, 0.01);
    EXPECT_NEAR(heard[5].second, 0.8 * std::pow(64 / 127.0, 2), 1e-9);
    EXPECT_EQ(heard[6].second, 0.0);
    EXPECT_NEAR(heard[6].first, 72, 0.01) << "a release leaves the pitch where it was";
}

TEST(Engine, MpeMemberChannelsBendFortyEightAndPressureBeforeTheNoteCounts) {
    const auto heard = PlayMidi({
        {Midi(0, 0xB0, 101, 0), Midi(0, 0xB0, 100, 6), Midi(0, 0xB0, 6, 15),  // lower zone
         Midi(0, 0xD2, 0), Midi(0, 0x92, 60, 127)},                           // pressure 0, then C4
        {Midi(0, 0xE2, 0x00, 0x60), Midi(0, 0xD2, 127)},                      // +24 semitones, pressed
        {Midi(0, 0x93, 48, 100), Midi(0, 0x82, 60, 64)},                      // a new note elsewhere
    });
    EXPECT_EQ(heard[0].second, 0.0) << "no pressure yet";
    EXPECT_NEAR(heard[1].first, 84, 0.01);
    EXPECT_NEAR(heard[1].second, 0.8, 1e-9);
    EXPECT_NEAR(heard[2].first, 48, 0.01) << "channel 4's note has no bend of channel 3's";
}

// MIDI in through the session's per-sample work, as the program's audio thread does it: a note
// moves the pointer to where it sounds, a move of the board's pointer takes over, and the next
// message (from the other port) hands the pointer back to MIDI; the sound follows each.
TEST(SessionRenderer, MidiInDrivesThePointerUntilTheBoardMoves) {
    CMidiInQueue alsa, jack;
    SessionSettings s = StartupSession();
    s.apMidiIn[0] = &alsa;
    s.apMidiIn[1] = &jack;
    ASSERT_TRUE(PrepareSession(s, nullptr));
    PERFORMANCESTATE& ps = PerformanceState;
    const PitchMapping map = MappingOf(ps);
    {
        CSessionRenderer renderer;
        std::vector<std::int16_t> out;
        const auto run = [&](int nSamples) {
            for (int i = 0; i < nSamples; ++i) {
                std::int16_t n = 0;
                ASSERT_TRUE(renderer.Next(n));
                out.push_back(n);
            }
        };
        MidiEvent on;
        on.nSize = 3;
        on.bytes[0] = 0x90, on.bytes[1] = 69, on.bytes[2] = 127;
        ASSERT_TRUE(jack.TryPush(on));
        run(22050);
        EXPECT_TRUE(ps.bMidiDriving.load());
        EXPECT_NEAR(ps.dMidiX.load(), map.XForLog2Hz(std::log2(440.0)), 1e-9);
        EXPECT_NEAR(MeasureHz(out, 11025, 22050), 440.0, 440.0 * 0.0006) << "within a cent of A4";
        // The board's readout of the sounding note says the same.
        EXPECT_NEAR(std::exp2(map.Log2HzOfStep(ps.dSoundingInc.load())), 440.0, 440.0 * 0.0006);

        // The board's pointer moves: it plays from there, MIDI's note still held.
        ps.dPointerX.store(0.3);
        ps.dPointerY.store(0.0);
        run(22050);
        EXPECT_FALSE(ps.bMidiDriving.load());
        EXPECT_NEAR(MeasureHz(out, 33075, 44100), std::exp2(map.Log2HzAt(0.3)), 0.5);

        // A Note Off from the ALSA port: MIDI again, and with no note held, silence.
        MidiEvent off = on;
        off.bytes[0] = 0x80;
        ASSERT_TRUE(alsa.TryPush(off));
        run(22050);
        EXPECT_TRUE(ps.bMidiDriving.load());
        EXPECT_EQ(ps.dMidiY.load(), 1.0);
        int nPeak = 0;
        for (std::size_t i = out.size() - 2205; i < out.size(); ++i)
            nPeak = std::max(nPeak, std::abs(int{out[i]}));
        EXPECT_EQ(nPeak, 0);
        renderer.End();
    }
    EndPreparedSession();
    PerformanceState.apMidiIn[0] = PerformanceState.apMidiIn[1] = nullptr;
}
