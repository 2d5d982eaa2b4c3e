// The RIFF/WAVE layout the instrument reads and writes: a "RIFF" chunk of form "WAVE" holding a
// "fmt " chunk immediately followed by a "data" chunk, and the sample conversions at the file's
// edge. Samples inside the engine are on the 16-bit scale.
#pragma once

#include <cstdint>
#include <string>

#include "platform/sample_scale.h"
#include "platform/wave_format.h"
#include "platform/win_types.h"

class CFile;

constexpr DWORD kWaveHeaderBytes = 44;
constexpr DWORD kRiffSizeOffset = 4;
constexpr DWORD kDataSizeOffset = 40;

// Recording formats.
constexpr int kRecordInt16 = 1;
constexpr int kRecordFloat32 = 2;

// Parses the header of an open file from its start and leaves the file at the first sample byte.
// Returns TRUE with the data chunk's size as stored, or FALSE with message 2201 in strError.
// File errors other than a short read are thrown as CFileException.
BOOL ReadWaveHeader(WAVEFORMATEX& format, CFile& file, std::string& strError, DWORD& dwDataSize);

// The accompaniment reader's acceptance: 1 or 2 channels, 44100 Hz, 8 or 16 bits.
bool IsAccompanimentFormat(const WAVEFORMATEX& format);

// Writes the 44-byte header of a recording with zero sizes; nFormat is kRecordInt16 or
// kRecordFloat32. Throws CFileException.
void WriteWaveHeader(CFile& file, int nFormat);

// Sets the RIFF and data sizes from the file's length. Throws CFileException.
void CompleteWaveSizes(CFile& file);

// Sample conversions.
inline std::int16_t Decode8Bit(BYTE b) { return static_cast<std::int16_t>((b - 128) * 256); }

inline std::int16_t DecodeStereo(int nLeft, int nRight) {
    // An arithmetic shift: rounds toward minus infinity.
    return static_cast<std::int16_t>((nLeft + nRight) >> 1);
}

inline std::int16_t EncodeRecord16(double v) { return ToInt16Sample(v); }

inline float EncodeRecordFloat(double v) { return static_cast<float>(v / kFloatFullScale); }

inline std::uint16_t ReadLe16(const BYTE* p) { return static_cast<std::uint16_t>(p[0] | (p[1] << 8)); }

inline std::uint32_t ReadLe32(const BYTE* p) {
    return static_cast<std::uint32_t>(p[0]) | (static_cast<std::uint32_t>(p[1]) << 8) |
           (static_cast<std::uint32_t>(p[2]) << 16) | (static_cast<std::uint32_t>(p[3]) << 24);
}
