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
float DirectFir(DirectFirState* pState, float fSample);
// Releases what DirectFirInit obtained.
void DirectFirFree(DirectFirState* pState);

// The pass, exposed for tests: with H[j] = x[n−j] for j = 0 … nTaps−1, sets
// afKnown[i] = Σ_{j=0}^{nTaps−1−i} h[j+i]·H[j] for i = 0 … kFirBlock−1 (the part of y[n+i] that
// inputs up to x[n] decide). FirBlockSums picks the vectorised form when it can.
void FirBlockSums(const float* pTaps, const float* pH, int nTaps, float* afKnown);
void FirBlockSumsPortable(const float* pTaps, const float* pH, int nTaps, float* afKnown);
// Whether FirBlockSums runs the AVX2/FMA form on this processor.
bool FirKernelUsesAvx2();
