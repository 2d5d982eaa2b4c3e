// Builds WAV files byte by byte for tests, so every header field is set from the test itself.
#pragma once

#include <cstdint>
#include <cstring>
#include <fstream>
#include <string>
#include <vector>

struct WavLayout {
    std::uint16_t wFormatTag = 1;
    std::uint16_t nChannels = 1;
    std::uint32_t nSamplesPerSec = 44100;
    std::uint16_t wBitsPerSample = 16;
    // Derived from the fields above unless set.
    std::int64_t nAvgBytesPerSec = -1;
    std::int64_t nBlockAlign = -1;
    std::uint32_t nFmtSize = 16;          // 16, 18, 40, …; bytes beyond 16 (up to 1024) are 0
    std::string strChunkBeforeData;       // e.g. "LIST": a chunk of 4 bytes between fmt and data
    std::int64_t nDeclaredDataSize = -1;  // -1: the size of the data given
};

class WavBytes {
public:
    static std::vector<unsigned char> Make(const WavLayout& s, const std::vector<unsigned char>& data) {
        WavBytes b;
        b.Tag("RIFF");
        b.U32(static_cast<std::uint32_t>(36 + data.size()));
        b.Tag("WAVE");
        b.Tag("fmt ");
        b.U32(s.nFmtSize);
        const std::uint16_t align = s.nBlockAlign >= 0 ? static_cast<std::uint16_t>(s.nBlockAlign)
                                                       : s.nChannels * (s.wBitsPerSample / 8);
        const std::uint32_t avg =
            s.nAvgBytesPerSec >= 0 ? static_cast<std::uint32_t>(s.nAvgBytesPerSec) : s.nSamplesPerSec * align;
        b.U16(s.wFormatTag);
        b.U16(s.nChannels);
        b.U32(s.nSamplesPerSec);
        b.U32(avg);
        b.U16(align);
        b.U16(s.wBitsPerSample);
        for (std::uint32_t i = 16; i < s.nFmtSize && i < 1024; ++i) b.m_bytes.push_back(0);
        if (!s.strChunkBeforeData.empty()) {
            b.Tag(s.strChunkBeforeData.c_str());
            b.U32(4);
            b.U32(0);
        }
        b.Tag("data");
        b.U32(s.nDeclaredDataSize >= 0 ? static_cast<std::uint32_t>(s.nDeclaredDataSize)
                                       : static_cast<std::uint32_t>(data.size()));
        b.m_bytes.insert(b.m_bytes.end(), data.begin(), data.end());
        return b.m_bytes;
    }

    static void Write(const std::string& path, const std::vector<unsigned char>& bytes) {
        std::ofstream f(path, std::ios::binary | std::ios::trunc);
        f.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
    }

    static std::vector<unsigned char> Int16(const std::vector<int>& samples) {
        std::vector<unsigned char> v;
        for (int s : samples) {
            v.push_back(static_cast<unsigned char>(s & 0xFF));
            v.push_back(static_cast<unsigned char>((s >> 8) & 0xFF));
        }
        return v;
    }

    static std::vector<unsigned char> Float32(const std::vector<float>& samples) {
        std::vector<unsigned char> v(4 * samples.size());
        std::memcpy(v.data(), samples.data(), v.size());
        return v;
    }

    static std::vector<unsigned char> ReadFile(const std::string& path) {
        std::ifstream f(path, std::ios::binary);
        return std::vector<unsigned char>(std::istreambuf_iterator<char>(f), {});
    }

    static std::uint32_t U32At(const std::vector<unsigned char>& b, std::size_t at) {
        return b[at] | (b[at + 1] << 8) | (b[at + 2] << 16) | (static_cast<std::uint32_t>(b[at + 3]) << 24);
    }

private:
    void Tag(const char* t) {
        for (int i = 0; i < 4; ++i) m_bytes.push_back(static_cast<unsigned char>(t[i]));
    }
    void U16(std::uint16_t v) {
        m_bytes.push_back(static_cast<unsigned char>(v));
        m_bytes.push_back(static_cast<unsigned char>(v >> 8));
    }
    void U32(std::uint32_t v) {
        for (int i = 0; i < 4; ++i) m_bytes.push_back(static_cast<unsigned char>(v >> (8 * i)));
    }
    std::vector<unsigned char> m_bytes;
};
