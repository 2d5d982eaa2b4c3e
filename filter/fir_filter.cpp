// The FIR filter object and its stream form.
#include "filter/fir_filter.h"

#include <bit>
#include <cstdint>
#include <cstring>
#include <memory>
#include <new>

#include "platform/file.h"

static_assert(std::endian::native == std::endian::little,
              "the stream form is little-endian and is written from memory as it stands");

CFirFilter::CFirFilter() {
    const float fIdentity = 1.0f;
    SetTaps(&fIdentity, 1);
}

CFirFilter::~CFirFilter() {
    if (m_bInitialized) nspFirFree(&m_state);
    delete[] m_pTaps;
}

BOOL CFirFilter::SetTaps(const float* pValues, int nCount) {
    if (pValues == nullptr || nCount < 1) return FALSE;
    auto* pNew = new (std::nothrow) float[static_cast<std::size_t>(nCount)];
    if (pNew == nullptr) return FALSE;

    float fSum = 0.0f;
    for (int k = 0; k < nCount; ++k) {
        pNew[k] = pValues[k];
        // Accumulated in float, in index order.
        if (pValues[k] > 0) {
            fSum += pValues[k];
        } else {
            fSum += -pValues[k];
        }
    }
    // pValues may be this filter's own taps, so the old storage goes only now.
    delete[] m_pTaps;
    m_pTaps = pNew;
    m_nTaps = nCount;
    m_fSumAbs = fSum;
    return TRUE;
}

BOOL CFirFilter::Save(CFile* pFile) {
    try {
        const std::int32_t nCount = m_nTaps;
        pFile->Write(&nCount, sizeof nCount);
        pFile->Write(m_pTaps, static_cast<UINT>(sizeof(float) * m_nTaps));
        return TRUE;
    } catch (const CFileException&) {
        return FALSE;
    }
}

BOOL CFirFilter::Load(CFile* pFile) {
    try {
        std::int32_t nCount = 0;
        if (pFile->Read(&nCount, sizeof nCount) != sizeof nCount) return FALSE;
        // Never allocate from an unchecked count.
        if (nCount < 1 || nCount > kMaxFirTaps) return FALSE;
        std::unique_ptr<float[]> pValues(new (std::nothrow) float[nCount]);
        if (!pValues) return FALSE;
        const UINT nBytes = static_cast<UINT>(sizeof(float) * nCount);
        if (pFile->Read(pValues.get(), nBytes) != nBytes) return FALSE;
        return SetTaps(pValues.get(), nCount);
    } catch (const CFileException&) {
        return FALSE;
    }
}
