// The partitioned convolver: partitions, the per-call step and the block job (overlap-save with a
// frequency-domain delay line per partition size).
//
// Plans are FFTW_ESTIMATE: planning takes about 2 ms per size against 150-500 ms for
// FFTW_MEASURE, which every process would pay again before its first sound, while the measured
// plans run the 512- and 2048-point transforms only about 1.4 times faster, a few nanoseconds
// per output sample here.
#include "filter/partitioned_convolver.h"

#include <fftw3.h>
#include <immintrin.h>

#include <algorithm>
#include <cstring>
#include <mutex>
#include <new>

namespace {

// FFTW's planner (making and destroying plans) is not thread-safe: every convolver, in whatever
// thread or plugin instance, plans under this lock, never on the audio path. Plans are reusable on
// any arrays of the same alignment. Each convolver owns its plans and destroys them; FFTW's own
// state is left alone (a host may share it), so nothing runs at exit.
std::mutex& PlannerMutex() {
    static std::mutex m;
    return m;
}

// A forward and inverse plan pair of one FFT size, owned by one partition level.
struct PlanPair {
    fftwf_plan forward = nullptr;
    fftwf_plan inverse = nullptr;

    PlanPair() = default;
    PlanPair(const PlanPair&) = delete;
    PlanPair& operator=(const PlanPair&) = delete;
    ~PlanPair() {
        if (forward == nullptr && inverse == nullptr) return;
        std::lock_guard<std::mutex> lock(PlannerMutex());
        if (forward != nullptr) fftwf_destroy_plan(forward);
        if (inverse != nullptr) fftwf_destroy_plan(inverse);
    }

    bool Make(int nFft) {
        std::lock_guard<std::mutex> lock(PlannerMutex());
        float* pReal = fftwf_alloc_real(nFft);
        fftwf_complex* pSpec = fftwf_alloc_complex(nFft / 2 + 1);
        if (pReal != nullptr && pSpec != nullptr) {
            forward = fftwf_plan_dft_r2c_1d(nFft, pReal, pSpec, FFTW_ESTIMATE);
            inverse = fftwf_plan_dft_c2r_1d(nFft, pSpec, pReal, FFTW_ESTIMATE);
        }
        fftwf_free(pReal);
        fftwf_free(pSpec);
        return forward != nullptr && inverse != nullptr;
    }
};

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
        const __m256 hr = _mm256_moveldup_ps(hv);                               // re re …
        const __m256 hi = _mm256_movehdup_ps(hv);                               // im im …
        const __m256 xs = _mm256_permute_ps(xv, 0xB1);                          // x with re and im swapped
        const __m256 prod = _mm256_fmaddsub_ps(hr, xv, _mm256_mul_ps(hi, xs));  // re·re−im·im, re·im+im·re
        _mm256_storeu_ps(&acc[k][0], _mm256_add_ps(_mm256_loadu_ps(&acc[k][0]), prod));
    }
    // Clean upper halves: the SSE code that runs next (the voice) would otherwise pay for the
    // dirty AVX state on every instruction.
    _mm256_zeroupper();
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

// All partitions of one size N: taps [offset, offset + P·N). An unsliced level starts at N and
// runs its whole job on the call that completes a block; a sliced one starts at 2N and runs its
// job one slice per call over the next block, writing the buffer that is read a block later.
struct CPartitionedConvolver::Level {
    int N = 0;        // block size, taps per partition
    int nFft = 0;     // 2N
    int nBins = 0;    // N + 1
    int nStride = 0;  // spectra start this many bins apart, keeping FFTW's alignment
    int nParts = 0;   // P
    bool bSliced = false;
    PlanPair plans;
    FftwPtr<fftwf_complex> pH;    // P spectra of the zero-padded partitions
    FftwPtr<fftwf_complex> pX;    // P input spectra, newest at index nNewest (a ring)
    FftwPtr<fftwf_complex> pAcc;  // the sum of products for one block
    FftwPtr<float> pIn;           // the last 2N inputs: the previous block, then the current one
    FftwPtr<float> pOut;          // the inverse FFT's result
    std::vector<float> out[2];    // this size's part of coming outputs; sliced levels use both
    int nRead = 0;                // the buffer being read
    int nPos = 0;                 // inputs of the current block so far
    int nNewest = 0;
    // The sliced job: the forward transform is due on the call after a block completes, then
    // nPartsPerCall products a call, then the inverse transform.
    bool bForwardDue = false;
    int nNextPart = -1;  // -1: no job under way
    int nPartsPerCall = 1;

    bool Init(const float* pTaps, int nTaps, int nOffset, int nBlock, int nPartitions, bool bSlice);
    void Forward();
    void Products(int nFrom, int nTo);
    void Inverse(std::vector<float>& dst);
    float Process(float x);
};

