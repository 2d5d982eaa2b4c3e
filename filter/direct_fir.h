// The direct-form FIR filter: one sample in, one sample out,
// y[n] = h[0]·x[n] + h[1]·x[n−1] + … + h[N−1]·x[n−N+1], with a zero history at the start.
//
// The history is kept twice over in a circular buffer, so the N most recent inputs always stand
// in one contiguous run. Long filters are limited by memory traffic, not arithmetic, so every
// kFirBlock-th call makes one pass over taps and history and computes, for that output and the
// next kFirBlock − 1, the part of each sum that needs only inputs already known; the calls in
// between add the few terms of the inputs that arrived since. Nothing waits for a future input,
// so no latency is added. The pass is vectorised with AVX2/FMA where the processor has it
// (checked once, at run time) and portable otherwise.
#pragma once

constexpr int kFirBlock = 8;
// Below this many taps the plain sum costs less than the block bookkeeping.
constexpr int kFirShortFilter = 32;

struct DirectFirState {
    const float* pTaps;  // the caller's taps; they stay unchanged and alive while the state is used
    float* pHistory;     // 2·nTaps floats: inputs, newest first, stored twice
    int nTaps;
    int nPos;                  // where the next input goes
    int nPhase;                // calls since the last pass, 0 .. kFirBlock − 1
    float afKnown[kFirBlock];  // the known parts of this block's outputs
};

// Makes the state ready for these taps (nTaps >= 1) with an all-zero history; false when memory
// can't be obtained, and the state then owns nothing.
bool DirectFirInit(const float* pTaps, int nTaps, DirectFirState* pState);
// Appends one input sample and returns the filter's output for it. No allocation, no lock.
// Inline (below): it runs once per sample inside the kernel's and the convolver's own calls.
inline float DirectFir(DirectFirState* pState, float fSample);
// Releases what DirectFirInit obtained.
void DirectFirFree(DirectFirState* pState);

// The pass, exposed for tests: with H[j] = x[n−j] for j = 0 … nTaps−1, sets
// afKnown[i] = Σ_{j=0}^{nTaps−1−i} h[j+i]·H[j] for i = 0 … kFirBlock−1 (the part of y[n+i] that
// inputs up to x[n] decide). FirBlockSums picks the vectorised form when it can.
void FirBlockSums(const float* pTaps, const float* pH, int nTaps, float* afKnown);
void FirBlockSumsPortable(const float* pTaps, const float* pH, int nTaps, float* afKnown);
// Whether FirBlockSums runs the AVX2/FMA form on this processor.
bool FirKernelUsesAvx2();

inline float DirectFir(DirectFirState* pState, float fSample) {
    const int n = pState->nTaps;
    const int p = pState->nPos;
    // Both copies, so that H[0 .. N−1] is x[n], x[n−1], …, x[n−N+1] in that order.
    float* H = pState->pHistory + p;
    pState->pHistory[p] = fSample;
    pState->pHistory[p + n] = fSample;

    const int i = pState->nPhase;
    float y;
    if (n < kFirShortFilter) {
        // Short filters: the plain sum costs less than the block bookkeeping.
        y = 0.0f;
        for (int k = 0; k < n; ++k) y += pState->pTaps[k] * H[k];
        pState->nPos = p == 0 ? n - 1 : p - 1;
        return y;
    }
    if (i == 0) {
        FirBlockSums(pState->pTaps, H, n, pState->afKnown);
        y = pState->afKnown[0];
    } else {
        // The terms of the i inputs that arrived since the pass.
        float fNew = 0.0f;
        for (int k = 0; k < i && k < n; ++k) fNew += pState->pTaps[k] * H[k];
        y = pState->afKnown[i] + fNew;
    }

    pState->nPhase = i + 1 == kFirBlock ? 0 : i + 1;
    // The next input goes one place lower, so this one becomes x[n−1] of the next call.
    pState->nPos = p == 0 ? n - 1 : p - 1;
    return y;
}
