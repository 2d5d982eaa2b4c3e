// Pitch correction and tunings: held notes land on the scale, vibrato keeps its depth, sweeps stay
// smooth, and the guides' positions are where their notes sound. Rendered through the real chain.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <algorithm>
#include <cmath>
#include <fstream>
#include <functional>

#include "engine/performance_parameters.h"
#include "engine/pitch_mapping.h"
#include "engine/tuning.h"
#include "engine/voice.h"
#include "tests/support/pitch.h"
#include "tests/support/session_support.h"
#include "tests/support/temp_dir.h"

namespace {

std::vector<std::int16_t> Render(const std::vector<GestureRow>& rows, const CTuning* pTuning) {
    SessionSettings s = StartupSession();
    s.pQuantise = pTuning;
    std::vector<std::int16_t> out;
    EXPECT_TRUE(RenderSession(s, rows, nullptr, out));
    return out;
}

double Cents(double a, double b) { return 1200.0 * std::log2(a / b); }

// Pitch values in log2 Hz, one per cycle of the sound, from rising zero crossings.
std::vector<std::pair<double, double>> PitchTrack(const std::vector<std::int16_t>& s, std::size_t from) {
    std::vector<std::pair<double, double>> track;  // (time in samples, log2 Hz)
    double last = -1;
    for (std::size_t i = from + 1; i < s.size(); ++i) {
        if (s[i - 1] < 0 && s[i] >= 0) {
            const double t = (i - 1) + static_cast<double>(s[i - 1]) / (s[i - 1] - s[i]);
            if (last >= 0) track.emplace_back((t + last) / 2, std::log2(44100.0 / (t - last)));
            last = t;
        }
    }
    return track;
}

// The x where a frequency sounds with no button held.
double XFor(double hz) {
    StartupSession();
    SessionSettings s = StartupSession();
    DeriveParameters(s.texts, 0, s.dwOverCycleData);
    return MappingOf(PerformanceState).XForLog2Hz(std::log2(hz));
}

std::string WriteFile(const TempDir& dir, const std::string& name, const std::string& text) {
    std::ofstream(dir.Path(name)) << text;
    return dir.Path(name);
}

}  // namespace

TEST(Quantise, HeldNotesLandWithinTwoCentsOfTheScale) {
    TempDir dir;
    CTuning edo5;
    std::string err;
    ASSERT_TRUE(CTuning::LoadScala(
        WriteFile(dir, "5edo.scl", "! 5 equal\n5-EDO\n5\n240.\n480.\n720.\n960.\n2/1\n"), "", 0, edo5, err))
        << err;
    const CTuning tet = CTuning::EqualTemperament();
    for (const CTuning* t : {static_cast<const CTuning*>(&tet), static_cast<const CTuning*>(&edo5)}) {
        // Between notes, a little off each: 20 to 45 cents sharp or flat.
        for (const auto& [near, cents] :
             {std::pair{262.0, 30.0}, {440.0, -45.0}, {700.0, 20.0}, {1234.5, -35.0}}) {
            const double hz = std::exp2(t->Nearest(std::log2(near)).dLog2Hz) * std::exp2(cents / 1200);
            const std::vector<std::int16_t> s = Render(Hold(XFor(hz), 0.1, 44100), t);
            const double got = MeasureHz(s, 22050, s.size());
            const double note = std::exp2(t->Nearest(std::log2(got)).dLog2Hz);
            EXPECT_LT(std::fabs(Cents(got, note)), 2.0)
                << hz << " Hz played, " << got << " Hz heard, note " << note;
            // And it moved: the free pitch is far from the note.
            EXPECT_GT(std::fabs(Cents(hz, note)), 15.0);
        }
    }
}

TEST(Quantise, HeldNoteSettlesWithinAFifthOfASecond) {
    const CTuning tet = CTuning::EqualTemperament();
    const double hz = 440.0 * std::exp2(0.4 / 12);
    const std::vector<std::int16_t> s = Render(Hold(XFor(hz), 0.1, 44100), &tet);
    // From 0.2 s on every cycle is within 2 cents of A4 (the voice's own glide included).
    for (const auto& [t, p] : PitchTrack(s, 8820))
        ASSERT_LT(std::fabs(1200 * (p - std::log2(440.0))), 2.0) << t;
}

