// The notes in a recording: each stretch of sound (20 ms frames above a fortieth of the loudest)
// that lasts at least 0.3 s and ends before the recording does, and its pitch over the second half of the
// stretch (after the voice's glide has settled), from the mean of its rising zero crossings. A file of
// several channels is read by its first.
//
//   note_pitches RECORDING.wav
// prints one line per note: "note START END HZ" (seconds, seconds, Hz)
#include <sndfile.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <vector>

#include "tests/support/pitch.h"
#include "tests/support/sound_file.h"

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: note_pitches RECORDING.wav\n");
        return 2;
    }
    std::vector<float> s;
    double dRate = 0.0;
    if (!ReadFirstChannel(argv[1], s, dRate)) return 1;

    const auto nFrame = static_cast<std::size_t>(0.02 * dRate);
    std::vector<double> rms;
    for (std::size_t i = 0; i + nFrame <= s.size(); i += nFrame) {
        double sum = 0;
        for (std::size_t k = i; k < i + nFrame; ++k) sum += static_cast<double>(s[k]) * s[k];
        rms.push_back(std::sqrt(sum / static_cast<double>(nFrame)));
    }
    const double dLoudest = rms.empty() ? 0.0 : *std::max_element(rms.begin(), rms.end());
    if (dLoudest == 0.0) return 0;
    std::size_t n = 0;
    while (n < rms.size()) {
        if (rms[n] < dLoudest / 40) {
            ++n;
            continue;
        }
        std::size_t end = n;
        while (end < rms.size() && rms[end] >= dLoudest / 40) ++end;
        // A stretch cut off by the recording's end is no whole note.
        if (end < rms.size() && (end - n) * nFrame >= static_cast<std::size_t>(0.3 * dRate)) {
            const std::size_t from = (n + end) / 2 * nFrame, to = end * nFrame;
            std::printf("note %.3f %.3f %.4f\n", static_cast<double>(n * nFrame) / dRate,
                        static_cast<double>(end * nFrame) / dRate, MeasureHz(s, from, to, dRate));
        }
        n = end;
    }
    return 0;
}
