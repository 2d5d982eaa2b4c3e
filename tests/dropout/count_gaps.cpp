// Counts the gaps a listener hears in a captured held tone: runs of 24 or more silent samples
// (|s| ≤ 2 on the 16-bit scale, so a resampler's ringing at a gap's edges still counts) between
// the first and the last sound. Prints "gaps N, silent MS ms, sound S s".
//
//   count_gaps CAPTURE.wav
#include <sndfile.h>

#include <cmath>
#include <cstdio>
#include <vector>

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: count_gaps CAPTURE.wav\n");
        return 2;
    }
    SF_INFO info{};
    SNDFILE* f = sf_open(argv[1], SFM_READ, &info);
    if (f == nullptr || info.channels < 1) {
        std::fprintf(stderr, "%s: not a sound capture\n", argv[1]);
        return 1;
    }
    std::vector<float> frames(static_cast<std::size_t>(info.frames) * info.channels);
    sf_readf_float(f, frames.data(), info.frames);
    sf_close(f);
    auto silent = [&](std::size_t i) { return std::fabs(frames[i * info.channels] * 32768.0f) <= 2.0f; };
    std::size_t first = 0, last = static_cast<std::size_t>(info.frames);
    while (first < last && silent(first)) ++first;
    while (last > first && silent(last - 1)) --last;
    constexpr std::size_t kGapSamples = 24;
    std::size_t nGaps = 0, nSilent = 0, nRun = 0;
    for (std::size_t i = first; i < last; ++i) {
        if (silent(i)) {
            ++nRun;
            continue;
        }
        if (nRun >= kGapSamples) {
            ++nGaps;
            nSilent += nRun;
        }
        nRun = 0;
    }
    std::printf("gaps %zu, silent %.1f ms, sound %.2f s\n", nGaps, 1000.0 * nSilent / info.samplerate,
                static_cast<double>(last - first) / info.samplerate);
    return 0;
}