bool CPartitionedConvolver::Level::Init(const float* pTaps, int nTaps, int nOffset, int nBlock,
                                        int nPartitions, bool bSlice) {
    N = nBlock;
    nFft = 2 * N;
    nBins = N + 1;
    nStride = (nBins + 3) & ~3;
    nParts = nPartitions;
    bSliced = bSlice;
    // Done by the middle of the block, well before the buffer is read.
    nPartsPerCall = std::max(1, (nParts + N / 2 - 1) / (N / 2));
    plans.Make(nFft);
    pH.reset(fftwf_alloc_complex(static_cast<std::size_t>(nStride) * nParts));
    pX.reset(fftwf_alloc_complex(static_cast<std::size_t>(nStride) * nParts));
    pAcc.reset(fftwf_alloc_complex(nBins));
    pIn.reset(fftwf_alloc_real(nFft));
    pOut.reset(fftwf_alloc_real(nFft));
    if (plans.forward == nullptr || !pH || !pX || !pAcc || !pIn || !pOut) return false;
    out[0].assign(N, 0.0f);
    out[1].assign(N, 0.0f);
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

void CPartitionedConvolver::Level::Forward() {
    // The newest input spectrum goes where the oldest was.
    nNewest = nNewest == 0 ? nParts - 1 : nNewest - 1;
    fftwf_execute_dft_r2c(plans.forward, pIn.get(), pX.get() + static_cast<std::size_t>(nNewest) * nStride);
    // The current block becomes the previous one.
    std::copy(pIn.get() + N, pIn.get() + nFft, pIn.get());
    std::memset(pAcc.get(), 0, sizeof(fftwf_complex) * nBins);
}

void CPartitionedConvolver::Level::Products(int nFrom, int nTo) {
    // Y = Σ_p H_p · X_{j−p}: partition p meets the input block p blocks older.
    for (int p = nFrom; p < nTo; ++p) {
        const fftwf_complex* h = pH.get() + static_cast<std::size_t>(p) * nStride;
        const fftwf_complex* x = pX.get() + static_cast<std::size_t>((nNewest + p) % nParts) * nStride;
        MultiplyAccumulate(pAcc.get(), h, x, nBins);
    }
}

void CPartitionedConvolver::Level::Inverse(std::vector<float>& dst) {
    fftwf_execute_dft_c2r(plans.inverse, pAcc.get(), pOut.get());
    // Overlap-save: the last N results are the linear convolution; FFTW leaves them scaled by 2N.
    const float fScale = 1.0f / static_cast<float>(nFft);
    for (int i = 0; i < N; ++i) dst[i] = pOut[N + i] * fScale;
}

float CPartitionedConvolver::Level::Process(float x) {
    if (!bSliced) {
        const float y = out[0][nPos];
        pIn[N + nPos] = x;
        if (++nPos == N) {
            Forward();
            Products(0, nParts);
            Inverse(out[0]);
            nPos = 0;
        }
        return y;
    }

    // One slice of the job for the block completed last; the input window is still that block's.
    if (bForwardDue) {
        Forward();
        bForwardDue = false;
        nNextPart = 0;
    } else if (nNextPart >= 0 && nNextPart < nParts) {
        const int nTo = std::min(nParts, nNextPart + nPartsPerCall);
        Products(nNextPart, nTo);
        nNextPart = nTo;
    } else if (nNextPart == nParts) {
        Inverse(out[1 - nRead]);
        nNextPart = -1;
    }

    const float y = out[nRead][nPos];
    pIn[N + nPos] = x;
    if (++nPos == N) {
        nPos = 0;
        nRead = 1 - nRead;  // the job finished in this block wrote the other buffer
        bForwardDue = true;
    }
    return y;
}

CPartitionedConvolver::CPartitionedConvolver() = default;

CPartitionedConvolver::~CPartitionedConvolver() {
    if (m_bHead) DirectFirFree(&m_head);
}

bool CPartitionedConvolver::Init(const float* pTaps, int nTaps) {
    if (!DirectFirInit(pTaps, std::min(nTaps, kHeadTaps), &m_head)) return false;
    m_bHead = true;
    auto addLevel = [&](int nStart, int nEnd, int N, bool bSlice) {
        auto pLevel = std::unique_ptr<Level>(new (std::nothrow) Level);
        if (!pLevel || !pLevel->Init(pTaps, nTaps, nStart, N, (nEnd - nStart + N - 1) / N, bSlice))
            return false;
        m_levels.push_back(std::move(pLevel));
        return true;
    };
    if (nTaps > kHeadTaps && !addLevel(kHeadTaps, std::min(nTaps, kLongStart), kShortBlock, false))
        return false;
    if (nTaps > kLongStart && !addLevel(kLongStart, nTaps, kLongBlock, true)) return false;
    return true;
}

float CPartitionedConvolver::Process(float x) {
    float y = DirectFir(&m_head, x);
    for (const std::unique_ptr<Level>& pLevel : m_levels) y += pLevel->Process(x);
    return y;
}