TEST(Quantise, VibratoKeepsItsDepthAroundTheNote) {
    const CTuning tet = CTuning::EqualTemperament();
    const double x0 = XFor(440.0 * std::exp2(0.3 / 12));
    const double xPerSemitone = XFor(440.0 * std::exp2(1.0 / 12)) - XFor(440.0);
    std::vector<GestureRow> rows;
    for (std::uint64_t n = 0; n < 2 * 44100; n += 32) {
        const double depth = n < 11025 ? 0.0 : 0.4;  // ±0.4 semitone at 5.5 Hz after a quarter second
        rows.push_back(
            {n, x0 + depth * xPerSemitone * std::sin(2 * M_PI * 5.5 * n / 44100.0), 0.1, false, false});
    }
    rows.push_back({2 * 44100, x0, 0.1, false, false});
    auto depthAndCentre = [](const std::vector<std::int16_t>& s) {
        double lo = 1e9, hi = -1e9, sum = 0;
        int n = 0;
        for (const auto& [t, p] : PitchTrack(s, 44100)) {
            lo = std::min(lo, p), hi = std::max(hi, p), sum += p, ++n;
        }
        return std::make_pair(1200 * (hi - lo) / 2, 1200 * (sum / n - std::log2(440.0)));
    };
    const auto [freeDepth, freeCentre] = depthAndCentre(Render(rows, nullptr));
    const auto [depth, centre] = depthAndCentre(Render(rows, &tet));
    RecordProperty("depth_cents", std::to_string(depth) + " against " + std::to_string(freeDepth));
    EXPECT_NEAR(depth, freeDepth, 0.2 * freeDepth);
    EXPECT_GT(freeDepth, 30.0);
    EXPECT_NEAR(freeCentre, 30.0, 3.0) << "the free pitch sits 30 cents sharp";
    EXPECT_LT(std::fabs(centre), 3.0) << "the corrected vibrato is centred on A4";
}

TEST(Quantise, FastSweepIsNotStaircased) {
    const CTuning tet = CTuning::EqualTemperament();
    std::vector<GestureRow> rows;
    // Two octaves up in one second, then held.
    const double x0 = XFor(220.0 * std::exp2(0.37 / 12)), x1 = XFor(880.0 * std::exp2(0.37 / 12));
    for (std::uint64_t n = 0; n <= 44100; n += 64)
        rows.push_back({n, x0 + (x1 - x0) * n / 44100.0, 0.1, false, false});
    rows.push_back({66150, x1, 0.1, false, false});
    const auto free = PitchTrack(Render(rows, nullptr), 2205);
    const auto corrected = PitchTrack(Render(rows, &tet), 2205);
    ASSERT_EQ(free.size() > 100, true);
    // Through the sweep the corrected pitch follows the free one; a staircase would stand up to
    // 50 cents off it.
    double worst = 0;
    double worstAt = 0;
    for (std::size_t i = 0, j = 0; i < free.size() && free[i].first < 44100 - 4410; ++i) {
        while (j + 2 < corrected.size() && corrected[j + 1].first <= free[i].first) ++j;
        // The corrected track between its two cycles around this moment.
        const auto& [t0, p0] = corrected[j];
        const auto& [t1, p1] = corrected[j + 1];
        const double p = p0 + (p1 - p0) * (free[i].first - t0) / (t1 - t0);
        const double d = std::fabs(1200 * (p - free[i].second));
        if (d > worst) worst = d, worstAt = free[i].first;
    }
    RecordProperty("worst_at_sample", std::to_string(worstAt));
    RecordProperty("worst_sweep_difference_cents", std::to_string(worst));
    EXPECT_LT(worst, 10.0);
}

TEST(Quantise, GuidePositionsSoundTheirNotes) {
    // A held tone at a guide's x, without correction, is that note.
    const CTuning tet = CTuning::EqualTemperament();
    for (double hz : {261.6256, 440.0, 1046.502}) {
        const std::vector<std::int16_t> s = Render(Hold(XFor(hz), 0.1, 44100), nullptr);
        EXPECT_LT(std::fabs(Cents(MeasureHz(s, 22050, s.size()), hz)), 1.0) << hz;
    }
}

TEST(Tuning, EqualTemperamentNamesAndNearestNotes) {
    const CTuning t = CTuning::EqualTemperament(442.0);
    const TuningNote& a = t.Nearest(std::log2(445.0));
    EXPECT_NEAR(std::exp2(a.dLog2Hz), 442.0, 1e-9);
    EXPECT_EQ(t.Name(a), "A4");
    EXPECT_EQ(t.Name(t.Nearest(std::log2(262.0 * 442 / 440))), "C4");
    EXPECT_EQ(t.Name(t.Nearest(std::log2(30.0))), "A#0");
}

