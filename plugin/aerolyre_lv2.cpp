// The instrument as an LV2 plugin: the engine driven by a host. MIDI notes play it (one voice,
// last-note priority); the pointer (x, y, the two buttons) and the main dialog's tone settings
// are control ports a host can automate, and a move of the pointer's controls takes over from
// MIDI as the mouse would. The output is the program's own 16-bit samples as floats, at the
// host's rate.
//
// The filter stage follows the main dialog's filter settings (control ports) and two impulse
// responses, loaded by path (patch:Set of an atom:Path, as hosts' file choosers send it) on the
// host's worker thread and resampled there for the host's rate. The state keeps both filters'
// taps, so a project reopens as it was even when the files have moved.
//
// run() allocates nothing, takes no lock and makes no system call. A changed tone setting moves
// the engine's tone in place, so a note sounding through an automation ramp goes on; the filter
// volumes move in place too; a new filter stage is built on the worker and swapped in between
// blocks, and the ones it replaces are freed there. A port that is not a finite number keeps its
// last good value.
#include <lv2/atom/atom.h>
#include <lv2/atom/util.h>
#include <lv2/core/lv2.h>
#include <lv2/log/log.h>
#include <lv2/log/logger.h>
#include <lv2/midi/midi.h>
#include <lv2/patch/patch.h>
#include <lv2/state/state.h>
#include <lv2/urid/urid.h>
#include <lv2/worker/worker.h>

#include <algorithm>
#include <array>
#include <atomic>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <mutex>
#include <new>
#include <string>
#include <vector>

#include "engine/engine.h"
#include "engine/parameter_derivation.h"
#include "filter/fir_filter.h"
#include "platform/message_service.h"
#include "platform/sample_scale.h"
#include "plugin/plugin_filters.h"
#include "plugin/plugin_ports.h"

namespace {

constexpr char kUri[] = AEROLYRE_URI;
// The two impulse responses (parameters a host sets by path) and what the state keeps of them.
constexpr const char* kFilterUri[2] = {AEROLYRE_URI "#filter1", AEROLYRE_URI "#filter2"};
constexpr const char* kTapsUri[2] = {AEROLYRE_URI "#filter1_taps", AEROLYRE_URI "#filter2_taps"};
constexpr char kFilterSettingsUri[] = AEROLYRE_URI "#filter_settings";

// The host's URIDs the plugin speaks.
struct Urids {
    explicit Urids(const LV2_URID_Map& m) {
        const auto map = [&m](const char* uri) { return m.map(m.handle, uri); };
        midiEvent = map(LV2_MIDI__MidiEvent);
        atomObject = map(LV2_ATOM__Object);
        atomPath = map(LV2_ATOM__Path);
        atomUrid = map(LV2_ATOM__URID);
        atomChunk = map(LV2_ATOM__Chunk);
        atomVector = map(LV2_ATOM__Vector);
        atomInt = map(LV2_ATOM__Int);
        patchSet = map(LV2_PATCH__Set);
        patchProperty = map(LV2_PATCH__property);
        patchValue = map(LV2_PATCH__value);
        for (int i = 0; i < 2; ++i) {
            filter[i] = map(kFilterUri[i]);
            taps[i] = map(kTapsUri[i]);
        }
        filterSettings = map(kFilterSettingsUri);
    }
    LV2_URID midiEvent, atomObject, atomPath, atomUrid, atomChunk, atomVector, atomInt;
    LV2_URID patchSet, patchProperty, patchValue;
    LV2_URID filter[2], taps[2], filterSettings;
};

// What run() asks of the worker: load a filter and build a stage, build a stage, or free a list
// of retired ones. A load or build asked before the last state restore is dropped: the restored
// filters win.
struct WorkJob {
    enum class Kind : std::uint32_t { Load, Build, Free };
    Kind kind = Kind::Build;
    int nFilter = 0;
    std::uint32_t nGeneration = 0;
    PluginFilterSettings settings;
    CPluginStage* pFree = nullptr;
    char szPath[1024] = {};  // Load: the file, zero-terminated
};

// The worker's answer: a built stage for the audio thread, and the restore it was built after.
struct StageMessage {
    CPluginStage* pStage;
    std::uint32_t nGeneration;
};

// The filter settings as the state keeps them (whole numbers, as the program's filter dialog).
struct SettingsVector {
    LV2_Atom_Vector_Body body;
    std::int32_t values[5];
};

class CPlugin {
public:
    CPlugin(double dRate, const LV2_URID_Map& map, const LV2_Worker_Schedule& schedule,
            const LV2_Log_Log* pLog)
        : m_dRate(dRate), m_urids(map), m_schedule(schedule) {
        for (const PointerPort& p : kPointerPorts) m_afGood[p.nIndex] = static_cast<float>(p.dDefault);
        for (const ToneParameter& p : kToneParameters) {
            if (p.nPort >= 0) m_afGood[static_cast<std::size_t>(p.nPort)] = static_cast<float>(p.dDefault);
        }
        lv2_log_logger_init(&m_logger, const_cast<LV2_URID_Map*>(&map), const_cast<LV2_Log_Log*>(pLog));
        // The program's messages (a filter file refused, say) go to the host's log when it has one.
        if (pLog != nullptr) {
            m_logSink = [this](const std::string& strText, MessageIcon) {
                lv2_log_error(&m_logger, "%s\n", strText.c_str());
            };
        }
        PublishFilter(m_requestedFilter);
    }
    ~CPlugin() {
        delete m_pStage;
        FreeRetiredStages(m_pRetired);
    }
    CPlugin(const CPlugin&) = delete;
    CPlugin& operator=(const CPlugin&) = delete;

