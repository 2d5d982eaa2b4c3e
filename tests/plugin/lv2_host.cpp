// A small LV2 host on lilv, for the plugin's tests: loads the bundle as hosts do, sets control
// ports, runs blocks of 64 frames and writes the output as a 16-bit WAV; prints the mean
// frequency of the output's third quarter (from its rising zero crossings).
//
//   lv2_host URI RATE SECONDS OUT.wav [symbol=value ...] [note=N] [file1=WAV] [file2=WAV]
//     runs one instance; note=N sends a Note On for N (velocity 127) at the first frame and its
//     Note Off at three quarters of the run; fileN sends a patch:Set of filter N's impulse response
//     to that path with the first block (the worker loads it between blocks, as a host's does)
// Every run() is watched by an allocation guard (this program's operator new, which the plugin's
// calls reach too): an allocation inside one fails the run.
//
//   lv2_host URI RATE SECONDS OUT.wav --pair [symbol=value ...]
//     also runs a second instance with other settings, block for block between the first's
//     blocks, and fails (exit 1) unless the first's output equals a run of its own
//
//   lv2_host URI RATE 0 - sweep=1
//     steps, ramps and sets to NaN every control port over a held MIDI note and reports what each
//     did to it (SweepPorts)
//
//   lv2_host URI RATE SECONDS OUT.wav --preset PRESET-URI [symbol=value ...]
//     loads the preset into the instance first; the values given then stand over it
//
//   lv2_host URI RATE 0 - orders=1 file1=WAV
//     forces the worker's risky orders (ForceWorkerOrders)
//
//   lv2_host URI RATE SECONDS OUT.wav --state STATE.ttl [symbol=value ...] [fileN=WAV]
//     runs the instance a tenth of the time, saves its state (ports and the plugin's own) as
//     Turtle to STATE.ttl, restores that text into two fresh instances and runs each the whole
//     time; OUT.wav is the first restored instance's output, and the host fails unless the second
//     renders the same
#include <lilv/lilv.h>
#include <lv2/atom/atom.h>
#include <lv2/atom/util.h>
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
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <map>
#include <new>
#include <string>
#include <vector>

#include "tests/support/held_harm.h"
#include "tests/support/pitch.h"

namespace {

std::atomic<bool> g_bInRun{false};
std::atomic<int> g_nAllocationsInRun{0};
std::atomic<long> g_nLive{0};  // blocks from operator new not yet deleted

}  // namespace

void* operator new(std::size_t n) {
    if (g_bInRun.load(std::memory_order_relaxed)) g_nAllocationsInRun.fetch_add(1);
    if (void* p = std::malloc(n == 0 ? 1 : n)) {
        g_nLive.fetch_add(1, std::memory_order_relaxed);
        return p;
    }
    throw std::bad_alloc();
}
void* operator new[](std::size_t n) { return operator new(n); }
void* operator new(std::size_t n, const std::nothrow_t&) noexcept {
    if (g_bInRun.load(std::memory_order_relaxed)) g_nAllocationsInRun.fetch_add(1);
    void* p = std::malloc(n == 0 ? 1 : n);
    if (p != nullptr) g_nLive.fetch_add(1, std::memory_order_relaxed);
    return p;
}
void* operator new[](std::size_t n, const std::nothrow_t& t) noexcept { return operator new(n, t); }
void operator delete(void* p) noexcept {
    if (p != nullptr) g_nLive.fetch_sub(1, std::memory_order_relaxed);
    std::free(p);
}
void operator delete[](void* p) noexcept { operator delete(p); }
void operator delete(void* p, std::size_t) noexcept { operator delete(p); }
void operator delete[](void* p, std::size_t) noexcept { operator delete(p); }

