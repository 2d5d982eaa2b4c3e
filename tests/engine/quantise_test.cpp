// Pitch correction and tunings: held notes land on the scale, vibrato keeps its depth, sweeps stay
// smooth, and the guides' positions are where their notes sound. Rendered through the real chain.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <cmath>
#include <fstream>

#include "engine/pitch_mapping.h"
#include "engine/tuning.h"
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
    return PitchMapping::FromState(PerformanceState).XForLog2Hz(std::log2(hz));
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
