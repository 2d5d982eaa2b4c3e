// Zero-latency partitioned convolution for long filters: a short direct-form head computed sample
// by sample, and tail partitions computed by FFT from blocks of input that are already complete.
// A partition of N taps starts at tap N or later, so its output is first needed on the call after
// its input block is complete and no latency is added. One sample in, one sample out.
//
// Each call does at most one block's FFT work per partition size; the largest size is capped so
// that even the call where every size completes a block at once stays short.
#pragma once

#include <memory>
#include <vector>

#include "filter/fir_kernel.h"

class CPartitionedConvolver {
public:
    static constexpr int kHeadTaps = 256;   // direct-form taps
    static constexpr int kMaxBlock = 4096;  // largest partition, in taps
    static constexpr int kGrowth = 16;      // from one partition size to the next

    CPartitionedConvolver();
    ~CPartitionedConvolver();
    CPartitionedConvolver(const CPartitionedConvolver&) = delete;
    CPartitionedConvolver& operator=(const CPartitionedConvolver&) = delete;

    // Prepares the partitions and their FFT plans for these taps (nTaps > kHeadTaps). All
    // memory is obtained here; false when it cannot be.
    bool Init(const float* pTaps, int nTaps);
    // Appends one input and returns y[n] = Σ h[k]·x[n−k].
    float Process(float x);

private:
    struct Level;

    NSPFirState m_head{};
    bool m_bHead = false;
    std::vector<std::unique_ptr<Level>> m_levels;
};