namespace {

constexpr std::uint32_t kBlock = 64;
constexpr std::uint32_t kAtomCapacity = 4096;

// The host's URID map: URIs numbered in the order first asked for.
std::map<std::string, LV2_URID> g_urids;
LV2_URID MapUri(LV2_URID_Map_Handle, const char* uri) {
    const auto it = g_urids.find(uri);
    if (it != g_urids.end()) return it->second;
    const auto id = static_cast<LV2_URID>(g_urids.size() + 1);
    g_urids[uri] = id;
    return id;
}
const char* UnmapUri(LV2_URID_Unmap_Handle, LV2_URID id) {
    for (const auto& [uri, n] : g_urids) {
        if (n == id) return uri.c_str();
    }
    return nullptr;
}
LV2_URID_Map g_map = {nullptr, MapUri};
LV2_URID_Unmap g_unmap = {nullptr, UnmapUri};
const LV2_Feature g_mapFeature = {LV2_URID__map, &g_map};
const LV2_Feature g_unmapFeature = {LV2_URID__unmap, &g_unmap};

// A worker as hosts run one, minus the thread: run() queues jobs into fixed slots (no
// allocation of the host's inside run()), the host does them after run() returns, and hands their
// responses back before the next run().
struct Worker {
    struct Slot {
        std::uint32_t nSize = 0;
        alignas(8) std::array<std::uint8_t, 2048> bytes{};
    };
    std::array<Slot, 16> jobs, responses;
    std::size_t nJobs = 0, nResponses = 0;
    LV2_Handle handle = nullptr;
    const LV2_Worker_Interface* pInterface = nullptr;

