// The filter stage of a session, against its closed form worked by hand.
#include "filter/fir_stage.h"

#include <gtest/gtest.h>

#include <cmath>
#include <vector>

#include "filter/fir_filter.h"

// The stage the tests build, one at a time, as a session holds one.
namespace {
FirStageState g_stage;
}  // namespace

namespace {

// A stage built from the given settings, released when the test is done with it.
class Stage {
public:
    explicit Stage(FirStageSettings settings) : m_settings(settings) {
        m_settings.nCheckFir = 1;
        m_settings.pFilter1 = &filter1;
        m_settings.pFilter2 = &filter2;
    }
    ~Stage() { ReleaseFirStage(g_stage); }

    // The stage lives in one record, so only one Stage may be built at a time.
    void Build() {
        ASSERT_EQ(g_stage.pFirStage1, nullptr);
        ASSERT_TRUE(BuildFirStage(m_settings, g_stage));
    }

    std::vector<double> Run(const std::vector<double>& input) {
        std::vector<double> out;
        for (double x : input) out.push_back(ProcessFirStage(g_stage, x, m_nDelayPos));
        return out;
    }

    CFirFilter filter1;
    CFirFilter filter2;

private:
    FirStageSettings m_settings;
    int m_nDelayPos = 0;
};

FirStageSettings Settings(int nInputVolume = 100, int nFilter2Volume = 100, int nDelay = 1,
                          int nFeedback = 0) {
    FirStageSettings s;
    s.nFirInputVolume = nInputVolume;
    s.nFirFilter2Volume = nFilter2Volume;
    s.nFirDelay = nDelay;
    s.nFirFeedback = nFeedback;
    return s;
}

std::vector<double> Impulse(double level, int nLength) {
    std::vector<double> v(nLength, 0.0);
    v[0] = level;
    return v;
}

}  // namespace

TEST(FirStage, OffWhenTheBoxIsNotChecked) {
    CFirFilter f1, f2;
    FirStageSettings s = Settings();
    s.pFilter1 = &f1;
    s.pFilter2 = &f2;
    for (int nCheck : {0, 2}) {
        s.nCheckFir = nCheck;
        ASSERT_TRUE(BuildFirStage(s, g_stage));
        EXPECT_EQ(g_stage.pFirStage1, nullptr);
        EXPECT_EQ(g_stage.pFirStage2, nullptr);
        EXPECT_EQ(g_stage.pFirDelayLine, nullptr);
    }
}

TEST(FirStage, IdentityPassesTheInputRoundedToFloatAndClamps) {
    Stage stage(Settings());
    stage.Build();
    const std::vector<double> in = {0.0, 1.1, -12345.678, 32767.0, -32768.0, 40000.0, -40000.0};
    const std::vector<double> out = stage.Run(in);
    for (std::size_t n = 0; n < 5; ++n) EXPECT_EQ(out[n], static_cast<float>(in[n])) << n;
    EXPECT_EQ(out[5], 32767.0);
    EXPECT_EQ(out[6], -32768.0);
}

TEST(FirStage, VolumeScalesFilterOneAndTheClampHoldsIt) {
    Stage stage(Settings(200));
    stage.Build();
    const std::vector<double> out = stage.Run({1000.0, -1000.0, 20000.0, -20000.0});
    EXPECT_EQ(out, (std::vector<double>{2000.0, -2000.0, 32767.0, -32768.0}));
}

TEST(FirStage, FilterTwoVolumeIsNotClamped) {
    Stage stage(Settings(100, 200));
    stage.Build();
    EXPECT_EQ(stage.Run({30000.0})[0], 60000.0);
}

TEST(FirStage, TapsAreNormalisedByTheirMagnitudeSum) {
    const std::vector<double> in = {1000.0, 3000.0, -500.0, 0.0, 7.0};
    const float half[] = {0.5f, 0.5f};
    const float one[] = {1.0f, 1.0f};
    std::vector<double> outA, outB;
    {
        Stage a(Settings());
        a.filter1.SetTaps(half, 2);
        a.Build();
        outA = a.Run(in);
    }
    {
        Stage b(Settings());
        b.filter1.SetTaps(one, 2);
        b.Build();
        outB = b.Run(in);
    }
    EXPECT_EQ(outA, outB);
    EXPECT_EQ(outA, (std::vector<double>{500.0, 2000.0, 1250.0, -250.0, 3.5}));
}

TEST(FirStage, DifferenceFilter) {
    const float taps[] = {2.0f, -2.0f};  // magnitude sum 4
    Stage stage(Settings());
    stage.filter2.SetTaps(taps, 2);
    stage.Build();
    EXPECT_EQ(stage.Run({1000.0, 3000.0, 3000.0, -1000.0}),
              (std::vector<double>{500.0, 1000.0, 0.0, -2000.0}));
}

TEST(FirStage, PositiveTapsPassAConstantAtTheVolume) {
    const float taps[] = {0.1f, 0.7f, 0.2f, 3.0f, 1.0f};
    Stage stage(Settings(50));
    stage.filter1.SetTaps(taps, 5);
    stage.Build();
    const std::vector<double> out = stage.Run(std::vector<double>(20, 8000.0));
    for (std::size_t n = 4; n < out.size(); ++n) EXPECT_NEAR(out[n], 4000.0, 4000.0 * 1e-6) << n;
}

