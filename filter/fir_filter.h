// One FIR filter: its taps, the sum of their magnitudes, the gain a session gives it, and the
// kernel state while a session uses it. Stored in tone files as a tap count and the taps.
#pragma once

#include "filter/file_storable.h"
#include "filter/fir_kernel.h"

// The longest filter waveform: one second.
constexpr int kMaxFirTaps = 44100;

class CFirFilter : public CFileStorable {
public:
    // A new filter is the identity: one tap of 1.0.
    CFirFilter();
    ~CFirFilter() override;
    // Filters are never copied as objects; copying is SetTaps with the other filter's taps.
    CFirFilter(const CFirFilter&) = delete;
    CFirFilter& operator=(const CFirFilter&) = delete;

    // Replaces the taps with a copy of pValues[0..nCount−1] and recomputes m_fSumAbs. The new
    // storage is obtained before the old is released, so on failure (FALSE) the filter is
    // unchanged. A count below 1 is refused the same way.
    BOOL SetTaps(const float* pValues, int nCount);

    // Writes the count (int32) and the taps (float32), little-endian: 4 + 4·N bytes.
    BOOL Save(CFile* pFile) override;
    // Reads a record written by Save. Refuses (FALSE, filter unchanged) a count below 1 or above
    // kMaxFirTaps and a stream that ends early.
    BOOL Load(CFile* pFile) override;

    NSPFirState m_state{};
    float* m_pTaps = nullptr;
    float m_fSumAbs = 0.0f;
    float m_fGain = 0.0f;
    int m_nTaps = 0;
    bool m_bInitialized = false;
};