    static bool Put(std::array<Slot, 16>& slots, std::size_t& n, std::uint32_t nSize, const void* p) {
        if (n == slots.size() || nSize > slots[n].bytes.size()) return false;
        slots[n].nSize = nSize;
        std::memcpy(slots[n].bytes.data(), p, nSize);
        ++n;
        return true;
    }
    static LV2_Worker_Status Schedule(LV2_Worker_Schedule_Handle h, std::uint32_t nSize, const void* p) {
        auto* w = static_cast<Worker*>(h);
        return Put(w->jobs, w->nJobs, nSize, p) ? LV2_WORKER_SUCCESS : LV2_WORKER_ERR_NO_SPACE;
    }
    static LV2_Worker_Status Respond(LV2_Worker_Respond_Handle h, std::uint32_t nSize, const void* p) {
        auto* w = static_cast<Worker*>(h);
        return Put(w->responses, w->nResponses, nSize, p) ? LV2_WORKER_SUCCESS : LV2_WORKER_ERR_NO_SPACE;
    }
    // After run(): the jobs, as the worker thread would.
    void DoJobs() {
        for (std::size_t i = 0; i < nJobs; ++i)
            pInterface->work(handle, Respond, this, jobs[i].nSize, jobs[i].bytes.data());
        nJobs = 0;
    }
    // Before run(), in its context: the responses.
    void DeliverResponses() {
        for (std::size_t i = 0; i < nResponses; ++i)
            pInterface->work_response(handle, responses[i].nSize, responses[i].bytes.data());
        nResponses = 0;
    }
};

// One block's MIDI: a sequence of at most one three-byte message.
struct MidiBuffer {
    alignas(8) std::uint8_t bytes[kAtomCapacity];
    LV2_Atom_Sequence* Sequence() { return reinterpret_cast<LV2_Atom_Sequence*>(bytes); }
    void Clear() {
        Sequence()->atom.type = MapUri(nullptr, LV2_ATOM__Sequence);
        lv2_atom_sequence_clear(Sequence());
    }
    // A host's file choice: patch:Set of the property to an atom:Path.
    void AddPath(const char* pszProperty, const std::string& strPath) {
        alignas(8) std::uint8_t body[1200] = {};
        auto* ev = reinterpret_cast<LV2_Atom_Event*>(body);
        auto* obj = reinterpret_cast<LV2_Atom_Object*>(&ev->body);
        obj->atom.type = MapUri(nullptr, LV2_ATOM__Object);
        obj->body.id = 0;
        obj->body.otype = MapUri(nullptr, LV2_PATCH__Set);
        auto* prop = reinterpret_cast<LV2_Atom_Property_Body*>(obj + 1);
        prop->key = MapUri(nullptr, LV2_PATCH__property);
        prop->value.type = MapUri(nullptr, LV2_ATOM__URID);
        prop->value.size = sizeof(LV2_URID);
        *reinterpret_cast<LV2_URID*>(prop + 1) = MapUri(nullptr, pszProperty);
        auto* value =
            reinterpret_cast<LV2_Atom_Property_Body*>(reinterpret_cast<std::uint8_t*>(prop + 1) + 8);
        value->key = MapUri(nullptr, LV2_PATCH__value);
        value->value.type = MapUri(nullptr, LV2_ATOM__Path);
        value->value.size = static_cast<std::uint32_t>(strPath.size() + 1);
        std::memcpy(value + 1, strPath.c_str(), strPath.size() + 1);
        obj->atom.size =
            static_cast<std::uint32_t>(sizeof(LV2_Atom_Object_Body) + sizeof(LV2_Atom_Property_Body) + 8 +
                                       sizeof(LV2_Atom_Property_Body) + lv2_atom_pad_size(value->value.size));
        lv2_atom_sequence_append_event(Sequence(), kAtomCapacity - sizeof(LV2_Atom), ev);
    }
    void Add(std::uint32_t nFrame, std::uint8_t a, std::uint8_t b, std::uint8_t c) {
        struct {
            LV2_Atom_Event event;
            std::uint8_t msg[3];
        } e{};
        e.event.time.frames = nFrame;
        e.event.body.size = 3;
        e.event.body.type = MapUri(nullptr, LV2_MIDI__MidiEvent);
        e.msg[0] = a, e.msg[1] = b, e.msg[2] = c;
        lv2_atom_sequence_append_event(Sequence(), kAtomCapacity - sizeof(LV2_Atom), &e.event);
    }
};

struct Instance {
    LilvInstance* pInstance = nullptr;
    MidiBuffer midi;
    std::vector<float> controls;
    std::vector<std::string> symbols;
    std::vector<float> out = std::vector<float>(kBlock);
    Worker worker;
    LV2_Worker_Schedule schedule = {&worker, Worker::Schedule};
    LV2_Feature scheduleFeature = {LV2_WORKER__schedule, &schedule};
    const LV2_Feature* features[4] = {&g_mapFeature, &g_unmapFeature, &scheduleFeature, nullptr};
};

// One block as a host runs it: the worker's responses and run() under the allocation guard, then
// the worker's jobs.
void RunGuarded(Instance& inst) {
    g_bInRun.store(true);
    inst.worker.DeliverResponses();
    lilv_instance_run(inst.pInstance, kBlock);
    g_bInRun.store(false);
    inst.worker.DoJobs();
}

bool Start(LilvWorld* world, const LilvPlugin* plugin, double dRate,
           const std::map<std::string, float>& values, Instance& inst) {
    inst.pInstance = lilv_plugin_instantiate(plugin, dRate, inst.features);
    if (inst.pInstance == nullptr) return false;
    inst.worker.handle = lilv_instance_get_handle(inst.pInstance);
    inst.worker.pInterface = static_cast<const LV2_Worker_Interface*>(
        lilv_instance_get_extension_data(inst.pInstance, LV2_WORKER__interface));
    if (inst.worker.pInterface == nullptr) return false;
    const std::uint32_t nPorts = lilv_plugin_get_num_ports(plugin);
    inst.controls.assign(nPorts, 0.0f);
    inst.symbols.assign(nPorts, "");
    std::vector<float> defaults(nPorts);
    lilv_plugin_get_port_ranges_float(plugin, nullptr, nullptr, defaults.data());
    LilvNode* audio = lilv_new_uri(world, LV2_CORE__AudioPort);
    LilvNode* atom = lilv_new_uri(world, LV2_ATOM__AtomPort);
    inst.midi.Clear();
    for (std::uint32_t i = 0; i < nPorts; ++i) {
        const LilvPort* port = lilv_plugin_get_port_by_index(plugin, i);
        if (lilv_port_is_a(plugin, port, audio)) {
            lilv_instance_connect_port(inst.pInstance, i, inst.out.data());
            continue;
        }
        if (lilv_port_is_a(plugin, port, atom)) {
            lilv_instance_connect_port(inst.pInstance, i, inst.midi.Sequence());
            continue;
        }
        const std::string symbol = lilv_node_as_string(lilv_port_get_symbol(plugin, port));
        inst.symbols[i] = symbol;
        const auto it = values.find(symbol);
        inst.controls[i] = it != values.end() ? it->second : defaults[i];
        lilv_instance_connect_port(inst.pInstance, i, &inst.controls[i]);
    }
    lilv_node_free(audio);
    lilv_node_free(atom);
    lilv_instance_activate(inst.pInstance);
    return true;
}

void Stop(Instance& inst) {
    lilv_instance_deactivate(inst.pInstance);
    lilv_instance_free(inst.pInstance);
}

bool WriteWav(const char* path, const std::vector<std::int16_t>& s, std::uint32_t nRate) {
    std::FILE* f = std::fopen(path, "wb");
    if (f == nullptr) return false;
    const std::uint32_t nData = static_cast<std::uint32_t>(2 * s.size());
    auto u32 = [f](std::uint32_t v) { std::fwrite(&v, 4, 1, f); };
    auto u16 = [f](std::uint16_t v) { std::fwrite(&v, 2, 1, f); };
    std::fwrite("RIFF", 1, 4, f);
    u32(36 + nData);
    std::fwrite("WAVEfmt ", 1, 8, f);
    u32(16), u16(1), u16(1), u32(nRate), u32(2 * nRate), u16(2), u16(16);
    std::fwrite("data", 1, 4, f);
    u32(nData);
    std::fwrite(s.data(), 2, s.size(), f);
    return std::fclose(f) == 0;
}

void Append(const Instance& inst, std::vector<std::int16_t>& s) {
    // The plugin's samples are 16-bit values over 32768: exact in a float.
    for (float v : inst.out) s.push_back(static_cast<std::int16_t>(std::lround(v * 32768.0f)));
}

// The state's port values, as a host stores and restores them.
const void* PortValue(const char* pszSymbol, void* pUser, std::uint32_t* pSize, std::uint32_t* pType) {
    auto* inst = static_cast<Instance*>(pUser);
    for (std::size_t i = 0; i < inst->symbols.size(); ++i) {
        if (inst->symbols[i] != pszSymbol) continue;
        *pSize = sizeof(float);
        *pType = MapUri(nullptr, LV2_ATOM__Float);
        return &inst->controls[i];
    }
    return nullptr;
}
void SetPortValue(const char* pszSymbol, void* pUser, const void* pValue, std::uint32_t nSize,
                  std::uint32_t nType) {
    auto* inst = static_cast<Instance*>(pUser);
    if (nSize != sizeof(float) || nType != MapUri(nullptr, LV2_ATOM__Float)) return;
    for (std::size_t i = 0; i < inst->symbols.size(); ++i) {
        if (inst->symbols[i] == pszSymbol) std::memcpy(&inst->controls[i], pValue, sizeof(float));
    }
}

// A fresh instance restored from the state's Turtle, run for nFrames.
bool RunRestored(LilvWorld* world, const LilvPlugin* plugin, double dRate, const std::string& strState,
                 std::uint32_t nFrames, std::vector<std::int16_t>& out) {
    Instance inst;
    if (!Start(world, plugin, dRate, {}, inst)) return false;
    LilvState* state = lilv_state_new_from_string(world, &g_map, strState.c_str());
    if (state == nullptr) return false;
    lilv_state_restore(state, inst.pInstance, SetPortValue, &inst, 0, inst.features);
    lilv_state_free(state);
    for (std::uint32_t n = 0; n < nFrames; n += kBlock) {
        inst.midi.Clear();
        RunGuarded(inst);
        Append(inst, out);
    }
    out.resize(nFrames);
    Stop(inst);
    return true;
}

// What a port change does to a held note: samples in silent runs of 1 ms or more, 10 ms frames
// 12 dB under both neighbours, and the pitch's distance from the note, over the note's held part.
struct Harm {
    int nSilent = 0;
    int nDips = 0;
    double dCents = 0.0;
};
Harm Measure(const std::vector<std::int16_t>& s, double dRate, double dHz) {
    const HeldHarm held = MeasureHeldHarm(s, static_cast<std::size_t>(0.1 * dRate), s.size(), dRate);
    return {held.nSilent, held.nDips,
            1200 * std::log2(MeasureHz(s, s.size() / 6 * 5, s.size(), dRate) / dHz)};
}

// Every control port in turn over a held C4 (MIDI): a step of one unit at 0.5 s, a ramp over a
// quarter of its range and back from 0.5 s to 1.3 s, and NaN for a quarter second; then the pointer's y
// port NaN and +inf while nothing plays. Prints a line per port and change; fails on any harm.
int SweepPorts(LilvWorld* world, const LilvPlugin* plugin, double dRate) {
    const std::uint32_t nFrames = static_cast<std::uint32_t>(1.5 * dRate) / kBlock * kBlock;
    const std::uint32_t nAt = static_cast<std::uint32_t>(0.5 * dRate) / kBlock * kBlock;
    const std::uint32_t nPorts = lilv_plugin_get_num_ports(plugin);
    std::vector<float> mins(nPorts), maxs(nPorts), defaults(nPorts);
    lilv_plugin_get_port_ranges_float(plugin, mins.data(), maxs.data(), defaults.data());
    int nFailed = 0;
    const char* kChanges[] = {"step", "ramp", "NaN"};
    for (std::uint32_t port = 5; port < nPorts; ++port) {
        if (std::isnan(defaults[port])) continue;  // not a control port
        for (int c = 0; c < 3; ++c) {
            Instance inst;
            if (!Start(world, plugin, dRate, {}, inst)) return 1;
            const float fFrom = defaults[port];
            const float fStep = fFrom + 1 <= maxs[port] ? fFrom + 1 : fFrom - 1;
            std::vector<std::int16_t> out;
            for (std::uint32_t n = 0; n < nFrames; n += kBlock) {
                inst.midi.Clear();
                if (n == 0) inst.midi.Add(0, 0x90, 60, 100);
                // Up over 0.4 s and back down, so the pitch is measured at the port's default again.
                const float u = (static_cast<float>(n) - nAt) / (0.8f * static_cast<float>(nAt));
                const float t = std::clamp(u < 1 ? u : 2 - u, 0.0f, 1.0f);
                if (c == 0 && n >= nAt) inst.controls[port] = fStep;
                if (c == 1) inst.controls[port] = fFrom + t * (maxs[port] - mins[port]) / 4;
                if (c == 2) inst.controls[port] = n >= nAt && n < nAt + nAt / 2 ? NAN : fFrom;
                RunGuarded(inst);
                Append(inst, out);
            }
            Stop(inst);
            const Harm h = Measure(out, dRate, 261.6255653);
            const bool bBad = h.nSilent > 0 || h.nDips > 0 || !(std::fabs(h.dCents) < 5);
            nFailed += bBad;
            std::printf("%-20s %-4s silent %6d, dips %d, pitch %+.2f cents%s\n", inst.symbols[port].c_str(),
                        kChanges[c], h.nSilent, h.nDips, h.dCents, bBad ? "  FAIL" : "");
        }
    }
    // y not finite while the pointer rests silent: still silent.
    for (const float fY : {NAN, INFINITY}) {
        Instance inst;
        if (!Start(world, plugin, dRate, {{"x", 0.5f}, {"y", 1.0f}}, inst)) return 1;
        int nPeak = 0;
        for (std::uint32_t n = 0; n < nFrames / 2; n += kBlock) {
            inst.midi.Clear();
            inst.controls[2] = n >= kBlock ? fY : 1.0f;
            RunGuarded(inst);
            for (float v : inst.out) nPeak = std::max(nPeak, static_cast<int>(std::fabs(v) * 32768));
        }
        Stop(inst);
        std::printf("y %-18g peak %d%s\n", fY, nPeak, nPeak != 0 ? "  FAIL" : "");
        nFailed += nPeak != 0;
    }
    return nFailed == 0 ? 0 : 1;
}

// The worker's two risky orders, forced: a worker that stalls while run() asks for twelve stages,
// then hands all twelve back before one run() (every stage it replaced must be freed), and a file
// load still queued when a state is restored (the restored filters must win).
int ForceWorkerOrders(LilvWorld* world, const LilvPlugin* plugin, double dRate, const std::string& strFile) {
    long nLeft = 0;
    // Twice: the first pass maps the URIs the host keeps for good.
    for (int nPass = 0; nPass < 2; ++nPass) {
        const long nLiveBefore = g_nLive.load();
        {
            Instance inst;
            if (!Start(world, plugin, dRate, {{"filter", 1.0f}}, inst)) return 1;
            for (std::uint32_t k = 0; k < 12; ++k) {
                inst.midi.Clear();
                for (std::size_t i = 0; i < inst.symbols.size(); ++i) {
                    if (inst.symbols[i] == "filter_delay") inst.controls[i] = static_cast<float>(2 + k);
                }
                lilv_instance_run(inst.pInstance, kBlock);  // the worker does nothing meanwhile
            }
            inst.worker.DoJobs();
            for (int k = 0; k < 4; ++k) RunGuarded(inst);
            Stop(inst);
        }
        nLeft = g_nLive.load() - nLiveBefore;
    }
    std::printf("a stalled worker's twelve stages: %ld blocks left after cleanup\n", nLeft);

    // The state to restore: the filter on, its taps the identity.
    Instance saved;
    if (!Start(world, plugin, dRate, {{"filter", 1.0f}, {"x", 0.375f}, {"y", 0.25f}}, saved)) return 1;
    RunGuarded(saved);
    LilvState* state =
        lilv_state_new_from_instance(plugin, saved.pInstance, &g_map, nullptr, nullptr, nullptr, nullptr,
                                     PortValue, &saved, LV2_STATE_IS_POD, saved.features);
    Stop(saved);
    // A block, the restore, the worker's jobs, a second of play; with or without a load queued first.
    const auto play = [&](bool bLoad, std::vector<std::int16_t>& out) {
        Instance inst;
        if (!Start(world, plugin, dRate, {}, inst)) return false;
        inst.midi.Clear();
        if (bLoad) inst.midi.AddPath("https://aerolyre.org/plugins/aerolyre#filter1", strFile);
        lilv_instance_run(inst.pInstance, kBlock);
        lilv_state_restore(state, inst.pInstance, SetPortValue, &inst, 0, inst.features);
        inst.worker.DoJobs();
        for (std::uint32_t n = 0; n < static_cast<std::uint32_t>(dRate); n += kBlock) {
            inst.midi.Clear();
            RunGuarded(inst);
            Append(inst, out);
        }
        Stop(inst);
        return true;
    };
    std::vector<std::int16_t> expected, got;
    if (!play(false, expected) || !play(true, got)) return 1;
    lilv_state_free(state);
    std::printf("a load queued before a restore: %s\n",
                got == expected ? "the restored filters play" : "the load won");
    return nLeft == 0 && got == expected ? 0 : 1;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 5) {
        std::fprintf(stderr, "usage: lv2_host URI RATE SECONDS OUT.wav [--pair] [symbol=value ...]\n");
        return 2;
    }
    const double dRate = std::atof(argv[2]);
    const auto nFrames = static_cast<std::uint32_t>(std::atof(argv[3]) * dRate);
    bool bPair = false;
    const char* pszState = nullptr;
    const char* pszPreset = nullptr;
    int nNote = -1;
    std::string astrFile[2];
    std::map<std::string, float> values;
    for (int i = 5; i < argc; ++i) {
        if (std::strcmp(argv[i], "--pair") == 0) {
            bPair = true;
            continue;
        }
        if (std::strcmp(argv[i], "--state") == 0 && i + 1 < argc) {
            pszState = argv[++i];
            continue;
        }
        if (std::strcmp(argv[i], "--preset") == 0 && i + 1 < argc) {
            pszPreset = argv[++i];
            continue;
        }
        const char* eq = std::strchr(argv[i], '=');
        if (eq == nullptr) return 2;
        if (std::strncmp(argv[i], "note=", 5) == 0) {
            nNote = std::atoi(eq + 1);
            continue;
        }
        if (std::strncmp(argv[i], "file1=", 6) == 0 || std::strncmp(argv[i], "file2=", 6) == 0) {
            astrFile[argv[i][4] - '1'] = eq + 1;
            continue;
        }
        values[std::string(argv[i], static_cast<std::size_t>(eq - argv[i]))] =
            static_cast<float>(std::atof(eq + 1));
    }