TEST(Tuning, ScalaRatiosCentsAndAMapping) {
    TempDir dir;
    const std::string scl =
        WriteFile(dir, "just.scl",
                  "! just major\n Just major\n 7\n 9/8\n 5/4\n 4/3\n 3/2\n 5/3 ! sixth\n 1088.27\n 2\n");
    CTuning t;
    std::string err;
    ASSERT_TRUE(CTuning::LoadScala(scl, "", 0, t, err)) << err;
    EXPECT_EQ(t.Size(), 7);
    EXPECT_NEAR(std::exp2(t.Nearest(std::log2(392.0)).dLog2Hz), 261.6256 * 1.5, 1e-6);
    EXPECT_NEAR(std::exp2(t.Nearest(std::log2(523.0)).dLog2Hz), 2 * 261.6256, 1e-6);
    EXPECT_EQ(t.Name(t.Nearest(std::log2(261.6256))), "4.0");
    // A mapping: A (key 69) at 440 Hz, middle note 60 on degree 0, white keys only.
    const std::string kbm = WriteFile(
        dir, "white.kbm", "! map\n12\n0\n127\n60\n69\n440.0\n7\n0\nx\n1\nx\n2\n3\nx\n4\nx\n5\nx\n6\n");
    ASSERT_TRUE(CTuning::LoadScala(scl, kbm, 0, t, err)) << err;
    EXPECT_NEAR(std::exp2(t.Nearest(std::log2(441.0)).dLog2Hz), 440.0, 1e-9);
    EXPECT_NEAR(std::exp2(t.Nearest(std::log2(264.0)).dLog2Hz), 440.0 * 3 / 5, 1e-9) << "degree 0 below A";
}

TEST(Tuning, DamagedScalaFilesNameTheLine) {
    TempDir dir;
    const struct {
        const char* scl;
        const char* kbm;
        const char* message;
    } cases[] = {
        {"desc\n", nullptr, "line 2: no note count"},
        {"desc\nmany\n", nullptr, "line 2: the note count"},
        {"! c\ndesc\n3\n100.\n", nullptr, "line 5: fewer notes than the count"},
        {"desc\n2\n100.\n3/-2\n", nullptr, "line 4: not a pitch"},
        {"desc\n2\nabc\n2/1\n", nullptr, "line 3: not a pitch"},
        {"desc\n1\n1/2\n", nullptr, "line 3: the period must be above 1/1"},
        {"desc\n1\n2/1\n", "12\n0\n127\n60\n", "line 5: a mapping needs seven header lines"},
        {"desc\n1\n2/1\n", "1\n0\n127\n60\n69\nfast\n1\n0\n", "line 6: not a reference frequency"},
        {"desc\n1\n2/1\n", "2\n0\n127\n60\n69\n440\n1\n0\n", "line 9: fewer map entries"},
        {"desc\n1\n2/1\n", "1\n0\n127\n60\n69\n440\n1\n-3\n", "line 8: a map entry is a degree from 0"},
        // Entries and keys so large that the degree sums would overflow are refused, not wrapped.
        {"desc\n1\n2/1\n", "1\n0\n127\n60\n69\n440\n1\n9223372036854775807\n", "line 8: a map entry"},
        {"desc\n1\n2/1\n", "1\n0\n127\n60\n69\n440\n1\n100001\n", "line 8: a map entry"},
        {"desc\n1\n2/1\n", "1\n0\n99999999\n60\n69\n440\n1\n0\n", "line 3: not a valid last note"},
        {"desc\n1\n2/1\n", "1\n0\n127\n60\n69\n1e300\n1\n0\n", "line 6: not a reference frequency"},
    };
    for (const auto& c : cases) {
        const std::string scl = WriteFile(dir, "t.scl", c.scl);
        const std::string kbm = c.kbm != nullptr ? WriteFile(dir, "t.kbm", c.kbm) : "";
        CTuning t;
        std::string err;
        EXPECT_FALSE(CTuning::LoadScala(scl, kbm, 0, t, err)) << c.scl;
        EXPECT_NE(err.find(c.message), std::string::npos) << err;
        EXPECT_EQ(err.rfind(c.kbm != nullptr ? kbm : scl, 0), 0u) << err;
    }
    CTuning t;
    std::string err;
    EXPECT_FALSE(CTuning::LoadScala(dir.Path("missing.scl"), "", 0, t, err));
    EXPECT_EQ(err, dir.Path("missing.scl") + ": ファイルまたはフォルダが見つかりません");
}

