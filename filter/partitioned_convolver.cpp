// The partitioned convolver: partitions, the per-call step and the block job (overlap-save with a
// frequency-domain delay line per partition size).
#include "filter/partitioned_convolver.h"

#include <fftw3.h>
#include <immintrin.h>

#include <algorithm>
#include <cstring>
#include <map>
#include <mutex>
#include <new>

namespace {

// FFTW's planner is not thread-safe and plans are reusable on any arrays of the same alignment:
// one plan pair per FFT size for the process, made under this lock (never on the audio path).
struct PlanPair {
    fftwf_plan forward = nullptr;
    fftwf_plan inverse = nullptr;
};

// The process's plans, released with FFTW's own memory when the program ends.
struct PlanCache {
    std::map<int, PlanPair> plans;
    ~PlanCache() {
        for (auto& [n, p] : plans) {
            if (p.forward != nullptr) fftwf_destroy_plan(p.forward);
            if (p.inverse != nullptr) fftwf_destroy_plan(p.inverse);
        }
        fftwf_cleanup();
    }
};

std::mutex g_planMutex;
PlanCache g_plans;

PlanPair PlansFor(int nFft) {
    std::lock_guard<std::mutex> lock(g_planMutex);
    PlanPair& p = g_plans.plans[nFft];
    if (p.forward == nullptr) {
        float* pReal = fftwf_alloc_real(nFft);
        fftwf_complex* pSpec = fftwf_alloc_complex(nFft / 2 + 1);
        if (pReal != nullptr && pSpec != nullptr) {
            p.forward = fftwf_plan_dft_r2c_1d(nFft, pReal, pSpec, FFTW_MEASURE);
            p.inverse = fftwf_plan_dft_c2r_1d(nFft, pSpec, pReal, FFTW_MEASURE);
        }
        fftwf_free(pReal);
        fftwf_free(pSpec);
    }
    return p;
}

// acc[k] += h[k] · x[k] over n complex bins.
void MultiplyAccumulatePortable(fftwf_complex* acc, const fftwf_complex* h, const fftwf_complex* x, int n) {
    for (int k = 0; k < n; ++k) {
        acc[k][0] += h[k][0] * x[k][0] - h[k][1] * x[k][1];
        acc[k][1] += h[k][0] * x[k][1] + h[k][1] * x[k][0];
    }
}

__attribute__((target("avx2,fma"))) void MultiplyAccumulateAvx2(fftwf_complex* acc, const fftwf_complex* h,
                                                                 const fftwf_complex* x, int n) {
    int k = 0;
    for (; k + 4 <= n; k += 4) {
        const __m256 hv = _mm256_loadu_ps(&h[k][0]);
        const __m256 xv = _mm256_loadu_ps(&x[k][0]);
        const __m256 hr = _mm256_moveldup_ps(hv);                      // re re …
        const __m256 hi = _mm256_movehdup_ps(hv);                      // im im …
        const __m256 xs = _mm256_permute_ps(xv, 0xB1);                 // x with re and im swapped
        const __m256 prod = _mm256_fmaddsub_ps(hr, xv, _mm256_mul_ps(hi, xs));  // re·re−im·im, re·im+im·re
        _mm256_storeu_ps(&acc[k][0], _mm256_add_ps(_mm256_loadu_ps(&acc[k][0]), prod));
    }
    MultiplyAccumulatePortable(acc + k, h + k, x + k, n - k);
}

void MultiplyAccumulate(fftwf_complex* acc, const fftwf_complex* h, const fftwf_complex* x, int n) {
    if (FirKernelUsesAvx2()) {
        MultiplyAccumulateAvx2(acc, h, x, n);
    } else {
        MultiplyAccumulatePortable(acc, h, x, n);
    }
}

template <class T>
struct FftwFree {
    void operator()(T* p) const { fftwf_free(p); }
};
template <class T>
using FftwPtr = std::unique_ptr<T[], FftwFree<T>>;

}  // namespace

// All partitions of one size N: taps [offset, offset + P·N), offset = N.
struct CPartitionedConvolver::Level {
    int N = 0;         // block size, taps per partition
    int nFft = 0;      // 2N
    int nBins = 0;     // N + 1
    int nStride = 0;   // spectra start this many bins apart, keeping FFTW's alignment
    int nParts = 0;    // P
    PlanPair plans;
    FftwPtr<fftwf_complex> pH;    // P spectra of the zero-padded partitions
    FftwPtr<fftwf_complex> pX;    // P input spectra, newest at index nNewest (a ring)
    FftwPtr<fftwf_complex> pAcc;  // the sum of products for one block
    FftwPtr<float> pIn;           // the last 2N inputs: the previous block, then the current one
    FftwPtr<float> pOut;          // the inverse FFT's result
    std::vector<float> out;       // this size's part of the next N outputs
    int nPos = 0;                 // inputs of the current block so far
    int nNewest = 0;

