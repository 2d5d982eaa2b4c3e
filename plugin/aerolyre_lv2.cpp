// The instrument as an LV2 plugin: the engine driven by a host. MIDI notes play it (one voice,
// last-note priority); the pointer (x, y, the two buttons) and the main dialog's tone settings
// are control ports a host can automate, and a move of the pointer's controls takes over from
// MIDI as the mouse would. The output is the program's own 16-bit samples as floats, at the
// host's rate.
//
// run() allocates nothing, takes no lock and makes no system call: a changed tone setting
// restarts the voice from the new parameters, which needs neither.
#include <lv2/atom/atom.h>
#include <lv2/atom/util.h>
#include <lv2/core/lv2.h>
#include <lv2/midi/midi.h>
#include <lv2/urid/urid.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdint>
#include <cstring>
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
    kMidiIn,
    kPortCount
};
constexpr std::uint32_t kFirstTone = kRange;
constexpr std::uint32_t kToneEnd = kMidiIn;

class CPlugin {
public:
    CPlugin(double dRate, LV2_URID midiEvent) : m_dRate(dRate), m_midiEvent(midiEvent) {}

    void Connect(std::uint32_t nPort, void* p) {
        if (nPort == kOut) {
            m_pOut = static_cast<float*>(p);
        } else if (nPort == kMidiIn) {
            m_pMidi = static_cast<const LV2_Atom_Sequence*>(p);
        } else if (nPort < kPortCount) {
            m_apControl[nPort] = static_cast<const float*>(p);
        }
    }

    void Activate() { m_bStarted = false; }

    void Run(std::uint32_t nFrames) noexcept {
        if (m_pOut == nullptr) return;
        const bool bRestart = !m_bStarted || ToneChanged();
        if (bRestart) Restart();
        // The pointer's controls, when they moved (or the voice started over).
        const std::array<float, 4> pointer = {Value(kX), Value(kY), Value(kLeft), Value(kRight)};
        if (bRestart || pointer != m_lastPointer) {
            m_lastPointer = pointer;
            EngineEvent e;
            e.dX = Clamped(kX, 0.0, 1.0);
            e.dY = Clamped(kY, 0.0, 1.0);
            e.bLeft = pointer[2] > 0.5f;
            e.bRight = pointer[3] > 0.5f;
            m_engine.Apply(e);
        }
        const LV2_Atom_Event* pNext = nullptr;
        if (m_pMidi != nullptr) pNext = lv2_atom_sequence_begin(&m_pMidi->body);
        const auto more = [&] {
            return pNext != nullptr && !lv2_atom_sequence_is_end(&m_pMidi->body, m_pMidi->atom.size, pNext);
        };
        // An event past the block's end plays at its last frame.
        const auto frameOf = [nFrames](const LV2_Atom_Event* e) {
            return static_cast<std::uint32_t>(std::clamp<std::int64_t>(e->time.frames, 0, nFrames - 1));
        };
        std::uint32_t i = 0;
        while (i < nFrames) {
            for (; more() && frameOf(pNext) <= i; pNext = lv2_atom_sequence_next(pNext)) Receive(*pNext);
            // The samples up to the next event, in chunks of the buffer's size.
            std::uint32_t nEnd = more() ? frameOf(pNext) : nFrames;
            nEnd = std::min({nEnd, nFrames, i + static_cast<std::uint32_t>(m_buffer.size())});
            m_engine.Render(m_buffer.data(), static_cast<int>(nEnd - i), nullptr, 0);
            // The program's output samples: 16-bit, clipped as its device gets them.
            for (std::uint32_t k = i; k < nEnd; ++k)
                m_pOut[k] = static_cast<float>(ToInt16Sample(m_buffer[k - i]) / 32768.0);
            i = nEnd;
        }
    }

private:
    void Receive(const LV2_Atom_Event& ev) noexcept {
        if (ev.body.type != m_midiEvent || ev.body.size < 1 || ev.body.size > 3) return;
        EngineEvent e;
        e.kind = EngineEvent::Kind::Midi;
        e.nMidiSize = static_cast<std::uint8_t>(ev.body.size);
        const auto* pBytes = reinterpret_cast<const std::uint8_t*>(&ev + 1);
        for (std::uint32_t k = 0; k < ev.body.size; ++k) e.midi[k] = pBytes[k];
        m_engine.Apply(e);
    }

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
        for (std::uint32_t p = kFirstTone; p < kToneEnd; ++p) {
            if (Value(p) != m_aTone[p - kFirstTone]) return true;
        }
        return false;
    }

    // The derivation as the main dialog's texts would give it; every port is clamped to its
    // range first, so it cannot fail.
    void Restart() noexcept {
        for (std::uint32_t p = kFirstTone; p < kToneEnd; ++p) m_aTone[p - kFirstTone] = Value(p);
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
    LV2_URID m_midiEvent;
    float* m_pOut = nullptr;
    const LV2_Atom_Sequence* m_pMidi = nullptr;
    std::array<const float*, kPortCount> m_apControl{};
    std::array<float, kToneEnd - kFirstTone> m_aTone{};
    std::array<float, 4> m_lastPointer{};
    std::array<double, 256> m_buffer{};
    EngineSettings m_settings;
    CEngine m_engine;
    bool m_bStarted = false;
};

LV2_Handle Instantiate(const LV2_Descriptor*, double dRate, const char*, const LV2_Feature* const* features) {
    if (!(dRate >= 8000.0 && dRate <= 384000.0)) return nullptr;
    // The MIDI port's event type comes from the host's URID map, which the plugin requires.
    const LV2_URID_Map* pMap = nullptr;
    for (int i = 0; features != nullptr && features[i] != nullptr; ++i) {
        if (std::strcmp(features[i]->URI, LV2_URID__map) == 0)
            pMap = static_cast<const LV2_URID_Map*>(features[i]->data);
    }
    if (pMap == nullptr) return nullptr;
    return new (std::nothrow) CPlugin(dRate, pMap->map(pMap->handle, LV2_MIDI__MidiEvent));
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
