// The filter stage: building it from the settings, one sample through it, releasing it.
#include "filter/fir_stage.h"

#include <algorithm>
#include <cmath>
#include <new>

#include "filter/fir_filter.h"
#include "platform/sample_scale.h"

namespace {

// A gain that keeps the filter's output finite. A filter whose taps sum to zero or to something
// that is not finite has no defined gain; it gets 0, and its taps become a single zero so that
// not even an overflow inside the sum can put out NaN.
void SetStageGain(CFirFilter& filter, float fGain) {
    if (filter.m_fSumAbs != 0.0f && std::isfinite(filter.m_fSumAbs) && std::isfinite(fGain)) {
        filter.m_fGain = fGain;
        return;
    }
    filter.m_fGain = 0.0f;
    const float fZero = 0.0f;
    filter.SetTaps(&fZero, 1);
}

CFirFilter* NewStageFilter(const CFirFilter* pSettings) {
    auto* pFilter = new (std::nothrow) CFirFilter;
    if (pFilter == nullptr) return nullptr;
    if (pSettings != nullptr && !pFilter->SetTaps(pSettings->m_pTaps, pSettings->m_nTaps)) {
        delete pFilter;
        return nullptr;
    }
    return pFilter;
}

bool InitKernel(CFirFilter& filter, int nPartitionThreshold) {
    if (!nspsFirInit(filter.m_pTaps, filter.m_nTaps, nullptr, &filter.m_state, nPartitionThreshold))
        return false;
    filter.m_bInitialized = true;
    return true;
}

}  // namespace

BOOL BuildFirStage(const FirStageSettings& settings, FirStageState& ps) {
    ps.pFirStage1 = nullptr;
    ps.pFirStage2 = nullptr;
    ps.pFirDelayLine = nullptr;
    if (settings.nCheckFir != 1) return TRUE;

    CFirFilter* pFilter1 = NewStageFilter(settings.pFilter1);
    ps.pFirStage1 = pFilter1;
    if (pFilter1 == nullptr) return FALSE;
    if (settings.nFirFeedback > 0) {
        // With the loop on, the volume scales the input instead, so the fed-back signal is not
        // scaled by it.
        SetStageGain(*pFilter1, static_cast<float>(1.0 / pFilter1->m_fSumAbs));
        ps.dFirInputGain = settings.nFirInputVolume / 100.0;
        // A tone file's delay is not range-checked: keep it where the loop is defined.
        ps.nFirDelayLength = std::clamp(settings.nFirDelay, 1, kMaxFirTaps);
        ps.pFirDelayLine = new (std::nothrow) float[ps.nFirDelayLength]();
        if (ps.pFirDelayLine == nullptr) return FALSE;
        ps.dFirFeedbackGain = settings.nFirFeedback / 100.0;
    } else {
        SetStageGain(*pFilter1, static_cast<float>(settings.nFirInputVolume / 100.0) / pFilter1->m_fSumAbs);
    }
    if (!InitKernel(*pFilter1, settings.nPartitionThreshold)) return FALSE;

    CFirFilter* pFilter2 = NewStageFilter(settings.pFilter2);
    ps.pFirStage2 = pFilter2;
    if (pFilter2 == nullptr) return FALSE;
    SetStageGain(*pFilter2, static_cast<float>(settings.nFirFilter2Volume / 100.0) / pFilter2->m_fSumAbs);
    if (!InitKernel(*pFilter2, settings.nPartitionThreshold)) return FALSE;
    return TRUE;
}

namespace {

float GainOrZero(const CFirFilter& filter, float fGain) {
    return filter.m_fSumAbs != 0.0f && std::isfinite(filter.m_fSumAbs) && std::isfinite(fGain) ? fGain : 0.0f;
}

}  // namespace

void SetFirStageVolumes(FirStageState& ps, double dInputVolume, double dFilter2Volume) noexcept {
    if (ps.pFirStage1 == nullptr || ps.pFirStage2 == nullptr) return;
    CFirFilter& f1 = *ps.pFirStage1;
    if (ps.pFirDelayLine != nullptr) {
        ps.dFirInputGain = dInputVolume / 100.0;
    } else {
        f1.m_fGain = GainOrZero(f1, static_cast<float>(dInputVolume / 100.0) / f1.m_fSumAbs);
    }
    CFirFilter& f2 = *ps.pFirStage2;
    f2.m_fGain = GainOrZero(f2, static_cast<float>(dFilter2Volume / 100.0) / f2.m_fSumAbs);
}

double ProcessFirStage(FirStageState& ps, double x, int& nDelayPos) {
    CFirFilter& f1 = *ps.pFirStage1;
    CFirFilter& f2 = *ps.pFirStage2;

    double y1;
    if (ps.pFirDelayLine != nullptr) {
        float* D = ps.pFirDelayLine;
        const auto w = static_cast<float>(D[nDelayPos] * ps.dFirFeedbackGain + x * ps.dFirInputGain);
        y1 = ClampToSampleRange(nspsFir(&f1.m_state, w) * f1.m_fGain);
        D[nDelayPos] = static_cast<float>(y1);
        nDelayPos = (nDelayPos + 1) % ps.nFirDelayLength;
    } else {
        y1 = ClampToSampleRange(nspsFir(&f1.m_state, static_cast<float>(x)) * f1.m_fGain);
    }
    // (The clamp also keeps an overflow's NaN from circulating in the delay line.)
    // No clamp after filter 2: the final store clamps.
    return nspsFir(&f2.m_state, static_cast<float>(y1)) * f2.m_fGain;
}

void ReleaseFirStage(FirStageState& ps) {
    delete ps.pFirStage1;
    ps.pFirStage1 = nullptr;
    delete ps.pFirStage2;
    ps.pFirStage2 = nullptr;
    delete[] ps.pFirDelayLine;
    ps.pFirDelayLine = nullptr;
}
