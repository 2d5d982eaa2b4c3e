// What happened to a note held from START to END seconds in a recording: the samples in silent runs
// of 1 ms or more, the 10 ms frames 12 dB under both neighbours, and the largest distance in cents
// from HZ of the pitch in 50 ms frames (the period from the normalised autocorrelation near the
// expected one, which a strong modulation does not fool as zero crossings would).
//
//   held_note RECORDING.wav START END HZ
// prints "silent N", "dips N" and "cents C" lines
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <vector>

#include "tests/support/held_harm.h"
#include "tests/support/sound_file.h"

namespace {

// The period near nExpected samples (within a semitone) with the highest correlation, refined by a
// parabola through its neighbours.
double PeriodNear(const std::vector<float>& s, std::size_t nFrom, std::size_t nLength, double dExpected) {
    const auto nLow = static_cast<std::size_t>(dExpected / 1.06);
    const auto nHigh = static_cast<std::size_t>(dExpected * 1.06) + 1;
    std::vector<double> r(nHigh + 2, 0.0);
    for (std::size_t lag = nLow - 1; lag <= nHigh + 1; ++lag) {
        double xy = 0, xx = 0, yy = 0;
        for (std::size_t i = nFrom; i < nFrom + nLength; ++i) {
            xy += static_cast<double>(s[i]) * s[i + lag];
            xx += static_cast<double>(s[i]) * s[i];
            yy += static_cast<double>(s[i + lag]) * s[i + lag];
        }
        r[lag] = xx > 0 && yy > 0 ? xy / std::sqrt(xx * yy) : 0;
    }
    std::size_t best = nLow;
    for (std::size_t lag = nLow; lag <= nHigh; ++lag) {
        if (r[lag] > r[best]) best = lag;
    }
    const double a = r[best - 1], b = r[best], c = r[best + 1];
    const double d = a - 2 * b + c;
    return static_cast<double>(best) + (d != 0 ? 0.5 * (a - c) / d : 0.0);
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 5) {
        std::fprintf(stderr, "usage: held_note RECORDING.wav START END HZ\n");
        return 2;
    }
    std::vector<float> s;
    double dRate = 0.0;
    if (!ReadFirstChannel(argv[1], s, dRate)) return 1;
    const auto nStart = std::min(s.size(), static_cast<std::size_t>(std::atof(argv[2]) * dRate));
    const auto nEnd = std::min(s.size(), static_cast<std::size_t>(std::atof(argv[3]) * dRate));
    const double dHz = std::atof(argv[4]);

    const HeldHarm h = MeasureHeldHarm(s, nStart, nEnd, dRate);
    const auto nMs = static_cast<std::size_t>(dRate / 1000);
    const double dExpected = dRate / dHz;
    const auto nFrame = 50 * nMs;
    double dWorst = 0;
    for (std::size_t i = nStart; i + nFrame + 2 * static_cast<std::size_t>(dExpected) < nEnd; i += nFrame) {
        const double c = 1200 * std::log2(dExpected / PeriodNear(s, i, nFrame, dExpected));
        if (std::fabs(c) > std::fabs(dWorst)) dWorst = c;
    }
    std::printf("silent %d\ndips %d\ncents %.3f\n", h.nSilent, h.nDips, dWorst);
    return 0;
}