    bool Init(const float* pTaps, int nTaps, int nOffset, int nBlock, int nPartitions);
    void BlockJob();
};

bool CPartitionedConvolver::Level::Init(const float* pTaps, int nTaps, int nOffset, int nBlock, int nPartitions) {
    N = nBlock;
    nFft = 2 * N;
    nBins = N + 1;
    nStride = (nBins + 3) & ~3;
    nParts = nPartitions;
    plans = PlansFor(nFft);
    pH.reset(fftwf_alloc_complex(static_cast<std::size_t>(nStride) * nParts));
    pX.reset(fftwf_alloc_complex(static_cast<std::size_t>(nStride) * nParts));
    pAcc.reset(fftwf_alloc_complex(nBins));
    pIn.reset(fftwf_alloc_real(nFft));
    pOut.reset(fftwf_alloc_real(nFft));
    if (plans.forward == nullptr || !pH || !pX || !pAcc || !pIn || !pOut) return false;
    out.assign(N, 0.0f);
    std::fill(pIn.get(), pIn.get() + nFft, 0.0f);
    std::memset(pX.get(), 0, sizeof(fftwf_complex) * nStride * nParts);

    // Each partition's taps, zero-padded to 2N, transformed once.
    for (int p = 0; p < nParts; ++p) {
        std::fill(pOut.get(), pOut.get() + nFft, 0.0f);
        const int nFirst = nOffset + p * N;
        const int nCount = std::max(0, std::min(N, nTaps - nFirst));
        std::copy(pTaps + nFirst, pTaps + nFirst + nCount, pOut.get());
        fftwf_execute_dft_r2c(plans.forward, pOut.get(), pH.get() + static_cast<std::size_t>(p) * nStride);
    }
    return true;
}

void CPartitionedConvolver::Level::BlockJob() {
    // The newest input spectrum goes where the oldest was.
    nNewest = nNewest == 0 ? nParts - 1 : nNewest - 1;
    fftwf_complex* pXNew = pX.get() + static_cast<std::size_t>(nNewest) * nStride;
    fftwf_execute_dft_r2c(plans.forward, pIn.get(), pXNew);

    // Y = Σ_p H_p · X_{j−p}: partition p meets the input block p blocks older.
    std::memset(pAcc.get(), 0, sizeof(fftwf_complex) * nBins);
    for (int p = 0; p < nParts; ++p) {
        const fftwf_complex* h = pH.get() + static_cast<std::size_t>(p) * nStride;
        const fftwf_complex* x = pX.get() + static_cast<std::size_t>((nNewest + p) % nParts) * nStride;
        MultiplyAccumulate(pAcc.get(), h, x, nBins);
    }
    fftwf_execute_dft_c2r(plans.inverse, pAcc.get(), pOut.get());

    // Overlap-save: the last N results are the linear convolution; FFTW leaves them scaled by 2N.
    const float fScale = 1.0f / static_cast<float>(nFft);
    for (int i = 0; i < N; ++i) out[i] = pOut[N + i] * fScale;
    // The current block becomes the previous one.
    std::copy(pIn.get() + N, pIn.get() + nFft, pIn.get());
}

CPartitionedConvolver::CPartitionedConvolver() = default;

CPartitionedConvolver::~CPartitionedConvolver() {
    if (m_bHead) nspFirFree(&m_head);
}

bool CPartitionedConvolver::Init(const float* pTaps, int nTaps) {
    if (!nspsFirInit(pTaps, std::min(nTaps, kHeadTaps), nullptr, &m_head)) return false;
    m_bHead = true;
    // Partition sizes grow by kGrowth from the head's length up to kMaxBlock. A size N starts at
    // tap N and repeats until the next size's start, so each block's output is first needed on
    // the call after the block is complete. Few sizes keep the FFT work per sample small.
    for (int N = kHeadTaps; N < nTaps;) {
        const int nNext = N < kMaxBlock ? std::min(N * kGrowth, kMaxBlock) : nTaps;
        const int nEnd = std::min(nNext, nTaps);
        const int nParts = (nEnd - N + N - 1) / N;
        auto pLevel = std::unique_ptr<Level>(new (std::nothrow) Level);
        if (!pLevel || !pLevel->Init(pTaps, nTaps, N, N, nParts)) return false;
        m_levels.push_back(std::move(pLevel));
        if (nNext >= nTaps) break;
        N = nNext;
    }
    return true;
}

float CPartitionedConvolver::Process(float x) {
    float y = nspsFir(&m_head, x);
    for (const std::unique_ptr<Level>& pLevel : m_levels) {
        Level& L = *pLevel;
        y += L.out[L.nPos];
        L.pIn[L.N + L.nPos] = x;
        if (++L.nPos == L.N) {
            L.BlockJob();
            L.nPos = 0;
        }
    }
    return y;
}
