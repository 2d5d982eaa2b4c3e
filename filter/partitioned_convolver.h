// Zero-latency partitioned convolution for long filters: a short direct-form head computed sample
// by sample, and tail partitions computed by FFT from blocks of input that are already complete.
// One sample in, one sample out; no latency is added.
//
// Two partition sizes follow the head. The short size starts at its own length, so its block's
// output is needed on the call right after the block is complete and its (small) FFT job runs in
// that call. The long size starts at twice its length: its output is first needed a whole block
// after its input block is complete, so its job (forward FFT, one product per partition, inverse
// FFT) is spread over the calls of that block and no call carries more than one small slice of it.
#pragma once

#include <memory>
#include <vector>

#include "filter/direct_fir.h"

class CPartitionedConvolver {
public:
    static constexpr int kHeadTaps = 256;    // direct-form taps
    static constexpr int kShortBlock = 256;  // taps per short partition, [kHeadTaps, kLongStart)
    static constexpr int kLongBlock = 1024;  // taps per long partition, from kLongStart on
    static constexpr int kLongStart = 2 * kLongBlock;

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

    DirectFirState m_head{};
    bool m_bHead = false;
    std::vector<std::unique_ptr<Level>> m_levels;
};
