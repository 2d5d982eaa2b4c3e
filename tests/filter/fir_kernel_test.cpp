// The FIR kernel against a plain double-precision direct sum.
//
// Tolerance: the kernel sums in float with eight partial sums per output, so each output may
// differ from the exact sum by at most (N/8 + 32) float rounding steps of 2^-24 relative to
// S = Σ |h[k]·x[n−k]|. Sparse taps check the indexing exactly.
#include "filter/fir_kernel.h"

#include <gtest/gtest.h>

#include <cmath>
#include <random>
#include <vector>

namespace {

struct Reference {
    double dSum;
    double dAbsSum;
};

Reference DirectSum(const std::vector<float>& h, const std::vector<float>& x, std::size_t n) {
    Reference r{0, 0};
    for (std::size_t k = 0; k < h.size() && k <= n; ++k) {
        const double p = static_cast<double>(h[k]) * x[n - k];
        r.dSum += p;
        r.dAbsSum += std::abs(p);
    }
    return r;
}

double Tolerance(std::size_t nTaps, double dAbsSum) {
    return (nTaps / 8.0 + 32) * std::ldexp(1.0, -24) * dAbsSum;
}

std::vector<float> RandomFloats(std::mt19937& rng, std::size_t n, float lo, float hi) {
    std::uniform_real_distribution<float> dist(lo, hi);
    std::vector<float> v(n);
    for (float& f : v) f = dist(rng);
    return v;
}

}  // namespace

TEST(FirKernel, MatchesTheDirectSumOnRandomTaps) {
    std::mt19937 rng(12345);
    for (int nTaps : {1, 2, 7, 31, 33, 64, 1000, 44100}) {
        const std::vector<float> h = RandomFloats(rng, nTaps, -1.0f, 1.0f);
        // Long enough to wrap the history more than once.
        const std::size_t nCalls = nTaps < 1000 ? 3 * nTaps + 50 : nTaps + 600;
        const std::vector<float> x = RandomFloats(rng, nCalls, -32768.0f, 32767.0f);

        NSPFirState state;
        ASSERT_TRUE(nspsFirInit(h.data(), nTaps, nullptr, &state));
        double worst = 0;
        for (std::size_t n = 0; n < nCalls; ++n) {
            const float y = nspsFir(&state, x[n]);
            // The long filter is checked at a sample of calls and over its whole last stretch.
            if (nTaps > 1000 && n % 997 != 0 && n + 300 < nCalls) continue;
            const Reference ref = DirectSum(h, x, n);
            const double err = std::abs(y - ref.dSum);
            ASSERT_LE(err, Tolerance(nTaps, ref.dAbsSum)) << "N = " << nTaps << ", n = " << n;
            if (ref.dAbsSum > 0) worst = std::max(worst, err / ref.dAbsSum);
        }
        nspFirFree(&state);
        RecordProperty("worst_relative_error_N" + std::to_string(nTaps), std::to_string(worst));
    }
}

TEST(FirKernel, BlockPassSumsTheKnownPartOfEachOutput) {
    std::mt19937 rng(7);
    for (int nTaps : {1, 5, 8, 9, 15, 16, 40, 1000, 44100}) {
        const std::vector<float> h = RandomFloats(rng, nTaps, -1.0f, 1.0f);
        const std::vector<float> H = RandomFloats(rng, nTaps, -30000.0f, 30000.0f);
        float afPortable[kFirBlock], afChosen[kFirBlock];
        FirBlockSumsPortable(h.data(), H.data(), nTaps, afPortable);
        FirBlockSums(h.data(), H.data(), nTaps, afChosen);
        for (int i = 0; i < kFirBlock; ++i) {
            double dExact = 0, dAbs = 0;
            for (int j = 0; j + i < nTaps; ++j) {
                dExact += static_cast<double>(h[j + i]) * H[j];
                dAbs += std::abs(static_cast<double>(h[j + i]) * H[j]);
            }
            EXPECT_NEAR(afPortable[i], dExact, Tolerance(nTaps, dAbs)) << "N " << nTaps << " i " << i;
            EXPECT_NEAR(afChosen[i], dExact, Tolerance(nTaps, dAbs)) << "N " << nTaps << " i " << i;
        }
    }
}

TEST(FirKernel, SingleTapAtEveryPositionDelaysExactly) {
    for (int nTaps : {1, 3, 8, 33, 257}) {
        for (int j : {0, nTaps / 2, nTaps - 1}) {
            std::vector<float> h(nTaps, 0.0f);
            h[j] = 0.5f;
            NSPFirState state;
            ASSERT_TRUE(nspsFirInit(h.data(), nTaps, nullptr, &state));
            for (int n = 0; n < 3 * nTaps + 10; ++n) {
                const float y = nspsFir(&state, static_cast<float>(n + 1));
                const float expected = n >= j ? 0.5f * static_cast<float>(n - j + 1) : 0.0f;
                ASSERT_EQ(y, expected) << "N = " << nTaps << ", tap " << j << ", n = " << n;
            }
            nspFirFree(&state);
        }
    }
}

TEST(FirKernel, HistoryStartsAtZero) {
    const std::vector<float> h = {1.0f, 2.0f, 3.0f};
    NSPFirState state;
    ASSERT_TRUE(nspsFirInit(h.data(), 3, nullptr, &state));
    EXPECT_EQ(nspsFir(&state, 1.0f), 1.0f);
    EXPECT_EQ(nspsFir(&state, 0.0f), 2.0f);
    EXPECT_EQ(nspsFir(&state, 0.0f), 3.0f);
    EXPECT_EQ(nspsFir(&state, 0.0f), 0.0f);
    nspFirFree(&state);
}

TEST(FirKernel, RefusesWhatItCannotFilter) {
    const float h = 1.0f;
    NSPFirState state;
    EXPECT_FALSE(nspsFirInit(&h, 0, nullptr, &state));
    EXPECT_FALSE(nspsFirInit(nullptr, 1, nullptr, &state));
    EXPECT_FALSE(nspsFirInit(&h, 1, &h, &state));  // no initial history is supported
    nspFirFree(&state);                            // harmless on a state that owns nothing
}
