// Filter taps for benchmarks: uniform in [−1, 1), the same for the same seed.
#pragma once

#include <random>
#include <vector>

inline std::vector<float> RandomTaps(int n, unsigned seed) {
    std::mt19937 rng(seed);
    std::uniform_real_distribution<float> dist(-1.0f, 1.0f);
    std::vector<float> v(n);
    for (float& f : v) f = dist(rng);
    return v;
}
