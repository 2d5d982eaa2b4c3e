// The single-precision FIR kernel the filter stage runs: the direct form for filters up to the
// partition threshold, zero-latency FFT partitions above it. One sample in, one sample out,
// y[n] = h[0]·x[n] + h[1]·x[n−1] + … + h[N−1]·x[n−N+1], with a zero history at the start.
#pragma once

#include "filter/direct_fir.h"

class CPartitionedConvolver;

struct NSPFirState : DirectFirState {
    // Filters longer than the partition threshold are convolved by FFT partitions instead.
    CPartitionedConvolver* pLong;
};

// Filters with more taps than this use the partitioned convolver. Each filter takes its own
// threshold, so tests and benchmarks can compare the two forms on the same taps without touching
// any other filter of the process.
constexpr int kDefaultFirPartitionThreshold = 2048;

// Makes the state ready to filter with these nTapsLen taps; the history starts all zero.
// pDlyVals must be null (no initial history). Returns false when memory can't be obtained, and
// the state then owns nothing.
bool nspsFirInit(const float* pTaps, int nTapsLen, const float* pDlyVals, NSPFirState* pState,
                 int nPartitionThreshold = kDefaultFirPartitionThreshold);

// Appends one input sample and returns the filter's output for it. No allocation, no lock.
float nspsFir(NSPFirState* pState, float fSample);

// Releases what nspsFirInit obtained.
void nspFirFree(NSPFirState* pState);
