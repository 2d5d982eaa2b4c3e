// What happened to a held note in [from, to) of a recording: the samples in silent runs of 1 ms
// or more, and the 10 ms frames 12 dB under both neighbours. Shared by the test hosts' checks.
#pragma once

#include <cmath>
#include <cstddef>
#include <vector>

struct HeldHarm {
    int nSilent = 0;
    int nDips = 0;
};

template <class T>
HeldHarm MeasureHeldHarm(const std::vector<T>& s, std::size_t nFrom, std::size_t nTo, double dRate) {
    HeldHarm h;
    const auto nMs = static_cast<std::size_t>(dRate / 1000);
    for (std::size_t i = nFrom, nRun = 0; i <= nTo; ++i) {
        if (i < nTo && s[i] == 0) {
            ++nRun;
            continue;
        }
        if (nRun >= nMs) h.nSilent += static_cast<int>(nRun);
        nRun = 0;
    }
    std::vector<double> rms;
    for (std::size_t i = nFrom; i + 10 * nMs <= nTo; i += 10 * nMs) {
        double d = 0.0;
        for (std::size_t k = i; k < i + 10 * nMs; ++k) d += static_cast<double>(s[k]) * s[k];
        rms.push_back(std::sqrt(d / static_cast<double>(10 * nMs)));
    }
    for (std::size_t i = 1; i + 1 < rms.size(); ++i)
        h.nDips += rms[i] * 4 < rms[i - 1] && rms[i] * 4 < rms[i + 1];
    return h;
}
