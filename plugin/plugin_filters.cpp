// The plugin's filter stage: loading, resampling and building, all on the host's worker or
// state threads.
#include "plugin/plugin_filters.h"

#include <samplerate.h>

#include <algorithm>
#include <cmath>
#include <utility>

#include "files/filter_wave.h"
#include "filter/fir_filter.h"
#include "platform/sample_scale.h"

CPluginStage::~CPluginStage() noexcept { ReleaseFirStage(stage); }

void FreeRetiredStages(CPluginStage* p) {
    while (p != nullptr) delete std::exchange(p, p->pNextRetired);
}

bool LoadPluginFilter(const std::string& strPath, PluginFilterTaps& taps) {
    CFirFilter filter;
    if (!LoadFilterWave(filter, strPath)) return false;
    taps.strPath = strPath;
    taps.taps.assign(filter.m_pTaps, filter.m_pTaps + filter.m_nTaps);
    return true;
}

std::vector<float> TapsAtRate(const std::vector<float>& taps, double dRate) {
    if (dRate == kSampleRate || taps.size() < 2) return taps;
    const double dRatio = dRate / kSampleRate;
    std::vector<float> out(static_cast<std::size_t>(std::ceil(static_cast<double>(taps.size()) * dRatio)) +
                           1);
    SRC_DATA data{};
    data.data_in = taps.data();
    data.input_frames = static_cast<long>(taps.size());
    data.data_out = out.data();
    data.output_frames = static_cast<long>(out.size());
    data.src_ratio = dRatio;
    if (src_simple(&data, SRC_SINC_BEST_QUALITY, 1) != 0 || data.output_frames_gen < 1) return taps;
    out.resize(static_cast<std::size_t>(data.output_frames_gen));
    return out;
}

std::unique_ptr<CPluginStage> BuildPluginStage(const PluginFilterTaps (&taps)[2],
                                               const PluginFilterSettings& settings, double dRate) {
    auto pStage = std::make_unique<CPluginStage>();
    pStage->settings = settings;
    CFirFilter filters[2];
    for (int i = 0; i < 2; ++i) {
        const std::vector<float> atRate = TapsAtRate(taps[i].taps, dRate);
        if (!filters[i].SetTaps(atRate.data(), static_cast<int>(atRate.size()))) return nullptr;
    }
    FirStageSettings fir;
    fir.nCheckFir = settings.nOn;
    fir.pFilter1 = &filters[0];
    fir.pFilter2 = &filters[1];
    fir.nFirInputVolume = static_cast<int>(std::lround(settings.dInputVolume));
    fir.nFirFilter2Volume = static_cast<int>(std::lround(settings.dFilter2Volume));
    fir.nFirDelay = std::max(1, static_cast<int>(std::lround(settings.nDelay * dRate / kSampleRate)));
    fir.nFirFeedback = settings.nFeedback;
    if (!BuildFirStage(fir, pStage->stage)) return nullptr;
    SetFirStageVolumes(pStage->stage, settings.dInputVolume, settings.dFilter2Volume);
    return pStage;
}