    void Connect(std::uint32_t nPort, void* p) {
        if (nPort == kPortOut) {
            m_pOut = static_cast<float*>(p);
        } else if (nPort == kPortMidiIn) {
            m_pMidi = static_cast<const LV2_Atom_Sequence*>(p);
        } else if (nPort < kPortCount) {
            m_apControl[nPort] = static_cast<const float*>(p);
        }
    }

    // The engine starts over only here: a port change later moves the tone in place.
    void Activate() { m_bStarted = false; }

    void Run(std::uint32_t nFrames) noexcept {
        ReadPorts();
        if (m_pRetired != nullptr && Schedule(WorkJob{WorkJob::Kind::Free, 0, 0, {}, m_pRetired, {}}))
            m_pRetired = nullptr;
        const PluginFilterSettings filter = FilterSettings();
        PublishFilter(filter);
        if (!filter.SameStage(m_requestedFilter) &&
            Schedule(WorkJob{WorkJob::Kind::Build, 0, Generation(), filter, nullptr, {}}))
            m_requestedFilter = filter;
        if (m_pStage != nullptr && filter != m_appliedFilter) ApplyVolumes(filter);
        if (m_pOut == nullptr) return;

        const ToneValues tone = ToneOfPorts();
        const bool bStart = !m_bStarted;
        if (bStart) {
            m_settings.params = DeriveTone(tone);
            m_settings.dRate = m_dRate;
            m_engine.Prepare(m_settings);
            m_bStarted = true;
        } else if (tone != m_tone) {
            m_engine.SetTone(DeriveTone(tone));
        }
        m_tone = tone;
        // The pointer's controls, when they moved (or the engine started).
        const std::array<float, 4> pointer = {Good(kPortX), Good(kPortY), Good(kPortLeft), Good(kPortRight)};
        if (bStart || pointer != m_lastPointer) {
            m_lastPointer = pointer;
            EngineEvent e;
            e.dX = std::clamp(static_cast<double>(pointer[0]), 0.0, 1.0);
            e.dY = std::clamp(static_cast<double>(pointer[1]), 0.0, 1.0);
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

    // The worker thread: loads and builds, or frees what the audio thread let go.
    LV2_Worker_Status Work(LV2_Worker_Respond_Function respond, LV2_Worker_Respond_Handle h,
                           std::uint32_t nSize, const void* pData) noexcept {
        if (nSize != sizeof(WorkJob)) return LV2_WORKER_ERR_UNKNOWN;
        WorkJob job;
        std::memcpy(&job, pData, sizeof job);
        if (job.kind == WorkJob::Kind::Free) {
            FreeRetiredStages(job.pFree);
            return LV2_WORKER_SUCCESS;
        }
        const CThreadMessageSink log(&m_logSink);
        try {
            std::unique_lock lock(m_tapsMutex);
            // Asked before a state restore: the restored filters stand.
            if (job.nGeneration != Generation()) return LV2_WORKER_SUCCESS;
            if (job.kind == WorkJob::Kind::Load) {
                job.szPath[sizeof job.szPath - 1] = '\0';
                // A file that does not load has shown its message; the filter stays as it was.
                if (!LoadPluginFilter(job.szPath, m_aTaps[job.nFilter])) return LV2_WORKER_ERR_UNKNOWN;
            }
            CPluginStage* pStage = BuildPluginStage(m_aTaps, job.settings, m_dRate).release();
            lock.unlock();
            if (pStage == nullptr) return LV2_WORKER_ERR_NO_SPACE;
            const StageMessage message{pStage, job.nGeneration};
            if (respond(h, sizeof message, &message) != LV2_WORKER_SUCCESS) {
                delete pStage;
                return LV2_WORKER_ERR_NO_SPACE;
            }
        } catch (const std::bad_alloc&) {
            return LV2_WORKER_ERR_NO_SPACE;
        }
        return LV2_WORKER_SUCCESS;
    }

    // Back on the audio thread, between blocks: the new stage plays, the old goes to be freed.
    LV2_Worker_Status WorkResponse(std::uint32_t nSize, const void* pBody) noexcept {
        if (nSize != sizeof(StageMessage)) return LV2_WORKER_ERR_UNKNOWN;
        StageMessage message{};
        std::memcpy(&message, pBody, sizeof message);
        // Built before a restore: freed, never played.
        if (message.nGeneration != Generation()) {
            Retire(message.pStage);
            return LV2_WORKER_SUCCESS;
        }
        Retire(Install(message.pStage));
        ApplyVolumes(m_lastFilter);
        return LV2_WORKER_SUCCESS;
    }

    LV2_State_Status Save(LV2_State_Store_Function store, LV2_State_Handle h,
                          const LV2_Feature* const* features) noexcept {
        const LV2_State_Map_Path* pMapPath = nullptr;
        const LV2_State_Free_Path* pFreePath = nullptr;
        for (int i = 0; features != nullptr && features[i] != nullptr; ++i) {
            if (std::strcmp(features[i]->URI, LV2_STATE__mapPath) == 0)
                pMapPath = static_cast<const LV2_State_Map_Path*>(features[i]->data);
            if (std::strcmp(features[i]->URI, LV2_STATE__freePath) == 0)
                pFreePath = static_cast<const LV2_State_Free_Path*>(features[i]->data);
        }
        try {
            std::lock_guard lock(m_tapsMutex);
            for (int i = 0; i < 2; ++i) {
                const PluginFilterTaps& f = m_aTaps[i];
                store(h, m_urids.taps[i], f.taps.data(), f.taps.size() * sizeof(float), m_urids.atomChunk,
                      LV2_STATE_IS_POD);
                if (f.strPath.empty()) continue;
                char* pszPath = pMapPath != nullptr
                                    ? pMapPath->abstract_path(pMapPath->handle, f.strPath.c_str())
                                    : nullptr;
                const char* psz = pszPath != nullptr ? pszPath : f.strPath.c_str();
                store(h, m_urids.filter[i], psz, std::strlen(psz) + 1, m_urids.atomPath, LV2_STATE_IS_POD);
                if (pszPath == nullptr) continue;
                if (pFreePath != nullptr) {
                    pFreePath->free_path(pFreePath->handle, pszPath);
                } else {
                    std::free(pszPath);
                }
            }
            // The settings the ports have now, not those of the last stage built.
            const PluginFilterSettings s = PublishedFilter();
            const SettingsVector v = {
                {sizeof(std::int32_t), m_urids.atomInt},
                {s.nOn, static_cast<std::int32_t>(std::lround(s.dInputVolume)),
                 static_cast<std::int32_t>(std::lround(s.dFilter2Volume)), s.nDelay, s.nFeedback}};
            store(h, m_urids.filterSettings, &v, sizeof v, m_urids.atomVector, LV2_STATE_IS_POD);
        } catch (const std::bad_alloc&) {
            return LV2_STATE_ERR_UNKNOWN;
        }
        return LV2_STATE_SUCCESS;
    }

    // Never while run() runs: the stage is built here and put in place at once, so the first block
    // after a restore already sounds through it. Loads still queued on the worker are dropped.
    LV2_State_Status Restore(LV2_State_Retrieve_Function retrieve, LV2_State_Handle h,
                             const LV2_Feature* const* features) noexcept {
        const LV2_State_Map_Path* pMapPath = nullptr;
        for (int i = 0; features != nullptr && features[i] != nullptr; ++i) {
            if (std::strcmp(features[i]->URI, LV2_STATE__mapPath) == 0)
                pMapPath = static_cast<const LV2_State_Map_Path*>(features[i]->data);
        }
        const CThreadMessageSink log(&m_logSink);
        try {
            std::unique_lock lock(m_tapsMutex);
            m_nGeneration.fetch_add(1, std::memory_order_acq_rel);
            for (int i = 0; i < 2; ++i) {
                std::size_t nSize = 0;
                std::uint32_t nType = 0, nFlags = 0;
                const void* p = retrieve(h, m_urids.taps[i], &nSize, &nType, &nFlags);
                PluginFilterTaps& f = m_aTaps[i];
                f = PluginFilterTaps{};
                // Damaged taps leave the identity, as a tone file's refused filter does.
                const bool bTaps = p != nullptr && nType == m_urids.atomChunk && nSize % sizeof(float) == 0 &&
                                   nSize > 0 && nSize <= kMaxFirTaps * sizeof(float);
                if (bTaps) {
                    f.taps.resize(nSize / sizeof(float));
                    std::memcpy(f.taps.data(), p, nSize);
                }
                const char* psz =
                    static_cast<const char*>(retrieve(h, m_urids.filter[i], &nSize, &nType, &nFlags));
                if (psz != nullptr && nType == m_urids.atomPath && nSize > 0 && psz[nSize - 1] == '\0') {
                    char* pszAbsolute =
                        pMapPath != nullptr ? pMapPath->absolute_path(pMapPath->handle, psz) : nullptr;
                    f.strPath = pszAbsolute != nullptr ? pszAbsolute : psz;
                    std::free(pszAbsolute);
                    // A preset names its filters' files and keeps no taps: read them from there.
                    if (!bTaps && !LoadPluginFilter(f.strPath, f)) f = PluginFilterTaps{};
                }
            }
            PluginFilterSettings s = PublishedFilter();
            std::size_t nSize = 0;
            std::uint32_t nType = 0, nFlags = 0;
            const void* p = retrieve(h, m_urids.filterSettings, &nSize, &nType, &nFlags);
            SettingsVector v{};
            if (p != nullptr && nType == m_urids.atomVector && nSize == sizeof v) {
                std::memcpy(&v, p, sizeof v);
                if (v.body.child_type == m_urids.atomInt && v.body.child_size == sizeof(std::int32_t))
                    s = FilterSettingsOf({static_cast<double>(v.values[0]), static_cast<double>(v.values[1]),
                                          static_cast<double>(v.values[2]), static_cast<double>(v.values[3]),
                                          static_cast<double>(v.values[4])});
            }
            CPluginStage* pStage = BuildPluginStage(m_aTaps, s, m_dRate).release();
            lock.unlock();
            if (pStage == nullptr) return LV2_STATE_ERR_UNKNOWN;
            delete Install(pStage);
            m_requestedFilter = s;
            m_appliedFilter = s;
            PublishFilter(s);
        } catch (const std::bad_alloc&) {
            return LV2_STATE_ERR_UNKNOWN;
        }
        return LV2_STATE_SUCCESS;
    }

private:
    bool Schedule(const WorkJob& job) noexcept {
        return m_schedule.schedule_work(m_schedule.handle, sizeof job, &job) == LV2_WORKER_SUCCESS;
    }
    std::uint32_t Generation() const { return m_nGeneration.load(std::memory_order_acquire); }

    // The stage plays from the next sample; returns the one it replaces.
    CPluginStage* Install(CPluginStage* pStage) noexcept {
        m_engine.UseFilter(&pStage->stage);
        CPluginStage* pOld = m_pStage;
        m_pStage = pStage;
        return pOld;
    }
    // Onto the list the next run() hands to the worker; however many come between two runs.
    void Retire(CPluginStage* pStage) noexcept {
        if (pStage == nullptr) return;
        pStage->pNextRetired = m_pRetired;
        m_pRetired = pStage;
    }
    void ApplyVolumes(const PluginFilterSettings& s) noexcept {
        if (m_pStage == nullptr) return;
        SetFirStageVolumes(m_pStage->stage, s.dInputVolume, s.dFilter2Volume);
        m_appliedFilter = s;
    }

    void Receive(const LV2_Atom_Event& ev) noexcept {
        if (ev.body.type == m_urids.atomObject) {
            ReceivePatch(reinterpret_cast<const LV2_Atom_Object*>(&ev.body));
            return;
        }
        if (ev.body.type != m_urids.midiEvent || ev.body.size < 1 || ev.body.size > 3) return;
        EngineEvent e;
        e.kind = EngineEvent::Kind::Midi;
        e.nMidiSize = static_cast<std::uint8_t>(ev.body.size);
        const auto* pBytes = reinterpret_cast<const std::uint8_t*>(&ev + 1);
        for (std::uint32_t k = 0; k < ev.body.size; ++k) e.midi[k] = pBytes[k];
        m_engine.Apply(e);
    }

    // A host's file choice: patch:Set of filter 1 or 2 to an atom:Path.
    void ReceivePatch(const LV2_Atom_Object* pObject) noexcept {
        if (pObject->body.otype != m_urids.patchSet) return;
        const LV2_Atom* pProperty = nullptr;
        const LV2_Atom* pValue = nullptr;
        lv2_atom_object_get(pObject, m_urids.patchProperty, &pProperty, m_urids.patchValue, &pValue, 0);
        if (pProperty == nullptr || pProperty->type != m_urids.atomUrid || pValue == nullptr ||
            pValue->type != m_urids.atomPath)
            return;
        const LV2_URID property = reinterpret_cast<const LV2_Atom_URID*>(pProperty)->body;
        WorkJob job;
        job.kind = WorkJob::Kind::Load;
        job.nGeneration = Generation();
        job.nFilter = property == m_urids.filter[0] ? 0 : property == m_urids.filter[1] ? 1 : -1;
        if (job.nFilter < 0 || pValue->size == 0 || pValue->size > sizeof job.szPath) return;
        std::memcpy(job.szPath, pValue + 1, pValue->size);
        job.settings = FilterSettings();
        if (Schedule(job)) m_requestedFilter = job.settings;
    }

    // Every control port once a block: a finite value becomes the port's good value; anything else
    // leaves the last one (at first the port's default).
    void ReadPorts() noexcept {
        for (std::uint32_t p = 0; p < kPortCount; ++p) {
            if (m_apControl[p] != nullptr && std::isfinite(*m_apControl[p])) m_afGood[p] = *m_apControl[p];
        }
    }
    float Good(std::uint32_t nPort) const { return m_afGood[nPort]; }

    // The tone as the ports give it, each value in its row's range; the rest at their defaults.
    ToneValues ToneOfPorts() const {
        ToneValues v = DefaultToneValues();
        for (const ToneParameter& p : kToneParameters) {
            if (p.nPort >= 0 && p.pfnDerive != nullptr)
                ValueOf(v, p.id) = ToneValueInRange(p, Good(static_cast<std::uint32_t>(p.nPort)), p.dDefault);
        }
        return v;
    }

    // The filter settings from five values (ports or the state), each in its row's range.
    static PluginFilterSettings FilterSettingsOf(const std::array<double, 5>& a) {
        constexpr ToneParam kRows[5] = {ToneParam::FirOn, ToneParam::FirInputVolume,
                                        ToneParam::FirFilter2Volume, ToneParam::FirDelay,
                                        ToneParam::FirFeedback};
        std::array<double, 5> v{};
        for (int i = 0; i < 5; ++i) {
            const ToneParameter& p = ToneParameterOf(kRows[i]);
            v[i] = ToneValueInRange(p, a[i], p.dDefault);
        }
        return {static_cast<int>(v[0]), v[1], v[2], static_cast<int>(v[3]), static_cast<int>(v[4])};
    }
    PluginFilterSettings FilterSettings() const {
        const auto port = [this](ToneParam id) {
            return static_cast<double>(Good(static_cast<std::uint32_t>(ToneParameterOf(id).nPort)));
        };
        return FilterSettingsOf({port(ToneParam::FirOn), port(ToneParam::FirInputVolume),
                                 port(ToneParam::FirFilter2Volume), port(ToneParam::FirDelay),
                                 port(ToneParam::FirFeedback)});
    }

    // The ports' filter settings for a state save on another thread.
    void PublishFilter(const PluginFilterSettings& s) noexcept {
        m_lastFilter = s;
        m_nPublishedOn.store(s.nOn, std::memory_order_relaxed);
        m_dPublishedInput.store(s.dInputVolume, std::memory_order_relaxed);
        m_dPublishedFilter2.store(s.dFilter2Volume, std::memory_order_relaxed);
        m_nPublishedDelay.store(s.nDelay, std::memory_order_relaxed);
        m_nPublishedFeedback.store(s.nFeedback, std::memory_order_relaxed);
    }
    PluginFilterSettings PublishedFilter() const {
        return {m_nPublishedOn.load(std::memory_order_relaxed),
                m_dPublishedInput.load(std::memory_order_relaxed),
                m_dPublishedFilter2.load(std::memory_order_relaxed),
                m_nPublishedDelay.load(std::memory_order_relaxed),
                m_nPublishedFeedback.load(std::memory_order_relaxed)};
    }

    double m_dRate;
    Urids m_urids;
    LV2_Worker_Schedule m_schedule;
    LV2_Log_Logger m_logger{};
    MessageSink m_logSink;
    float* m_pOut = nullptr;
    const LV2_Atom_Sequence* m_pMidi = nullptr;
    std::array<const float*, kPortCount> m_apControl{};
    std::array<float, kPortCount> m_afGood{};
    ToneValues m_tone{};
    std::array<float, 4> m_lastPointer{};
    std::array<double, 256> m_buffer{};
    EngineSettings m_settings;
    CEngine m_engine;
    bool m_bStarted = false;
    // The stage playing (the audio thread's), those waiting to be freed, the filter settings last
    // asked of the worker, those the stage's volumes have and those the ports last gave.
    CPluginStage* m_pStage = nullptr;
    CPluginStage* m_pRetired = nullptr;
    PluginFilterSettings m_requestedFilter;
    PluginFilterSettings m_appliedFilter;
    PluginFilterSettings m_lastFilter;
    std::atomic<int> m_nPublishedOn{};
    std::atomic<double> m_dPublishedInput{};
    std::atomic<double> m_dPublishedFilter2{};
    std::atomic<int> m_nPublishedDelay{};
    std::atomic<int> m_nPublishedFeedback{};
    // Counts state restores; work asked before the last one is dropped.
    std::atomic<std::uint32_t> m_nGeneration{0};
    // The taps as loaded, shared by the worker, save and restore (never the audio thread).
    std::mutex m_tapsMutex;
    PluginFilterTaps m_aTaps[2];
};

template <typename T>
const T* FeatureData(const LV2_Feature* const* features, const char* pszUri) {
    for (int i = 0; features != nullptr && features[i] != nullptr; ++i) {
        if (std::strcmp(features[i]->URI, pszUri) == 0) return static_cast<const T*>(features[i]->data);
    }
    return nullptr;
}

LV2_Handle Instantiate(const LV2_Descriptor*, double dRate, const char*, const LV2_Feature* const* features) {
    if (!(dRate >= 8000.0 && dRate <= 384000.0)) return nullptr;
    // The URID map names the ports' event types; the worker loads and builds filters.
    const auto* pMap = FeatureData<LV2_URID_Map>(features, LV2_URID__map);
    const auto* pSchedule = FeatureData<LV2_Worker_Schedule>(features, LV2_WORKER__schedule);
    if (pMap == nullptr || pSchedule == nullptr) return nullptr;
    return new (std::nothrow)
        CPlugin(dRate, *pMap, *pSchedule, FeatureData<LV2_Log_Log>(features, LV2_LOG__log));
}

CPlugin* Of(LV2_Handle h) { return static_cast<CPlugin*>(h); }
void ConnectPort(LV2_Handle h, std::uint32_t nPort, void* p) { Of(h)->Connect(nPort, p); }
void Activate(LV2_Handle h) { Of(h)->Activate(); }
void Run(LV2_Handle h, std::uint32_t nFrames) { Of(h)->Run(nFrames); }
void Cleanup(LV2_Handle h) { delete Of(h); }

LV2_Worker_Status Work(LV2_Handle h, LV2_Worker_Respond_Function respond, LV2_Worker_Respond_Handle rh,
                       std::uint32_t nSize, const void* pData) {
    return Of(h)->Work(respond, rh, nSize, pData);
}
LV2_Worker_Status WorkResponse(LV2_Handle h, std::uint32_t nSize, const void* pBody) {
    return Of(h)->WorkResponse(nSize, pBody);
}
LV2_State_Status Save(LV2_Handle h, LV2_State_Store_Function store, LV2_State_Handle sh, std::uint32_t,
                      const LV2_Feature* const* features) {
    return Of(h)->Save(store, sh, features);
}
LV2_State_Status Restore(LV2_Handle h, LV2_State_Retrieve_Function retrieve, LV2_State_Handle sh,
                         std::uint32_t, const LV2_Feature* const* features) {
    return Of(h)->Restore(retrieve, sh, features);
}

const LV2_Worker_Interface kWorker = {Work, WorkResponse, nullptr};
const LV2_State_Interface kState = {Save, Restore};

const void* ExtensionData(const char* pszUri) {
    if (std::strcmp(pszUri, LV2_WORKER__interface) == 0) return &kWorker;
    if (std::strcmp(pszUri, LV2_STATE__interface) == 0) return &kState;
    return nullptr;
}

const LV2_Descriptor kDescriptor = {kUri, Instantiate, ConnectPort, Activate,
                                    Run,  nullptr,     Cleanup,     ExtensionData};

}  // namespace

extern "C" LV2_SYMBOL_EXPORT const LV2_Descriptor* lv2_descriptor(std::uint32_t nIndex) {
    return nIndex == 0 ? &kDescriptor : nullptr;
}
