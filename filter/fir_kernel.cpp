// The FIR kernel: the choice between the direct form and the partitioned convolver.
#include "filter/fir_kernel.h"

#include <atomic>
#include <new>

#include "filter/partitioned_convolver.h"

namespace {

std::atomic<int> g_nPartitionThreshold{kDefaultFirPartitionThreshold};

}  // namespace

void SetFirPartitionThreshold(int nTaps) { g_nPartitionThreshold.store(nTaps); }

int GetFirPartitionThreshold() { return g_nPartitionThreshold.load(); }

bool nspsFirInit(const float* pTaps, int nTapsLen, const float* pDlyVals, NSPFirState* pState) {
    *pState = NSPFirState{};
    if (pTaps == nullptr || nTapsLen < 1 || pDlyVals != nullptr) return false;

    if (nTapsLen > g_nPartitionThreshold.load() && nTapsLen > CPartitionedConvolver::kHeadTaps) {
        auto* pLong = new (std::nothrow) CPartitionedConvolver;
        if (pLong == nullptr || !pLong->Init(pTaps, nTapsLen)) {
            delete pLong;
            return false;
        }
        pState->pLong = pLong;
        pState->pTaps = pTaps;
        pState->nTaps = nTapsLen;
        return true;
    }

    return DirectFirInit(pTaps, nTapsLen, pState);
}

float nspsFir(NSPFirState* pState, float fSample) {
    if (pState->pLong != nullptr) return pState->pLong->Process(fSample);
    return DirectFir(pState, fSample);
}

void nspFirFree(NSPFirState* pState) {
    delete pState->pLong;
    DirectFirFree(pState);
    *pState = NSPFirState{};
}
