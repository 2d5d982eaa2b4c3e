// Silence-to-sound latency through JACK: with the board open and the pointer at its bottom edge
// (silent), moves the pointer to the top row with xdotool and times the first sound that reaches
// a JACK input connected to the program's output. Repeats and prints each trial and the median.
//
//   jack_latency PORT X_TOP Y_TOP X_BOTTOM Y_BOTTOM [TRIALS]
#include <jack/jack.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <thread>
#include <vector>

namespace {

jack_client_t* g_pClient = nullptr;
jack_port_t* g_pInput = nullptr;
std::atomic<bool> g_bArmed{false};
std::atomic<jack_time_t> g_soundAt{0};
std::atomic<jack_time_t> g_lastSoundAt{0};

int Process(jack_nframes_t nFrames, void*) {
    const auto* p = static_cast<const float*>(jack_port_get_buffer(g_pInput, nFrames));
    const jack_nframes_t start = jack_last_frame_time(g_pClient);
    for (jack_nframes_t i = 0; i < nFrames; ++i) {
        if (p[i] == 0.0f) continue;
        const jack_time_t t = jack_frames_to_time(g_pClient, start + i);
        g_lastSoundAt.store(t);
        if (g_bArmed.load() && g_soundAt.load() == 0) g_soundAt.store(t);
    }
    return 0;
}

void Move(const char* x, const char* y) {
    const std::string cmd = std::string("xdotool mousemove ") + x + " " + y;
    if (std::system(cmd.c_str()) != 0) std::fprintf(stderr, "xdotool failed\n");
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 6) {
        std::fprintf(stderr, "usage: jack_latency PORT X_TOP Y_TOP X_BOTTOM Y_BOTTOM [TRIALS]\n");
        return 2;
    }
    const int nTrials = argc > 6 ? std::atoi(argv[6]) : 10;
    g_pClient = jack_client_open("aerolyre_latency", JackNoStartServer, nullptr);
    if (g_pClient == nullptr) return 1;
    g_pInput = jack_port_register(g_pClient, "in", JACK_DEFAULT_AUDIO_TYPE, JackPortIsInput, 0);
    jack_set_process_callback(g_pClient, Process, nullptr);
    if (jack_activate(g_pClient) != 0 || jack_connect(g_pClient, argv[1], jack_port_name(g_pInput)) != 0) {
        std::fprintf(stderr, "cannot connect to %s\n", argv[1]);
        return 1;
    }
    std::printf("period %u frames at %u Hz\n", jack_get_buffer_size(g_pClient),
                jack_get_sample_rate(g_pClient));
    std::vector<double> ms;
    for (int t = 0; t < nTrials; ++t) {
        Move(argv[4], argv[5]);
        // Silent for 300 ms before the next trial. Frame times of a cycle lie ahead of the clock,
        // so the difference is signed.
        auto sinceSound = [] {
            return static_cast<long long>(jack_get_time()) - static_cast<long long>(g_lastSoundAt.load());
        };
        while (sinceSound() < 300000) std::this_thread::sleep_for(std::chrono::milliseconds(10));
        g_soundAt.store(0);
        g_bArmed.store(true);
        Move(argv[2], argv[3]);
        const jack_time_t moved = jack_get_time();  // xdotool has sent the event
        for (int i = 0; i < 200 && g_soundAt.load() == 0; ++i)
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
        g_bArmed.store(false);
        if (g_soundAt.load() == 0) {
            std::printf("trial %d: no sound within 1 s\n", t);
            continue;
        }
        const double d = (static_cast<double>(g_soundAt.load()) - static_cast<double>(moved)) / 1000.0;
        std::printf("trial %d: %.1f ms\n", t, d);
        ms.push_back(d);
    }
    jack_client_close(g_pClient);
    if (ms.empty()) return 1;
    std::sort(ms.begin(), ms.end());
    std::printf("median silence-to-sound: %.1f ms (min %.1f, max %.1f, %zu trials)\n", ms[ms.size() / 2],
                ms.front(), ms.back(), ms.size());
    return 0;
}
