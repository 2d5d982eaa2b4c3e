// The voice measured from the samples it renders: pitch, loudness, glides, modulation,
// distortion and the over-cycle decimator.
#include "engine/voice.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <vector>

#include "engine/cic_decimator.h"
#include "engine/performance_parameters.h"
#include "tests/engine/voice_test_support.h"
#include "tests/support/pitch.h"

namespace {

constexpr double kFs = 44100.0;
constexpr int kSettle = 20000;  // e^-40 of the pitch glide left, far below any tolerance

// Carrier frequency for exponent E, from the pitch formula worked by hand.
double PitchHz(double E) { return 0.0002 * kFs / (2 * M_PI) * std::pow(2.0, E); }

// Pointer x that gives exponent E for a range in octaves and an adjustment in semitones.
double PointerXFor(double E, double range, double adjust) {
    return ((E - 9 - adjust / 12) / range + 0.5) / 1.05;
}

double Rms(const std::vector<double>& s, std::size_t from, std::size_t to) {
    double sum = 0;
    for (std::size_t n = from; n < to; ++n) sum += s[n] * s[n];
    return std::sqrt(sum / (to - from));
}

// Start a voice with the start-up settings changed as the caller says.
struct VoiceSession {
    ParameterTexts texts = StartupParameterTexts();
    int nOverCycleIndex = 0;
    int nDetuneCheck = 0;
    CVoice voice;

    void Start() {
        InitPerformanceState();
        ASSERT_EQ(DeriveParameters(texts, nDetuneCheck, OverCycleData(nOverCycleIndex)), 0u);
        StartVoice(voice);
    }
};

}  // namespace

TEST(Voice, StartupSettingsSoundAtTheFormulaPitch) {
    const struct {
        double x;
        double hz;
    } cases[] = {
        {0.0, 127.1},         // left edge
        {1.0, 4835.0},        // right edge
        {0.5 / 1.05, 718.7},  // E = 9
    };
    for (const auto& c : cases) {
        VoiceSession vs;
        vs.Start();
        SetPointer(c.x, 0.0);
        const std::vector<double> s = Render(vs.voice, kSettle + 44100);
        const double measured = MeasureHz(s, kSettle, s.size());
        const double E = 9 + 5 * (1.05 * c.x - 0.5);
        EXPECT_NEAR(measured, PitchHz(E), PitchHz(E) * 0.001) << "x = " << c.x;
        EXPECT_NEAR(measured, c.hz, c.hz * 0.001) << "x = " << c.x;
    }
}

TEST(Voice, OverCycleKeepsThePitch) {
    const double x = 0.3;
    const double expected = PitchHz(9 + 5 * (1.05 * x - 0.5));
    for (int i = 0; i < 5; ++i) {
        VoiceSession vs;
        vs.nOverCycleIndex = i;
        vs.Start();
        SetPointer(x, 0.0);
        const std::vector<double> s = Render(vs.voice, kSettle + 44100);
        EXPECT_NEAR(MeasureHz(s, kSettle, s.size()), expected, expected * 0.001) << "x" << (1 << i);
    }
}

TEST(Voice, ClickFactorsMultiplyThePitch) {
    VoiceSession vs;
    vs.Start();
    const double x = 0.4;
    const double base = PitchHz(9 + 5 * (1.05 * x - 0.5));
    SetPointer(x, 0.0, PerformanceState.dLeftShiftRatio, PerformanceState.dRightShiftRatio);
    const std::vector<double> s = Render(vs.voice, kSettle + 44100);
    const double expected = base * std::pow(2.0, 7.0 / 12.0);  // 2 + 5 semitones
    EXPECT_NEAR(MeasureHz(s, kSettle, s.size()), expected, expected * 0.001);
}

TEST(Voice, LowerBoardIsSilentFromSixtyFivePercentDown) {
    for (double y : {0.65, 0.7, 0.9, 0.999, 1.0}) {
        VoiceSession vs;
        vs.Start();
        SetPointer(0.5, y);
        const std::vector<double> s = Render(vs.voice, 5000);
        EXPECT_TRUE(std::all_of(s.begin(), s.end(), [](double v) { return v == 0.0; })) << y;
    }
}