    LilvWorld* world = lilv_world_new();
    lilv_world_load_all(world);
    LilvNode* uri = lilv_new_uri(world, argv[1]);
    const LilvPlugin* plugin = lilv_plugins_get_by_uri(lilv_world_get_all_plugins(world), uri);
    if (plugin == nullptr) {
        std::fprintf(stderr, "lv2_host: no plugin %s on LV2_PATH\n", argv[1]);
        return 1;
    }
    if (values.count("sweep") != 0) return SweepPorts(world, plugin, dRate);
    if (!astrFile[0].empty() && values.count("orders") != 0)
        return ForceWorkerOrders(world, plugin, dRate, astrFile[0]);
    Instance a, b;
    std::map<std::string, float> other = {{"x", 0.8f}, {"y", 0.0f}, {"mod_ratio", 3.0f}, {"overcycle", 3.0f}};
    if (!Start(world, plugin, dRate, values, a) || (bPair && !Start(world, plugin, dRate, other, b))) {
        std::fprintf(stderr, "lv2_host: the plugin did not instantiate at %g Hz\n", dRate);
        return 1;
    }
    // A preset as hosts load one; the pointer values given on the command line then stand.
    if (pszPreset != nullptr) {
        LilvNode* preset = lilv_new_uri(world, pszPreset);
        lilv_world_load_resource(world, preset);
        LilvState* state = lilv_state_new_from_world(world, &g_map, preset);
        lilv_node_free(preset);
        if (state == nullptr) {
            std::fprintf(stderr, "lv2_host: no preset %s\n", pszPreset);
            return 1;
        }
        lilv_state_restore(state, a.pInstance, SetPortValue, &a, 0, a.features);
        lilv_state_free(state);
        for (std::size_t i = 0; i < a.symbols.size(); ++i) {
            if (const auto it = values.find(a.symbols[i]); it != values.end()) a.controls[i] = it->second;
        }
    }
    std::vector<std::int16_t> out, outB;
    const std::uint32_t nOff = nFrames / 4 * 3 / kBlock * kBlock;
    const std::uint32_t nRun = pszState != nullptr ? nFrames / 10 : nFrames;
    for (std::uint32_t n = 0; n < nRun; n += kBlock) {
        a.midi.Clear();
        for (int f = 0; f < 2; ++f) {
            if (n == 0 && !astrFile[f].empty())
                a.midi.AddPath(f == 0 ? "https://aerolyre.org/plugins/aerolyre#filter1"
                                      : "https://aerolyre.org/plugins/aerolyre#filter2",
                               astrFile[f]);
        }
        if (nNote >= 0 && n == 0) a.midi.Add(0, 0x90, static_cast<std::uint8_t>(nNote), 127);
        if (nNote >= 0 && n == nOff) a.midi.Add(5, 0x80, static_cast<std::uint8_t>(nNote), 64);
        RunGuarded(a);
        Append(a, out);
        if (bPair) {
            // The second instance's tone changes halfway, inside run().
            if (n == nFrames / kBlock / 2 * kBlock) b.controls[7] += 100;
            RunGuarded(b);
            Append(b, outB);
        }
    }
    if (pszState != nullptr) {
        LilvState* state =
            lilv_state_new_from_instance(plugin, a.pInstance, &g_map, nullptr, nullptr, nullptr, nullptr,
                                         PortValue, &a, LV2_STATE_IS_POD, a.features);
        char* pszText = state != nullptr ? lilv_state_to_string(world, &g_map, &g_unmap, state,
                                                                "urn:aerolyre:test-state", nullptr)
                                         : nullptr;
        if (pszText == nullptr) {
            std::fprintf(stderr, "lv2_host: the state could not be saved\n");
            return 1;
        }
        const std::string strState = pszText;
        lilv_free(pszText);
        lilv_state_free(state);
        std::FILE* f = std::fopen(pszState, "w");
        if (f != nullptr) {
            std::fputs(strState.c_str(), f);
            std::fclose(f);
        }
        std::vector<std::int16_t> again;
        out.clear();
        if (!RunRestored(world, plugin, dRate, strState, nFrames, out) ||
            !RunRestored(world, plugin, dRate, strState, nFrames, again)) {
            std::fprintf(stderr, "lv2_host: the state could not be restored\n");
            return 1;
        }
        if (again != out) {
            std::fprintf(stderr, "lv2_host: two instances restored from one state render differently\n");
            return 1;
        }
    }
    out.resize(nFrames);
    Stop(a);
    std::printf("frequency: %.6f Hz\n", MeasureHz(out, out.size() / 2, out.size() / 4 * 3, dRate));
    // The largest sample of the last eighth: 0 once a note has ended.
    int nPeak = 0;
    for (std::size_t i = out.size() / 8 * 7; i < out.size(); ++i)
        nPeak = std::max(nPeak, std::abs(int{out[i]}));
    std::printf("end peak: %d\n", nPeak);
    // When the sound starts: the first sample at a tenth of the run's peak.
    int nMax = 0;
    for (std::int16_t v : out) nMax = std::max(nMax, std::abs(int{v}));
    const auto onset = std::find_if(out.begin(), out.end(),
                                    [nMax](std::int16_t v) { return 10 * std::abs(int{v}) >= nMax; });
    std::printf("onset: %.6f s\n", static_cast<double>(onset - out.begin()) / dRate);
    double dSquares = 0.0;
    for (std::size_t i = out.size() / 2; i < out.size() / 4 * 3; ++i)
        dSquares += static_cast<double>(out[i]) * out[i];
    std::printf("rms: %.3f\n",
                std::sqrt(dSquares / static_cast<double>(out.size() / 4 * 3 - out.size() / 2)));
    int nExit = WriteWav(argv[4], out, static_cast<std::uint32_t>(dRate)) ? 0 : 1;
    if (bPair) {
        Stop(b);
        // The first instance alone, in a fresh instance: the same samples.
        Instance c;
        Start(world, plugin, dRate, values, c);
        std::vector<std::int16_t> alone;
        for (std::uint32_t n = 0; n < nFrames; n += kBlock) {
            lilv_instance_run(c.pInstance, kBlock);
            Append(c, alone);
        }
        alone.resize(nFrames);
        Stop(c);
        if (alone != out) {
            std::fprintf(stderr, "lv2_host: an instance run beside another differs from one run alone\n");
            nExit = 1;
        }
    }
    if (g_nAllocationsInRun.load() != 0) {
        std::fprintf(stderr, "lv2_host: %d allocations inside run()\n", g_nAllocationsInRun.load());
        nExit = 1;
    }
    lilv_node_free(uri);
    lilv_world_free(world);
    return nExit;
}
