// Checks what the capture device (or a JACK recorder, at the server's rate) recorded during the
// end-to-end run: silence before the first move, one steady pitch per held position at the
// frequency the pitch formula gives for it, and silence at the end. A file of several channels
// is read by its first; any rate is measured at that rate.
//
//   analyze_capture CAPTURE.wav RANGE_OCTAVES LEFT_SHIFT_SEMITONES X1 X2 … [--left XK]
// The Xi are the pointer's x as a fraction of the board's width, in the order they were held;
// "--left XK" adds a position held with the left button down.
#include <sndfile.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "tests/support/pitch.h"

namespace {

constexpr double kEngineRate = 44100.0;
double g_fileRate = kEngineRate;

double PitchHz(double x, double range, double factor) {
    const double E = 9 + range * (1.05 * x - 0.5);
    return 0.0002 * kEngineRate / (2 * M_PI) * std::pow(2.0, E) * factor;
}

double Peak(const std::vector<float>& s, std::size_t from, std::size_t to) {
    double p = 0;
    for (std::size_t i = from; i < to; ++i) p = std::max(p, static_cast<double>(std::fabs(s[i])));
    return p;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 5) {
        std::fprintf(stderr, "usage: analyze_capture CAPTURE.wav RANGE LEFT_SHIFT X1 X2 ... [--left XK]\n");
        return 2;
    }
    SF_INFO info{};
    SNDFILE* f = sf_open(argv[1], SFM_READ, &info);
    if (f == nullptr || info.channels < 1 || info.samplerate < 8000) {
        std::fprintf(stderr, "%s: not a sound capture\n", argv[1]);
        return 1;
    }
    g_fileRate = info.samplerate;
    // Samples on the 16-bit scale, whatever the file's format.
    sf_command(f, SFC_SET_NORM_FLOAT, nullptr, SF_TRUE);
    std::vector<float> frames(static_cast<std::size_t>(info.frames) * info.channels);
    sf_readf_float(f, frames.data(), info.frames);
    sf_close(f);
    std::vector<float> s(info.frames);
    for (std::size_t i = 0; i < s.size(); ++i) s[i] = std::nearbyint(frames[i * info.channels] * 32768.0f);

    const double range = std::atof(argv[2]);
    const double leftFactor = std::pow(2.0, std::atof(argv[3]) / 12.0);
    std::vector<double> expected;
    for (int i = 4; i < argc; ++i) {
        const std::string a = argv[i];
        if (a == "--left" && i + 1 < argc) {
            expected.push_back(PitchHz(std::atof(argv[++i]), range, leftFactor));
        } else {
            expected.push_back(PitchHz(std::atof(a.c_str()), range, 1.0));
        }
    }

    int failures = 0;
    std::size_t firstSound = 0;
    while (firstSound < s.size() && s[firstSound] == 0) ++firstSound;
    std::printf("samples %zu, first sound at %zu\n", s.size(), firstSound);
    const std::size_t win = static_cast<std::size_t>(g_fileRate / 20), hop = win / 2;
    if (firstSound < win) {
        std::printf("FAIL: no silence before the first move\n");
        ++failures;
    }

    // Steady stretches: 50 ms windows whose pitch stays within 0.3 % for at least 150 ms.
    std::vector<double> plateaus;
    double runHz = 0;
    int runLen = 0;
    std::vector<double> runValues;
    auto closeRun = [&] {
        if (runLen >= 6) {
            double sum = 0;
            for (double v : runValues) sum += v;
            plateaus.push_back(sum / runValues.size());
        }
        runLen = 0;
        runValues.clear();
    };
    for (std::size_t at = firstSound; at + win <= s.size(); at += hop) {
        const double hz = Peak(s, at, at + win) > 1000 ? MeasureHz(s, at, at + win, g_fileRate) : 0;
        if (hz > 0 && runLen > 0 && std::fabs(hz - runHz) <= runHz * 0.003) {
            ++runLen;
            runValues.push_back(hz);
        } else {
            closeRun();
            if (hz > 0) {
                runHz = hz;
                runLen = 1;
                runValues.push_back(hz);
            }
        }
        if (runLen > 0) runHz = hz;
    }
    closeRun();

    std::printf("steady pitches:");
    for (double p : plateaus) std::printf(" %.1f", p);
    std::printf("\nexpected:      ");
    for (double e : expected) std::printf(" %.1f", e);
    std::printf("\n");
    // Each expected pitch must appear, in order, within 1 %.
    std::size_t k = 0;
    for (double e : expected) {
        while (k < plateaus.size() && std::fabs(plateaus[k] - e) > e * 0.01) ++k;
        if (k == plateaus.size()) {
            std::printf("FAIL: no steady pitch at %.1f Hz\n", e);
            ++failures;
            k = 0;
            continue;
        }
        ++k;
    }

    // The end, pointer at the bottom edge: silent.
    const std::size_t tail = std::min<std::size_t>(s.size(), 2 * win);
    const double tailPeak = Peak(s, s.size() - tail, s.size());
    std::printf("peak of the last 100 ms: %.0f\n", tailPeak);
    if (tailPeak > 1.0) {
        std::printf("FAIL: not silent at the bottom edge\n");
        ++failures;
    }
    return failures == 0 ? 0 : 1;
}