TEST(Voice, LoudnessFollowsTheVerticalPosition) {
    // Strength 0 gives a pure cosine, so the peak is the amplitude times 32000.
    const struct {
        double y;
        double target;
    } cases[] = {{0.0, 0.8}, {0.25, 0.55}, {0.5, 0.3}, {0.6, 0.1}};
    for (const auto& c : cases) {
        VoiceSession vs;
        vs.texts.strModDepth = "0";
        vs.Start();
        SetPointer(0.5 / 1.05, c.y);
        const std::vector<double> s = Render(vs.voice, kSettle + 44100);
        const double peak = *std::max_element(s.begin() + kSettle, s.end());
        EXPECT_NEAR(peak, c.target * 32000, c.target * 32000 * 0.002) << "y = " << c.y;
    }
}

TEST(Voice, PitchGlidesWithATimeConstantOfAbout500Samples) {
    for (int i : {0, 4}) {
        VoiceSession vs;
        vs.nOverCycleIndex = i;
        vs.Start();
        SetPointer(1.0, 0.0);  // from zero pitch toward the right edge
        const std::vector<double> s = Render(vs.voice, 1200);
        const double target = PitchHz(9 + 5 * 0.55);
        // Frequency over a short window around n, against 1 - e^(-n/500).
        for (int n : {500, 1000}) {
            const double f = MeasureHz(s, n - 50, n + 50);
            const double expected = 1 - std::pow(1 - 0.002, n);
            EXPECT_NEAR(f / target, expected, 0.02) << "n = " << n << ", x" << (1 << i);
        }
    }
}

TEST(Voice, LoudnessGlidesWithATimeConstantOfAbout1000Samples) {
    for (int i : {0, 4}) {
        VoiceSession vs;
        vs.texts.strModDepth = "0";
        vs.nOverCycleIndex = i;
        vs.Start();
        const double x = 0.5 / 1.05;
        SetPointer(x, 1.0);  // silent while the pitch settles
        Render(vs.voice, kSettle);
        SetPointer(x, 0.0);
        const std::vector<double> s = Render(vs.voice, 2100);
        // Amplitude of a slowly varying cosine of known frequency from three neighbours.
        const double w = 2 * M_PI * PitchHz(9) / kFs;
        for (int n : {1000, 2000}) {
            const double quad = (s[n + 1] - s[n - 1]) / (2 * std::sin(w));
            const double amp = std::sqrt(s[n] * s[n] + quad * quad) / 25600;
            const double expected = 1 - std::pow(1 - 0.001, n);
            EXPECT_NEAR(amp, expected, 0.01) << "n = " << n << ", x" << (1 << i);
        }
    }
}

TEST(Voice, StrengthZeroGivesAPureCosineWhateverTheFeedback) {
    VoiceSession plain;
    plain.texts.strModDepth = "0";
    plain.Start();
    SetPointer(0.6, 0.1);
    const std::vector<double> a = Render(plain.voice, kSettle + 4000);

    VoiceSession fed;
    fed.texts.strModDepth = "0";
    fed.texts.strFeedback = "1000";
    fed.Start();
    SetPointer(0.6, 0.1);
    const std::vector<double> b = Render(fed.voice, kSettle + 4000);
    EXPECT_EQ(a, b);

    // A cosine satisfies s[n+1] + s[n-1] = 2 cos(w) s[n].
    const double w = 2 * M_PI * PitchHz(9 + 5 * (1.05 * 0.6 - 0.5)) / kFs;
    double worst = 0;
    for (std::size_t n = kSettle; n + 1 < b.size(); ++n) {
        worst = std::max(worst, std::abs(b[n + 1] + b[n - 1] - 2 * std::cos(w) * b[n]));
    }
    EXPECT_LT(worst, 1e-3);
}

