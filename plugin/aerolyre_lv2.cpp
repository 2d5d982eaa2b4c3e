// The instrument as an LV2 plugin: the engine driven by a host. The pointer (x, y, the two
// buttons) and the main dialog's tone settings are control ports a host can automate; the output
// is the program's own 16-bit samples as floats, at the host's rate.
//
// run() allocates nothing, takes no lock and makes no system call: a changed tone setting
// restarts the voice from the new parameters, which needs neither.
#include <lv2/core/lv2.h>

#include <array>
#include <cmath>
#include <cstdint>
#include <new>

#include "engine/engine.h"
#include "engine/parameter_derivation.h"
#include "platform/sample_scale.h"

namespace {

constexpr char kUri[] = "https://aerolyre.org/plugins/aerolyre";

// Port indices, as the plugin's Turtle file numbers them.
enum Port : std::uint32_t {
    kOut,
    kX,
    kY,
    kLeft,
    kRight,
    kRange,
    kModRatio,
    kModDepth,
    kLeftShift,
    kRightShift,
    kDistortion,
    kFeedback,
    kRangeAdjust,
    kDetune,
    kOverCycle,
    kPortCount
};
constexpr std::uint32_t kFirstTone = kRange;

class CPlugin {
public:
    explicit CPlugin(double dRate) : m_dRate(dRate) {}

    void Connect(std::uint32_t nPort, void* p) {
        if (nPort == kOut) {
            m_pOut = static_cast<float*>(p);
        } else if (nPort < kPortCount) {
            m_apControl[nPort] = static_cast<const float*>(p);
        }
    }

    void Activate() { m_bStarted = false; }

    void Run(std::uint32_t nFrames) noexcept {
        if (m_pOut == nullptr) return;
        if (!m_bStarted || ToneChanged()) Restart();
        EngineEvent e;
        e.dX = Clamped(kX, 0.0, 1.0);
        e.dY = Clamped(kY, 0.0, 1.0);
        e.bLeft = Value(kLeft) > 0.5f;
        e.bRight = Value(kRight) > 0.5f;
        for (std::uint32_t i = 0; i < nFrames; ++i) {
            double v;
            m_engine.Render(&v, 1, &e, i == 0 ? 1 : 0);
            // The program's output samples: 16-bit, clipped as its device gets them.
            m_pOut[i] = static_cast<float>(ToInt16Sample(v) / 32768.0);
        }
    }

private:
    float Value(std::uint32_t nPort) const {
        return m_apControl[nPort] != nullptr ? *m_apControl[nPort] : 0.0f;
    }
    double Clamped(std::uint32_t nPort, double lo, double hi) const {
        const double v = Value(nPort);
        return std::isfinite(v) ? std::fmin(hi, std::fmax(lo, v)) : lo;
    }
    int Whole(std::uint32_t nPort, int lo, int hi) const {
        return static_cast<int>(std::lround(Clamped(nPort, lo, hi)));
    }

    bool ToneChanged() const {
        for (std::uint32_t p = kFirstTone; p < kPortCount; ++p) {
            if (Value(p) != m_aTone[p - kFirstTone]) return true;
        }
        return false;
    }

    // The derivation as the main dialog's texts would give it; every port is clamped to its
    // range first, so it cannot fail.
    void Restart() noexcept {
        for (std::uint32_t p = kFirstTone; p < kPortCount; ++p) m_aTone[p - kFirstTone] = Value(p);
        DerivedParameters& d = m_settings.params;
        d.nBlockBytes = 400;
        d.dPitchRange = Whole(kRange, 1, 7);
        d.dModRatio = Whole(kModRatio, 1, 9);
        d.dModStrength = Whole(kModDepth, 0, 1000);
        d.dLeftShiftRatio = ShiftRatioFor(Whole(kLeftShift, -12, 12));
        d.dRightShiftRatio = ShiftRatioFor(Whole(kRightShift, -12, 12));
        d.dNegativeGain = NegativeGainFor(Whole(kDistortion, 0, 1000));
        d.dModFeedback = ModFeedbackFor(Whole(kFeedback, 0, 1000));
        const DWORD_PTR item = kOverCycleItemData[Whole(kOverCycle, 0, 4)];
        d.nOverCycleLog2 = static_cast<int>(item) / 100;
        d.nOverCycle = static_cast<int>(item) % 100;
        d.dDetune = Value(kDetune) > 0.5f ? 1.0 : 0.0;
        d.dBaseOctave = BaseOctaveFor(Whole(kRangeAdjust, -24, 12), d.nOverCycleLog2);
        m_settings.dRate = m_dRate;
        m_engine.Prepare(m_settings);
        m_bStarted = true;
    }

    double m_dRate;
    float* m_pOut = nullptr;
    std::array<const float*, kPortCount> m_apControl{};
    std::array<float, kPortCount - kFirstTone> m_aTone{};
    EngineSettings m_settings;
    CEngine m_engine;
    bool m_bStarted = false;
};

LV2_Handle Instantiate(const LV2_Descriptor*, double dRate, const char*, const LV2_Feature* const*) {
    if (!(dRate >= 8000.0 && dRate <= 384000.0)) return nullptr;
    return new (std::nothrow) CPlugin(dRate);
}

void ConnectPort(LV2_Handle h, std::uint32_t nPort, void* p) { static_cast<CPlugin*>(h)->Connect(nPort, p); }
void Activate(LV2_Handle h) { static_cast<CPlugin*>(h)->Activate(); }
void Run(LV2_Handle h, std::uint32_t nFrames) { static_cast<CPlugin*>(h)->Run(nFrames); }
void Cleanup(LV2_Handle h) { delete static_cast<CPlugin*>(h); }
const void* ExtensionData(const char*) { return nullptr; }

const LV2_Descriptor kDescriptor = {kUri, Instantiate, ConnectPort, Activate,
                                    Run,  nullptr,     Cleanup,     ExtensionData};

}  // namespace

extern "C" LV2_SYMBOL_EXPORT const LV2_Descriptor* lv2_descriptor(std::uint32_t nIndex) {
    return nIndex == 0 ? &kDescriptor : nullptr;
}
