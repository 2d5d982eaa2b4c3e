// A sample pattern that differs at every sample for a long way, as 16-bit values and as the bytes
// of a mono 16-bit WAV's data, for tests that must see every sample arrive in its place.
#pragma once

#include <cstdint>
#include <cstring>
#include <vector>

inline std::int16_t Pattern(std::size_t i) { return static_cast<std::int16_t>((i * 7919u + 13u) & 0xFFFFu); }

inline std::vector<unsigned char> PatternData16(std::size_t nSamples) {
    std::vector<unsigned char> v(2 * nSamples);
    for (std::size_t i = 0; i < nSamples; ++i) {
        const std::int16_t s = Pattern(i);
        std::memcpy(&v[2 * i], &s, 2);
    }
    return v;
}