TEST(Voice, ModulationAndFeedbackChangeTheWave) {
    VoiceSession plain;
    plain.texts.strModDepth = "500";
    plain.Start();
    SetPointer(0.4, 0.0);
    const std::vector<double> a = Render(plain.voice, 4000);

    VoiceSession fed;
    fed.texts.strModDepth = "500";
    fed.texts.strFeedback = "500";
    fed.Start();
    SetPointer(0.4, 0.0);
    const std::vector<double> b = Render(fed.voice, 4000);
    EXPECT_NE(a, b);
    // Both stay within the voice's peak.
    for (double v : b) ASSERT_LE(std::abs(v), 25600.0);
}

TEST(Voice, DistortionShapesTheNegativeHalfWaves) {
    auto render = [](const char* distortion) {
        VoiceSession vs;
        vs.texts.strModDepth = "0";
        vs.texts.strDistortion = distortion;
        vs.Start();
        SetPointer(0.5, 0.0);
        return Render(vs.voice, 8000);
    };
    const std::vector<double> sym = render("0");
    const std::vector<double> half = render("500");
    const std::vector<double> full = render("1000");

    const double hi = *std::max_element(sym.begin() + 6000, sym.end());
    const double lo = *std::min_element(sym.begin() + 6000, sym.end());
    EXPECT_NEAR(-lo, hi, hi * 0.01);
    for (std::size_t n = 0; n < sym.size(); ++n) {
        ASSERT_EQ(half[n], std::max(sym[n], 0.0)) << n;
        ASSERT_EQ(full[n], std::abs(sym[n])) << n;
    }
}

TEST(Voice, DetuneMovesTheModulatorAgainstTheCarrier) {
    VoiceSession steady;
    steady.Start();
    SetPointer(0.4, 0.0);
    const std::vector<double> a = Render(steady.voice, 6000);

    VoiceSession detuned;
    detuned.nDetuneCheck = 1;
    detuned.Start();
    SetPointer(0.4, 0.0);
    const std::vector<double> b = Render(detuned.voice, 6000);
    EXPECT_NE(a, b);
    // The carrier and so the pitch stay where they were.
    EXPECT_NEAR(MeasureHz(b, 3000, 6000), MeasureHz(a, 3000, 6000), 1.0);
}

TEST(Decimator, GainAtZeroHertzIsExactlyOne) {
    for (int n : {2, 4, 8, 16}) {
        CCicDecimator dec;
        dec.Init(n);
        double out = 0;
        for (int i = 0; i < 200; ++i) {
            for (int k = n; k >= 1; --k) dec.Push(k, 1.0);
            out = dec.Output();
        }
        EXPECT_NEAR(out, 1.0, 1e-12) << "x" << n;
    }
}

TEST(Decimator, X16StaysWithinTenPercentUpToAQuarterOfTheRate) {
    // The x16 voice against the x1 voice at the same pitch: x1 has no decimator, so the ratio of
    // their levels is the decimator's gain at that frequency.
    for (double hz : {200.0, 1000.0, 4000.0, 8000.0, 11025.0}) {
        const double E = std::log2(hz / PitchHz(0));
        const double x = PointerXFor(E, 7, 12);
        double rms[2];
        for (int j = 0; j < 2; ++j) {
            VoiceSession vs;
            vs.texts.strModDepth = "0";
            vs.texts.strRange = "7";
            vs.texts.strRangeAdjust = "12";
            vs.nOverCycleIndex = j == 0 ? 0 : 4;
            vs.Start();
            SetPointer(x, 0.0);
            const std::vector<double> s = Render(vs.voice, kSettle + 44100);
            rms[j] = Rms(s, kSettle, s.size());
        }
        const double gain = rms[1] / rms[0];
        EXPECT_GE(gain, 0.90) << hz;
        EXPECT_LE(gain, 1.0) << hz;
        // The fourth-order moving sum's droop times the compensator's lift.
        const double cic = std::pow(std::sin(M_PI * hz / kFs) / (16 * std::sin(M_PI * hz / (16 * kFs))), 4);
        const double w = 2 * M_PI * hz / kFs;
        const double comp = 1.6 / std::hypot(1 + 0.6 * std::cos(w), 0.6 * std::sin(w));
        EXPECT_NEAR(gain, cic * comp, 0.002) << hz;
    }
}
