// The FIR kernel: the choice between the direct form and the partitioned convolver.
#include "filter/fir_kernel.h"

#include <new>

#include "filter/partitioned_convolver.h"

bool nspsFirInit(const float* pTaps, int nTapsLen, const float* pDlyVals, NSPFirState* pState,
                 int nPartitionThreshold) {
    *pState = NSPFirState{};
    if (pTaps == nullptr || nTapsLen < 1 || pDlyVals != nullptr) return false;

    if (nTapsLen > nPartitionThreshold && nTapsLen > CPartitionedConvolver::kHeadTaps) {
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