TEST(FirStage, FeedbackHalvesEachRound) {
    Stage stage(Settings(100, 100, 1, 50));
    stage.Build();
    const std::vector<double> out = stage.Run(Impulse(1000.0, 8));
    double expected = 1000.0;
    for (double v : out) {
        EXPECT_EQ(v, expected);
        expected /= 2;
    }
}

TEST(FirStage, FullFeedbackRecursEveryDelayLength) {
    for (int L : {1, 3, 100}) {
        Stage stage(Settings(100, 100, L, 100));
        stage.Build();
        const std::vector<double> out = stage.Run(Impulse(1234.0, 5 * L + 1));
        for (int n = 0; n <= 5 * L; ++n)
            EXPECT_EQ(out[n], n % L == 0 ? 1234.0 : 0.0) << "L " << L << " n " << n;
    }
}

TEST(FirStage, FeedbackAboveFullGrowsUntilTheClampHolds) {
    {
        Stage stage(Settings(100, 100, 1, 150));
        stage.Build();
        const std::vector<double> pos = stage.Run(Impulse(1000.0, 40));
        EXPECT_EQ(pos[1], 1500.0);
        EXPECT_EQ(pos.back(), 32767.0);
        EXPECT_EQ(pos[pos.size() - 2], 32767.0);
    }

    Stage neg(Settings(100, 100, 1, 150));
    neg.Build();
    EXPECT_EQ(neg.Run(Impulse(-1000.0, 40)).back(), -32768.0);
}

TEST(FirStage, InputVolumeScalesTheInputButNotTheFedBackSignal) {
    Stage stage(Settings(50, 100, 1, 50));
    stage.Build();
    // w = 0.5·D + 0.5·x: the first output is halved by the volume, later rounds only by the loop.
    EXPECT_EQ(stage.Run(Impulse(1000.0, 4)), (std::vector<double>{500.0, 250.0, 125.0, 62.5}));
}

TEST(FirStage, SessionsDoNotInheritTheDelayLine) {
    {
        Stage withLoop(Settings(100, 100, 10, 50));
        withLoop.Build();
        EXPECT_NE(g_stage.pFirDelayLine, nullptr);
        EXPECT_EQ(g_stage.nFirDelayLength, 10);
    }
    EXPECT_EQ(g_stage.pFirStage1, nullptr);
    EXPECT_EQ(g_stage.pFirDelayLine, nullptr);

    Stage withoutLoop(Settings());
    withoutLoop.Build();
    EXPECT_EQ(g_stage.pFirDelayLine, nullptr);
}

TEST(FirStage, StoredDelayOutsideItsRangeIsClamped) {
    {
        Stage zero(Settings(100, 100, 0, 100));
        zero.Build();
        EXPECT_EQ(g_stage.nFirDelayLength, 1);
        EXPECT_EQ(zero.Run(Impulse(100.0, 3)), (std::vector<double>{100.0, 100.0, 100.0}));
    }
    Stage huge(Settings(100, 100, 1 << 30, 100));
    huge.Build();
    EXPECT_EQ(g_stage.nFirDelayLength, kMaxFirTaps);
}

TEST(FirStage, FilterWithoutADefinedGainIsSilent) {
    const float zeros[] = {0.0f, 0.0f, 0.0f};
    const float huge[] = {3e38f, 3e38f};  // magnitude sum overflows to infinity
    const float nan[] = {1.0f, NAN};
    const float overflow[] = {1e38f, -1e38f};  // finite sum, but the products overflow
    struct Case {
        const char* what;
        const float* taps;
        int n;
        bool onFilter1;
    } cases[] = {
        {"zeros on 1", zeros, 3, true}, {"zeros on 2", zeros, 3, false}, {"inf sum on 1", huge, 2, true},
        {"NaN on 2", nan, 2, false},    {"NaN on 1", nan, 2, true},
    };
    for (const Case& c : cases) {
        for (int nFeedback : {0, 50}) {
            Stage stage(Settings(100, 100, 1, nFeedback));
            (c.onFilter1 ? stage.filter1 : stage.filter2).SetTaps(c.taps, c.n);
            stage.Build();
            for (double v : stage.Run({1000.0, -30000.0, 5.0, 0.0})) {
                EXPECT_EQ(v, 0.0) << c.what << ", feedback " << nFeedback;
            }
        }
    }
    // Filter 1 overflowing inside its sum gives NaN there; the stage never lets it through.
    Stage stage(Settings(100, 100, 1, 50));
    stage.filter1.SetTaps(overflow, 2);
    stage.Build();
    for (double v : stage.Run({30000.0, 30000.0, 30000.0, 1.0, 0.0})) EXPECT_FALSE(std::isnan(v));
}

TEST(FirStage, TotalLengthOfTwoFiltersInSeries) {
    // An impulse through filters of N1 and N2 taps lasts N1 + N2 − 1 samples.
    const std::vector<float> a(5, 1.0f), b(3, 1.0f);
    Stage stage(Settings());
    stage.filter1.SetTaps(a.data(), 5);
    stage.filter2.SetTaps(b.data(), 3);
    stage.Build();
    const std::vector<double> out = stage.Run(Impulse(15000.0, 10));
    for (int n = 0; n < 10; ++n) EXPECT_EQ(out[n] != 0.0, n < 7) << n;
}