TEST(Tuning, ScaleAndMapOpenOnlyRegularFilesOfAScalesSize) {
    // A named pipe or a device would block the open or never end; each is refused at once with
    // the file's message, as the program's other files are.
    TempDir dir;
    const std::string fifo = dir.Path("pipe.scl");
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    const std::string scl = WriteFile(dir, "ok.scl", "desc\n1\n2/1\n");
    const std::string big = dir.Path("big.scl");
    {
        std::ofstream f(big);
        f << "desc\n1\n2/1\n" << std::string((1 << 20), '!');
    }
    const struct {
        std::string scl, kbm, error;
    } cases[] = {
        {fifo, "", fifo + ": 通常のファイルではありません"},
        {scl, fifo, fifo + ": 通常のファイルではありません"},
        {"/dev/zero", "", "/dev/zero: 通常のファイルではありません"},
        {scl, "/dev/zero", "/dev/zero: 通常のファイルではありません"},
        {dir.Path(""), "", dir.Path("") + ": ファイルではなくフォルダです"},
        {big, "", big + ": too large for a scale"},
    };
    for (const auto& c : cases) {
        CTuning t;
        std::string err;
        EXPECT_FALSE(CTuning::LoadScala(c.scl, c.kbm, 0, t, err)) << c.scl << " " << c.kbm;
        EXPECT_EQ(err, c.error);
    }
    CTuning t;
    std::string err;
    EXPECT_TRUE(CTuning::LoadScala(scl, "", 0, t, err)) << err;
}

namespace {

// The voice's sounding pitch, in semitones above MIDI note 0, sample by sample, for a pointer
// path given in the same semitones, through the correction of pTuning (none when null).
std::vector<double> VoicePitch(const std::function<double(std::uint64_t)>& at, std::uint64_t nSamples,
                               const CTuning* pTuning, double dStrength = 1.0) {
    InitPerformanceState();
    DeriveParameters(StartupParameterTexts(), 0, kOverCycleItemData[0]);
    VoiceParams params = VoiceParamsOf(PerformanceState);
    params.pQuantiseTuning = pTuning;
    params.dQuantiseStrength = dStrength;
    const PitchMapping map = MappingOf(PerformanceState);
    CVoice voice;
    voice.Start(params);
    std::vector<double> out(nSamples);
    for (std::uint64_t n = 0; n < nSamples; ++n) {
        const double x = map.XForLog2Hz(std::log2(440.0) + (at(n) - 69) / 12);
        voice.NextSample({x, 0.1, 1.0, 1.0, pTuning != nullptr});
        out[n] = 69 + 12 * (map.Log2HzOfStep(voice.PhaseInc()) - std::log2(440.0));
    }
    return out;
}

CTuning SeptimalJust(const TempDir& dir) {
    CTuning t;
    std::string err;
    EXPECT_TRUE(CTuning::LoadScala(
        WriteFile(dir, "7limit.scl", "! 7-limit\n7-limit just\n7\n8/7\n5/4\n4/3\n3/2\n5/3\n7/4\n2/1\n"), "",
        0, t, err))
        << err;
    return t;
}

}  // namespace

TEST(Quantise, SlowGlidesPassFreely) {
    // C4 to C6, held half a second first: a staircase would stand still for most of the way and
    // up to 50 cents off the free glide.
    TempDir dir;
    const CTuning tet = CTuning::EqualTemperament();
    const CTuning just = SeptimalJust(dir);
    for (const CTuning* t : {&tet, &just}) {
        for (double dOctavesPerSecond : {0.25, 0.5}) {
            const auto from = static_cast<std::uint64_t>(0.5 * 44100);
            const auto to = from + static_cast<std::uint64_t>(2 / dOctavesPerSecond * 44100);
            const auto at = [&](std::uint64_t n) {
                return 60 + 24.0 * std::clamp((static_cast<double>(n) - from) / (to - from), 0.0, 1.0);
            };
            const std::vector<double> free = VoicePitch(at, to + 22050, nullptr);
            const std::vector<double> corrected = VoicePitch(at, to + 22050, t);
            double dWorst = 0;
            int nFlat = 0, nWindows = 0;
            for (std::uint64_t n = from; n < to; ++n)
                dWorst = std::max(dWorst, std::fabs(corrected[n] - free[n]));
            for (std::uint64_t n = from; n + 441 < to; n += 441, ++nWindows) {
                if (std::fabs(corrected[n + 441] - corrected[n]) < 0.1 * std::fabs(free[n + 441] - free[n]))
                    ++nFlat;
            }
            const double dFlat = 100.0 * nFlat / nWindows;
            SCOPED_TRACE(testing::Message()
                         << (t == &tet ? "12-TET" : "7-limit") << ", " << dOctavesPerSecond
                         << " octave/s: " << 100 * dWorst << " cents, " << dFlat << " % flat");
            RecordProperty(
                std::string(t == &tet ? "tet_" : "just_") + std::to_string(dOctavesPerSecond) + "_cents",
                std::to_string(100 * dWorst));
            EXPECT_LE(100 * dWorst, 10.0);
            EXPECT_LE(dFlat, 10.0);
        }
    }
}

