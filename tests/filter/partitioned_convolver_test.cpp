// The partitioned convolver against the direct sum.
//
// Tolerance: FFT rounding spreads over a partition, so the bound is taken from the largest output
// the window could give: |y[n] − exact| ≤ 2^-16 · ‖h‖₂ · ‖x[n−N+1..n]‖₂ (Cauchy–Schwarz gives
// |y[n]| ≤ ‖h‖₂ · ‖x‖₂).
#include "filter/partitioned_convolver.h"

#include <gtest/gtest.h>

#include <cmath>
#include <random>
#include <vector>

#include "filter/fir_filter.h"
#include "filter/fir_kernel.h"
#include "filter/fir_stage.h"

// The stage the tests build, one at a time, as a session holds one.
namespace {
FirStageState g_stage;
}  // namespace

namespace {

std::vector<float> Random(std::mt19937& rng, std::size_t n, float scale) {
    std::uniform_real_distribution<float> d(-scale, scale);
    std::vector<float> v(n);
    for (float& f : v) f = d(rng);
    return v;
}

double Norm2(const std::vector<float>& v) {
    double s = 0;
    for (float f : v) s += static_cast<double>(f) * f;
    return std::sqrt(s);
}

// Runs x through the partitioned convolver and checks every output at the given indices against
// the double direct sum.
void ExpectMatches(const std::vector<float>& h, const std::vector<float>& x, std::size_t nCheckEvery,
                   const char* what) {
    CPartitionedConvolver conv;
    ASSERT_TRUE(conv.Init(h.data(), static_cast<int>(h.size())));
    const double hNorm = Norm2(h);
    double windowSq = 0;
    for (std::size_t n = 0; n < x.size(); ++n) {
        const float y = conv.Process(x[n]);
        windowSq += static_cast<double>(x[n]) * x[n];
        if (n >= h.size()) windowSq -= static_cast<double>(x[n - h.size()]) * x[n - h.size()];
        if (n % nCheckEvery != 0 && n + 5 < x.size()) continue;
        double exact = 0;
        for (std::size_t k = 0; k < h.size() && k <= n; ++k) exact += static_cast<double>(h[k]) * x[n - k];
        const double tol = std::ldexp(1.0, -16) * hNorm * std::sqrt(std::max(windowSq, 0.0)) + 1e-30;
        ASSERT_NEAR(y, exact, tol) << what << ": N = " << h.size() << ", n = " << n;
    }
}

}  // namespace

TEST(PartitionedConvolver, MatchesTheDirectSumAroundEveryPartitionBoundary) {
    std::mt19937 rng(3);
    const int H = CPartitionedConvolver::kHeadTaps, B = CPartitionedConvolver::kLongBlock;
    const int L = CPartitionedConvolver::kLongStart;
    for (int n : {H + 1, 2 * H - 1, 2 * H, 2 * H + 1, B - 1, B, B + 1, L - 1, L, L + 1, L + B - 1, L + B,
                  L + B + 1, L + 2 * B + 7, 4096, 4097}) {
        const std::vector<float> h = Random(rng, n, 1.0f);
        const std::vector<float> x = Random(rng, 3 * n + 2 * B, 30000.0f);
        ExpectMatches(h, x, 97, "random taps");
    }
}

TEST(PartitionedConvolver, SparseTapsAtTheBoundaries) {
    std::mt19937 rng(4);
    const int H = CPartitionedConvolver::kHeadTaps, B = CPartitionedConvolver::kLongBlock;
    const int L = CPartitionedConvolver::kLongStart;
    std::vector<float> h(L + 3 * B, 0.0f);
    for (int k : {0, H - 1, H, 2 * H - 1, B - 1, B, L - 1, L, L + B - 1, L + B, L + 3 * B - 1}) {
        h[k] = (k % 2 ? -1.0f : 1.0f) * (1 + k % 5);
    }
    ExpectMatches(h, Random(rng, 5 * (L + 3 * B), 30000.0f), 31, "sparse taps");
}

TEST(PartitionedConvolver, ImpulsesAtEveryPhaseOverTenSeconds) {
    // A 44100-tap response and impulses spaced so their responses never overlap, each at another
    // phase of the small and the large partition cycles; over ten seconds of input.
    std::mt19937 rng(5);
    const std::vector<float> h = Random(rng, 44100, 1.0f);
    const std::size_t nSpacing = 44100 + 257 + 1;
    const std::size_t nTotal = 10 * 44100 + 44100;
    CPartitionedConvolver conv;
    ASSERT_TRUE(conv.Init(h.data(), 44100));
    const double tol = std::ldexp(1.0, -16) * Norm2(h);
    for (std::size_t n = 0; n < nTotal; ++n) {
        const bool bImpulse = n % nSpacing == 0;
        const float y = conv.Process(bImpulse ? 1.0f : 0.0f);
        const std::size_t k = n % nSpacing;  // taps since the last impulse
        const double exact = k < h.size() ? h[k] : 0.0;
        ASSERT_NEAR(y, exact, tol) << "n = " << n << ", phase "
                                   << (n / nSpacing) * nSpacing % CPartitionedConvolver::kLongBlock;
    }
}

TEST(PartitionedConvolver, StageWithFeedbackFollowsTheDirectForm) {
    // Two 44100-tap filters with a feedback delay of one sample: the partitioned kernel against the
    // direct-form kernel, sample by sample, for two seconds.
    std::mt19937 rng(6);
    const std::vector<float> t1 = Random(rng, 44100, 1.0f), t2 = Random(rng, 44100, 1.0f);
    CFirFilter f1, f2;
    f1.SetTaps(t1.data(), 44100);
    f2.SetTaps(t2.data(), 44100);
    FirStageSettings s{1, &f1, &f2, 100, 100, 1, 50};
    const std::vector<float> x = Random(rng, 2 * 44100, 25000.0f);

    std::vector<double> out[2];
    for (int pass = 0; pass < 2; ++pass) {
        s.nPartitionThreshold = pass == 0 ? 1 << 30 : kDefaultFirPartitionThreshold;
        ASSERT_TRUE(BuildFirStage(s, g_stage));
        int nPos = 0;
        for (float v : x) out[pass].push_back(ProcessFirStage(g_stage, v, nPos));
        ReleaseFirStage(g_stage);
    }
    double worst = 0;
    for (std::size_t n = 0; n < x.size(); ++n) {
        // The stage's outputs are on the 16-bit scale: within a tenth of its smallest step.
        ASSERT_NEAR(out[1][n], out[0][n], 0.1) << n;
        worst = std::max(worst, std::abs(out[1][n] - out[0][n]));
    }
    RecordProperty("worst_difference", std::to_string(worst));
}
