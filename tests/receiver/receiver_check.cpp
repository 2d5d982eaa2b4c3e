// The MIDI the render tool writes, heard through a real General MIDI synthesizer: helpers for
// receiver_test.sh.
//
//   receiver_check program IN.mid OUT.mid N     insert a program change on every channel at tick 0
//   receiver_check compare PROGRAM.wav SYNTH.wav [--swell]
//
// compare tracks the pitch (YIN, 46 ms frames every 10 ms) and the level of both recordings.
// Pitch: over the frames where both sound and the program's own pitch moves less than 50 cents
// from frame to frame around it (no jump inside the frame), the median difference must be within 10 cents and
// none over 50. Level
// (--swell): after the synthesizer's first 100 ms of sound, where the program is above −40 dB of
// its peak, each frame's difference from the median difference within 6 dB.
#include <sndfile.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

namespace {

constexpr int kFrame = 2048, kHop = 441;

std::vector<double> ReadMono(const char* path, int& nRate) {
    SF_INFO info{};
    SNDFILE* f = sf_open(path, SFM_READ, &info);
    if (f == nullptr) return {};
    std::vector<double> all(static_cast<std::size_t>(info.frames) * info.channels);
    sf_readf_double(f, all.data(), info.frames);
    sf_close(f);
    nRate = info.samplerate;
    std::vector<double> mono(info.frames);
    for (sf_count_t i = 0; i < info.frames; ++i) {
        for (int c = 0; c < info.channels; ++c) mono[i] += all[i * info.channels + c] / info.channels;
    }
    return mono;
}

// YIN's pitch in Hz of the frame at 'from' (0 when unvoiced), 70 to 1600 Hz.
double Yin(const std::vector<double>& s, std::size_t from, int nRate) {
    const int nMin = nRate / 1600, nMax = nRate / 70, nWin = kFrame - nMax;
    std::vector<double> d(nMax + 2, 0.0);
    for (int tau = 1; tau <= nMax + 1; ++tau) {
        double sum = 0;
        for (int j = 0; j < nWin; ++j) {
            const double x = s[from + j] - s[from + j + tau];
            sum += x * x;
        }
        d[tau] = sum;
    }
    // Cumulative mean normalised difference.
    double run = 0;
    std::vector<double> c(d.size(), 1.0);
    for (int tau = 1; tau < static_cast<int>(d.size()); ++tau) {
        run += d[tau];
        c[tau] = run > 0 ? d[tau] * tau / run : 1.0;
    }
    for (int tau = nMin; tau <= nMax; ++tau) {
        if (c[tau] < 0.15) {
            while (tau + 1 <= nMax && c[tau + 1] < c[tau]) ++tau;
            const double a = c[tau - 1], b = c[tau], e = c[tau + 1];
            const double shift = (a - e) / (2 * (a - 2 * b + e));
            return nRate / (tau + (std::isfinite(shift) ? shift : 0.0));
        }
    }
    return 0;
}

double Db(const std::vector<double>& s, std::size_t from) {
    double sum = 0;
    for (int j = 0; j < kFrame; ++j) sum += s[from + j] * s[from + j];
    return 10 * std::log10(sum / kFrame + 1e-20);
}

double Median(std::vector<double> v) {
    std::sort(v.begin(), v.end());
    return v.empty() ? 0 : v[v.size() / 2];
}

int Program(const char* in, const char* out, int nProgram) {
    std::ifstream f(in, std::ios::binary);
    std::string smf((std::istreambuf_iterator<char>(f)), std::istreambuf_iterator<char>());
    // Format 0, one track: the track's length at 18, its events from 22.
    if (smf.size() < 22 || smf.compare(0, 4, "MThd") != 0 || smf.compare(14, 4, "MTrk") != 0) return 2;
    std::string changes;
    for (int c = 0; c < 16; ++c)
        changes += std::string{'\0', static_cast<char>(0xC0 | c), static_cast<char>(nProgram)};
    smf.insert(22, changes);
    std::uint32_t n = 0;
    for (int i = 18; i < 22; ++i) n = (n << 8) | static_cast<unsigned char>(smf[i]);
    n += static_cast<std::uint32_t>(changes.size());
    for (int i = 21; i >= 18; --i, n >>= 8) smf[i] = static_cast<char>(n & 0xFF);
    std::ofstream(out, std::ios::binary) << smf;
    return 0;
}

int Compare(const char* prog, const char* synth, bool bSwell) {
    int nRateP = 0, nRateS = 0;
    const std::vector<double> p = ReadMono(prog, nRateP), s = ReadMono(synth, nRateS);
    if (p.empty() || s.empty() || nRateP != nRateS) {
        std::fprintf(stderr, "cannot read both at one rate\n");
        return 2;
    }
    const std::size_t n = std::min(p.size(), s.size());
    double peakP = -200, peakS = -200;
    for (std::size_t i = 0; i + kFrame < n; i += kHop)
        peakP = std::max(peakP, Db(p, i)), peakS = std::max(peakS, Db(s, i));
    std::vector<double> fp, fs, lp, ls;
    for (std::size_t i = 0; i + kFrame < n; i += kHop) {
        fp.push_back(Db(p, i) > peakP - 40 ? Yin(p, i, nRateP) : 0);
        fs.push_back(Db(s, i) > peakS - 40 ? Yin(s, i, nRateS) : 0);
        lp.push_back(Db(p, i) - peakP);
        ls.push_back(Db(s, i) - peakS);
    }
    std::vector<double> cents;
    double worst = 0;
    std::size_t worstAt = 0;
    const std::size_t nSpan = kFrame / kHop + 1;
    for (std::size_t k = nSpan; k + nSpan < fp.size(); ++k) {
        if (fp[k] <= 0 || fs[k] <= 0) continue;
        // Not across a jump: the program's pitch moves less than 50 cents from frame to frame
        // over the span of a frame.
        bool bSteady = true;
        for (std::size_t j = k - nSpan; j < k + nSpan; ++j) {
            bSteady =
                bSteady && fp[j] > 0 && fp[j + 1] > 0 && std::fabs(1200 * std::log2(fp[j + 1] / fp[j])) < 50;
        }
        if (!bSteady) continue;
        const double c = 1200 * std::log2(fs[k] / fp[k]);
        cents.push_back(std::fabs(c));
        if (std::fabs(c) > worst) worst = std::fabs(c), worstAt = k;
    }
    const double median = Median(cents);
    std::printf("pitch: %zu frames, median %.2f cents, worst %.1f cents at %.2f s\n", cents.size(), median,
                worst, worstAt * kHop / static_cast<double>(nRateP));
    bool bOk = cents.size() > 50 && median <= 10 && worst <= 50;
    if (bSwell) {
        std::size_t first = 0;
        while (first < ls.size() && ls[first] < -40) ++first;
        std::vector<double> diff;
        const std::size_t from = first + static_cast<std::size_t>(0.1 * nRateS / kHop);
        for (std::size_t k = from; k < ls.size(); ++k) {
            if (lp[k] > -40) diff.push_back(ls[k] - lp[k]);
        }
        const double m = Median(diff);
        double worstDb = 0;
        for (double d : diff) worstDb = std::max(worstDb, std::fabs(d - m));
        std::printf("level: %zu frames, worst %.1f dB from the median difference\n", diff.size(), worstDb);
        bOk = bOk && diff.size() > 50 && worstDb <= 6;
    }
    return bOk ? 0 : 1;
}

}  // namespace

int main(int argc, char** argv) {
    const std::string cmd = argc > 1 ? argv[1] : "";
    if (cmd == "program" && argc == 5) return Program(argv[2], argv[3], std::atoi(argv[4]));
    if (cmd == "compare" && (argc == 4 || argc == 5)) return Compare(argv[2], argv[3], argc == 5);
    std::fprintf(
        stderr, "usage: receiver_check program IN.mid OUT.mid N | compare PROGRAM.wav SYNTH.wav [--swell]\n");
    return 2;
}