TEST(Quantise, VibratoBetweenTwoNotesStaysOnOne) {
    // ±50 cents around the midpoint of two notes (and around points nearer one), at 4 to 6 Hz.
    TempDir dir;
    const CTuning tet = CTuning::EqualTemperament();
    const CTuning just = SeptimalJust(dir);
    for (const CTuning* t : {&tet, &just}) {
        const TuningNote& a = t->Nearest(std::log2(300.0));
        const TuningNote& b = (&a)[1];
        const double dA = 69 + 12 * (a.dLog2Hz - std::log2(440.0)),
                     dB = 69 + 12 * (b.dLog2Hz - std::log2(440.0));
        for (double dShare : {0.5, 0.35, 0.6}) {
            for (double dHz : {4.0, 5.0, 6.0}) {
                const double dCentre = dA + dShare * (dB - dA);
                const auto at = [&](std::uint64_t n) {
                    return dCentre + 0.5 * std::sin(2 * M_PI * dHz * n / 44100.0);
                };
                const std::vector<double> free = VoicePitch(at, 3 * 44100, nullptr);
                const std::vector<double> corrected = VoicePitch(at, 3 * 44100, t);
                SCOPED_TRACE(testing::Message() << dShare << " of the way, " << dHz << " Hz");
                // Each vibrato cycle from the first second on: centred on one note, at its depth.
                const auto nCycle = static_cast<std::uint64_t>(44100 / dHz);
                double dNote = 0;
                for (std::uint64_t n = 44100; n + nCycle <= corrected.size(); n += nCycle) {
                    double sum = 0, lo = 1e9, hi = -1e9, flo = 1e9, fhi = -1e9;
                    for (std::uint64_t k = n; k < n + nCycle; ++k) {
                        sum += corrected[k];
                        lo = std::min(lo, corrected[k]), hi = std::max(hi, corrected[k]);
                        flo = std::min(flo, free[k]), fhi = std::max(fhi, free[k]);
                    }
                    const double dMean = sum / nCycle;
                    if (dNote == 0) dNote = std::fabs(dMean - dA) < std::fabs(dMean - dB) ? dA : dB;
                    EXPECT_LT(100 * std::fabs(dMean - dNote), 5.0) << "cycle at " << n;
                    EXPECT_NEAR(hi - lo, fhi - flo, 0.15 * (fhi - flo)) << "cycle at " << n;
                }
            }
        }
    }
}

TEST(Quantise, HeldNotesSettleAndTheStrengthScalesTheCorrection) {
    const CTuning tet = CTuning::EqualTemperament();
    // A jump after a second, to 30 cents above E4.
    const auto at = [](std::uint64_t n) { return n < 44100 ? 60.0 : 64.3; };
    const std::vector<double> full = VoicePitch(at, 2 * 44100, &tet);
    std::uint64_t nSettled = full.size();
    while (nSettled > 44100 && std::fabs(full[nSettled - 1] - 64) < 0.02) --nSettled;
    const double dSeconds = (nSettled - 44100) / 44100.0;
    RecordProperty("settle_seconds", std::to_string(dSeconds));
    EXPECT_LT(dSeconds, 0.3) << "within 2 cents of E4 " << dSeconds << " s after the jump";
    // Half the strength: half the way to the note.
    const std::vector<double> half = VoicePitch(at, 2 * 44100, &tet, 0.5);
    EXPECT_NEAR(half.back(), 64.15, 0.01);
}
