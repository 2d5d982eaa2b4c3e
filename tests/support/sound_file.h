// Reads a sound file with libsndfile, a reader that is not ours: the samples as stored (16-bit
// values unscaled, floats as they are).
#pragma once

#include <sndfile.h>

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
