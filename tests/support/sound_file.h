// Reads a sound file with libsndfile, a reader that is not ours: the samples as stored (16-bit
// values unscaled, floats as they are).
#pragma once

#include <sndfile.h>

#include <cstdio>
#include <string>
#include <vector>

inline std::vector<float> ReadSoundFile(const std::string& path, SF_INFO* pInfo = nullptr) {
    SF_INFO info{};
    SNDFILE* f = sf_open(path.c_str(), SFM_READ, &info);
    if (pInfo != nullptr) *pInfo = info;
    if (f == nullptr) return {};
    sf_command(f, SFC_SET_NORM_FLOAT, nullptr, SF_FALSE);
    std::vector<float> v(info.frames);
    sf_readf_float(f, v.data(), info.frames);
    sf_close(f);
    return v;
}

// The first channel of a file with any number of channels, on libsndfile's ±1 scale, and its rate;
// false (with the reason on stderr) when it does not open.
inline bool ReadFirstChannel(const char* pszPath, std::vector<float>& s, double& dRate) {
    SF_INFO info{};
    SNDFILE* f = sf_open(pszPath, SFM_READ, &info);
    if (f == nullptr) {
        std::fprintf(stderr, "%s: %s\n", pszPath, sf_strerror(nullptr));
        return false;
    }
    std::vector<float> frames(static_cast<std::size_t>(info.frames) * info.channels);
    sf_readf_float(f, frames.data(), info.frames);
    sf_close(f);
    s.resize(static_cast<std::size_t>(info.frames));
    for (std::size_t i = 0; i < s.size(); ++i) s[i] = frames[i * info.channels];
    dRate = info.samplerate;
    return true;
}
