// The one sample format inside the instrument: 44100 samples per second, values on the 16-bit
// scale (full range −32768.0 to 32767.0) held as doubles or floats until they are stored.
#pragma once

#include <cmath>
#include <cstdint>

constexpr int kSampleRate = 44100;      // samples per second, everywhere in the instrument
constexpr double kSampleMax = 32767.0;  // the 16-bit scale's ends
constexpr double kSampleMin = -32768.0;
constexpr double kFloatFullScale = 32768.0;  // the 16-bit value of a float sample of 1.0

// Into the 16-bit range; NaN (an overflow's inf − inf) becomes silence, since it has no place
// there and would otherwise spread through whatever feeds back.
inline double ClampToSampleRange(double v) {
    if (v > kSampleMax) v = kSampleMax;
    if (v < kSampleMin) v = kSampleMin;
    if (std::isnan(v)) v = 0.0;
    return v;
}

// A stored 16-bit sample: clamped, then truncated toward zero.
inline std::int16_t ToInt16Sample(double v) { return static_cast<std::int16_t>(ClampToSampleRange(v)); }
