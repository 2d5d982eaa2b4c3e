// Real-time factor of a whole render: CPU seconds of the process (all threads counted) per second
// of audio, so below 1 is faster than real time: the voice, the filter stage, the accompaniment reader and
// the recording writer with their I/O threads, on the render tool's immediate device.
//
//   aerolyre_render_rtf [SECONDS]
#include <time.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <random>
#include <string>
#include <vector>

#include "engine/performance_state.h"
#include "files/wave_file.h"
#include "filter/fir_filter.h"
#include "platform/file.h"
#include "res/message_box.h"
#include "tools/render_session.h"

namespace {

double CpuSeconds() {
    timespec ts{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &ts);
    return ts.tv_sec + ts.tv_nsec * 1e-9;
}

double WallSeconds() {
    timespec ts{};
    clock_gettime(CLOCK_MONOTONIC, &ts);
    return ts.tv_sec + ts.tv_nsec * 1e-9;
}

// A gesture that sweeps across the board and up and down, one row every 10 ms.
std::vector<GestureRow> Sweep(double dSeconds) {
    std::vector<GestureRow> rows;
    const auto nTotal = static_cast<std::uint64_t>(dSeconds * kSampleRate);
    for (std::uint64_t n = 0; n < nTotal; n += 441) {
        const double t = static_cast<double>(n) / kSampleRate;
        rows.push_back(
            {n, 0.5 + 0.45 * std::sin(t * 1.3), 0.3 + 0.25 * std::sin(t * 0.7), (n / 44100) % 3 == 1, false});
    }
    rows.push_back({nTotal, 0.0, 1.0, false, false});
    return rows;
}

void WriteAccompaniment(const std::string& path) {
    CFile f;
    f.Open(path.c_str(), CFile::modeCreate | CFile::modeReadWrite);
    WriteWaveHeader(f, kRecordInt16);
    std::vector<std::int16_t> v(10 * kSampleRate);
    for (std::size_t i = 0; i < v.size(); ++i) v[i] = static_cast<std::int16_t>(8000 * std::sin(i * 0.01));
    f.Write(v.data(), static_cast<UINT>(v.size() * 2));
    CompleteWaveSizes(f);
    f.Close();
}

struct Config {
    const char* name;
    int nOverCycleIndex;
    bool bHeavy;  // two 44100-tap filters with feedback, accompaniment and recording
};

}  // namespace

int main(int argc, char** argv) {
    const double dSeconds = argc > 1 ? std::atof(argv[1]) : 20.0;
    InitPerformanceState();
    const std::filesystem::path dir = std::filesystem::temp_directory_path() / "aerolyre-rtf";
    std::filesystem::create_directories(dir);
    const std::string accomp = (dir / "accomp.wav").string();
    const std::string record = (dir / "record.wav").string();
    WriteAccompaniment(accomp);

    std::mt19937 rng(1);
    std::uniform_real_distribution<float> dist(-1.0f, 1.0f);
    std::vector<float> taps1(44100), taps2(44100);
    for (float& t : taps1) t = dist(rng);
    for (float& t : taps2) t = dist(rng);
    CFirFilter f1, f2;
    f1.SetTaps(taps1.data(), 44100);
    f2.SetTaps(taps2.data(), 44100);

    const std::vector<GestureRow> rows = Sweep(dSeconds);
    const Config configs[] = {{"start-up tone, x1", 0, false},
                              {"start-up tone, x16", 4, false},
                              {"x16, two 44100-tap filters, feedback, accompaniment, recording", 4, true}};
    std::printf("%-66s %10s %10s %10s %10s\n", "render (median of 3)", "audio s", "CPU s", "RTF", "speed");
    for (const Config& c : configs) {
        SessionSettings s;
        s.texts = StartupParameterTexts();
        s.dwOverCycleData = kOverCycleItemData[c.nOverCycleIndex];
        if (c.bHeavy) {
            s.fir = {1, &f1, &f2, 100, 100, 1, 50};
            s.nCheckAccomp = 1;
            s.strAccompFile = accomp;
            s.bAccompLoop = true;
            s.nCheckRecord = 1;
            s.nRecordFormat = 1;
        }
        std::vector<double> cpu;
        for (int run = 0; run < 3; ++run) {
            std::vector<std::int16_t> out;
            const double t0 = CpuSeconds();
            const double w0 = WallSeconds();
            const bool bOk = RenderSession(
                s, rows,
                [&](std::string& p) {
                    p = record;
                    return true;
                },
                out);
            // The teardown's fixed 100 ms pause is sleep, not work: it shows in wall time only.
            const double dCpu = CpuSeconds() - t0;
            (void)w0;
            if (!bOk) return 1;
            cpu.push_back(dCpu);
        }
        std::sort(cpu.begin(), cpu.end());
        std::printf("%-66s %10.1f %10.3f %10.4f %9.1fx\n", c.name, dSeconds, cpu[1], cpu[1] / dSeconds,
                    dSeconds / cpu[1]);
    }
    std::filesystem::remove_all(dir);
    return 0;
}
