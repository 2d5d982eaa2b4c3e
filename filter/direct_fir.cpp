// The direct form: history layout, the block pass and the per-call step.
#include "filter/direct_fir.h"

#include <immintrin.h>

#include <new>

namespace {

constexpr int kLanes = 8;

// The last few terms of a pass, where the shifted taps would run past the end: exact bounds,
// one term at a time.
void FinishBlockSums(const float* pTaps, const float* pH, int nTaps, int j, float* afKnown) {
    for (; j < nTaps; ++j) {
        for (int i = 0; i < kFirBlock && j + i < nTaps; ++i) {
            afKnown[i] += pTaps[j + i] * pH[j];
        }
    }
}

}  // namespace

void FirBlockSumsPortable(const float* pTaps, const float* pH, int nTaps, float* afKnown) {
    // Eight partial sums per output keep the rounding error growing with N/8, as in the
    // vectorised form.
    float aafSum[kFirBlock][kLanes] = {};
    int j = 0;
    for (; j + kLanes + kFirBlock - 1 <= nTaps; j += kLanes) {
        for (int i = 0; i < kFirBlock; ++i) {
            for (int l = 0; l < kLanes; ++l) aafSum[i][l] += pTaps[j + i + l] * pH[j + l];
        }
    }
    for (int i = 0; i < kFirBlock; ++i) {
        const float* s = aafSum[i];
        afKnown[i] = ((s[0] + s[4]) + (s[1] + s[5])) + ((s[2] + s[6]) + (s[3] + s[7]));
    }
    FinishBlockSums(pTaps, pH, nTaps, j, afKnown);
}

namespace {

__attribute__((target("avx2,fma"))) float HorizontalSum(__m256 v) {
    __m128 s = _mm_add_ps(_mm256_castps256_ps128(v), _mm256_extractf128_ps(v, 1));
    s = _mm_add_ps(s, _mm_movehl_ps(s, s));
    s = _mm_add_ss(s, _mm_shuffle_ps(s, s, 0x55));
    return _mm_cvtss_f32(s);
}

__attribute__((target("avx2,fma"))) void BlockSumsAvx2(const float* pTaps, const float* pH, int nTaps,
                                                       float* afKnown) {
    // One load of the history serves all eight outputs; the shifted tap loads overlap and come
    // from the first level cache. Eight independent accumulators cover the FMA latency.
    __m256 acc[kFirBlock];
    for (__m256& a : acc) a = _mm256_setzero_ps();
    int j = 0;
    for (; j + kLanes + kFirBlock - 1 <= nTaps; j += kLanes) {
        const __m256 h = _mm256_loadu_ps(pH + j);
        const float* t = pTaps + j;
        acc[0] = _mm256_fmadd_ps(_mm256_loadu_ps(t + 0), h, acc[0]);
        acc[1] = _mm256_fmadd_ps(_mm256_loadu_ps(t + 1), h, acc[1]);
        acc[2] = _mm256_fmadd_ps(_mm256_loadu_ps(t + 2), h, acc[2]);
        acc[3] = _mm256_fmadd_ps(_mm256_loadu_ps(t + 3), h, acc[3]);
        acc[4] = _mm256_fmadd_ps(_mm256_loadu_ps(t + 4), h, acc[4]);
        acc[5] = _mm256_fmadd_ps(_mm256_loadu_ps(t + 5), h, acc[5]);
        acc[6] = _mm256_fmadd_ps(_mm256_loadu_ps(t + 6), h, acc[6]);
        acc[7] = _mm256_fmadd_ps(_mm256_loadu_ps(t + 7), h, acc[7]);
    }
    for (int i = 0; i < kFirBlock; ++i) afKnown[i] = HorizontalSum(acc[i]);
    // Clean upper halves: the SSE code that runs next (the voice) would otherwise pay for the
    // dirty AVX state on every instruction.
    _mm256_zeroupper();
    FinishBlockSums(pTaps, pH, nTaps, j, afKnown);
}

bool DetectAvx2() {
    // Runs during static initialisation, before the runtime's own processor check.
    __builtin_cpu_init();
    return __builtin_cpu_supports("avx2") && __builtin_cpu_supports("fma");
}

const bool g_bAvx2 = DetectAvx2();

}  // namespace

bool FirKernelUsesAvx2() { return g_bAvx2; }

void FirBlockSums(const float* pTaps, const float* pH, int nTaps, float* afKnown) {
    if (g_bAvx2) {
        BlockSumsAvx2(pTaps, pH, nTaps, afKnown);
    } else {
        FirBlockSumsPortable(pTaps, pH, nTaps, afKnown);
    }
}

bool DirectFirInit(const float* pTaps, int nTaps, DirectFirState* pState) {
    *pState = DirectFirState{};
    auto* pHistory = new (std::nothrow) float[2 * static_cast<std::size_t>(nTaps)]();
    if (pHistory == nullptr) return false;
    pState->pTaps = pTaps;
    pState->pHistory = pHistory;
    pState->nTaps = nTaps;
    return true;
}

void DirectFirFree(DirectFirState* pState) {
    delete[] pState->pHistory;
    *pState = DirectFirState{};
}
