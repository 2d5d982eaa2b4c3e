// A small LV2 host on lilv, for the plugin's tests: loads the bundle as hosts do, sets control
// ports, runs blocks of 64 frames and writes the output as a 16-bit WAV; prints the mean
// frequency of the output's third quarter (from its rising zero crossings).
//
//   lv2_host URI RATE SECONDS OUT.wav [symbol=value ...] [note=N]
//     runs one instance; note=N sends a Note On for N (velocity 127) at the first frame and its
//     Note Off at three quarters of the run
// Every run() is watched by an allocation guard (this program's operator new, which the plugin's
// calls reach too): an allocation inside one fails the run. Halfway through, the mod_depth port
// changes, so run() also restarts the voice once.
//
//   lv2_host URI RATE SECONDS OUT.wav --pair [symbol=value ...]
//     also runs a second instance with other settings, block for block between the first's
//     blocks, and fails (exit 1) unless the first's output equals a run of its own
#include <lilv/lilv.h>
#include <lv2/atom/atom.h>
#include <lv2/atom/util.h>
#include <lv2/midi/midi.h>
#include <lv2/urid/urid.h>

#include <algorithm>
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

#include "tests/support/pitch.h"

namespace {

std::atomic<bool> g_bInRun{false};
std::atomic<int> g_nAllocationsInRun{0};

}  // namespace

void* operator new(std::size_t n) {
    if (g_bInRun.load(std::memory_order_relaxed)) g_nAllocationsInRun.fetch_add(1);
    if (void* p = std::malloc(n == 0 ? 1 : n)) return p;
    throw std::bad_alloc();
}
void* operator new[](std::size_t n) { return operator new(n); }
void* operator new(std::size_t n, const std::nothrow_t&) noexcept {
    if (g_bInRun.load(std::memory_order_relaxed)) g_nAllocationsInRun.fetch_add(1);
    return std::malloc(n == 0 ? 1 : n);
}
void* operator new[](std::size_t n, const std::nothrow_t& t) noexcept { return operator new(n, t); }
void operator delete(void* p) noexcept { std::free(p); }
void operator delete[](void* p) noexcept { std::free(p); }
void operator delete(void* p, std::size_t) noexcept { std::free(p); }
void operator delete[](void* p, std::size_t) noexcept { std::free(p); }

namespace {

constexpr std::uint32_t kBlock = 64;
constexpr std::uint32_t kAtomCapacity = 1024;

// The host's URID map: URIs numbered in the order first asked for.
std::map<std::string, LV2_URID> g_urids;
LV2_URID MapUri(LV2_URID_Map_Handle, const char* uri) {
    const auto it = g_urids.find(uri);
    if (it != g_urids.end()) return it->second;
    const auto id = static_cast<LV2_URID>(g_urids.size() + 1);
    g_urids[uri] = id;
    return id;
}
LV2_URID_Map g_map = {nullptr, MapUri};
const LV2_Feature g_mapFeature = {LV2_URID__map, &g_map};
const LV2_Feature* const g_features[] = {&g_mapFeature, nullptr};

// One block's MIDI: a sequence of at most one three-byte message.
struct MidiBuffer {
    alignas(8) std::uint8_t bytes[kAtomCapacity];
    LV2_Atom_Sequence* Sequence() { return reinterpret_cast<LV2_Atom_Sequence*>(bytes); }
    void Clear() {
        Sequence()->atom.type = MapUri(nullptr, LV2_ATOM__Sequence);
        lv2_atom_sequence_clear(Sequence());
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

void RunGuarded(LilvInstance* pInstance) {
    g_bInRun.store(true);
    lilv_instance_run(pInstance, kBlock);
    g_bInRun.store(false);
}

struct Instance {
    LilvInstance* pInstance = nullptr;
    MidiBuffer midi;
    std::vector<float> controls;
    std::vector<float> out = std::vector<float>(kBlock);
};

bool Start(LilvWorld* world, const LilvPlugin* plugin, double dRate,
           const std::map<std::string, float>& values, Instance& inst) {
    inst.pInstance = lilv_plugin_instantiate(plugin, dRate, g_features);
    if (inst.pInstance == nullptr) return false;
    const std::uint32_t nPorts = lilv_plugin_get_num_ports(plugin);
    inst.controls.assign(nPorts, 0.0f);
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

}  // namespace

int main(int argc, char** argv) {
    if (argc < 5) {
        std::fprintf(stderr, "usage: lv2_host URI RATE SECONDS OUT.wav [--pair] [symbol=value ...]\n");
        return 2;
    }
    const double dRate = std::atof(argv[2]);
    const auto nFrames = static_cast<std::uint32_t>(std::atof(argv[3]) * dRate);
    bool bPair = false;
    int nNote = -1;
    std::map<std::string, float> values;
    for (int i = 5; i < argc; ++i) {
        if (std::strcmp(argv[i], "--pair") == 0) {
            bPair = true;
            continue;
        }
        const char* eq = std::strchr(argv[i], '=');
        if (eq == nullptr) return 2;
        if (std::strncmp(argv[i], "note=", 5) == 0) {
            nNote = std::atoi(eq + 1);
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
    Instance a, b;
    std::map<std::string, float> other = {{"x", 0.8f}, {"y", 0.0f}, {"mod_ratio", 3.0f}, {"overcycle", 3.0f}};
    if (!Start(world, plugin, dRate, values, a) || (bPair && !Start(world, plugin, dRate, other, b))) {
        std::fprintf(stderr, "lv2_host: the plugin did not instantiate at %g Hz\n", dRate);
        return 1;
    }
    std::vector<std::int16_t> out, outB;
    const std::uint32_t nOff = nFrames / 4 * 3 / kBlock * kBlock;
    for (std::uint32_t n = 0; n < nFrames; n += kBlock) {
        a.midi.Clear();
        if (nNote >= 0 && n == 0) a.midi.Add(0, 0x90, static_cast<std::uint8_t>(nNote), 127);
        if (nNote >= 0 && n == nOff) a.midi.Add(5, 0x80, static_cast<std::uint8_t>(nNote), 64);
        RunGuarded(a.pInstance);
        Append(a, out);
        if (bPair) {
            // The second instance's tone changes halfway: a restart inside run().
            if (n == nFrames / kBlock / 2 * kBlock) b.controls[7] += 100;
            RunGuarded(b.pInstance);
            Append(b, outB);
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
