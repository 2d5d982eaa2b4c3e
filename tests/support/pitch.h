// Pitch measurement for tests: the mean frequency from rising zero crossings.
#pragma once

#include <cstddef>
#include <vector>

// Mean frequency in [from, to) at nRate samples per second; 0 when there are too few crossings.
template <class T>
double MeasureHz(const std::vector<T>& s, std::size_t from, std::size_t to, double dRate = 44100.0) {
    double first = -1, last = -1;
    int n = 0;
    for (std::size_t i = from + 1; i < to && i < s.size(); ++i) {
        if (s[i - 1] < 0 && s[i] >= 0) {
            const double t = (i - 1) + static_cast<double>(s[i - 1]) / (static_cast<double>(s[i - 1]) - s[i]);
            if (first < 0) first = t;
            last = t;
            ++n;
        }
    }
    return n < 3 ? 0 : (n - 1) * dRate / (last - first);
}
