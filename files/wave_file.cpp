// WAV header parsing and writing.
#include "files/wave_file.h"

#include <cstring>

#include "platform/file.h"
#include "platform/sample_scale.h"
#include "res/string_table.h"

namespace {

bool ReadTag(CFile& file, const char* pszTag) {
    char tag[4];
    return file.Read(tag, 4) == 4 && std::memcmp(tag, pszTag, 4) == 0;
}

bool ReadU32(CFile& file, DWORD& dw) {
    BYTE b[4];
    if (file.Read(b, 4) != 4) return false;
    dw = ReadLe32(b);
    return true;
}

void PutLe16(BYTE* p, std::uint16_t v) {
    p[0] = static_cast<BYTE>(v);
    p[1] = static_cast<BYTE>(v >> 8);
}

void PutLe32(BYTE* p, std::uint32_t v) {
    for (int i = 0; i < 4; ++i) p[i] = static_cast<BYTE>(v >> (8 * i));
}

void WriteU32At(CFile& file, DWORD dwOffset, DWORD dwValue) {
    BYTE b[4];
    PutLe32(b, dwValue);
    file.Seek(dwOffset, CFile::begin);
    file.Write(b, 4);
}

}  // namespace

BOOL ReadWaveHeader(WAVEFORMATEX& format, CFile& file, std::string& strError, DWORD& dwDataSize) {
    auto fail = [&] {
        strError = ResString(2201);
        return FALSE;
    };

    file.Seek(0, CFile::begin);
    DWORD dwRiffSize = 0;
    if (!ReadTag(file, "RIFF")) return fail();
    if (!ReadU32(file, dwRiffSize)) return fail();
    if (!ReadTag(file, "WAVE")) return fail();
    if (!ReadTag(file, "fmt ")) return fail();

    DWORD dwFmtSize = 0;
    if (!ReadU32(file, dwFmtSize)) return fail();
    if (dwFmtSize < 16) return fail();
    // The first 16 bytes are the format fields, the next two cbSize; anything beyond is skipped
    // by seeking, so no stored size decides an allocation.
    BYTE body[18] = {};
    const UINT nBodyWanted = dwFmtSize >= 18 ? 18 : 16;
    if (file.Read(body, nBodyWanted) != nBodyWanted) return fail();
    if (dwFmtSize > nBodyWanted) file.Seek(dwFmtSize - nBodyWanted, CFile::current);

    format.wFormatTag = ReadLe16(body);
    format.nChannels = ReadLe16(body + 2);
    format.nSamplesPerSec = ReadLe32(body + 4);
    format.nAvgBytesPerSec = ReadLe32(body + 8);
    format.nBlockAlign = ReadLe16(body + 12);
    format.wBitsPerSample = ReadLe16(body + 14);
    format.cbSize = nBodyWanted == 18 ? ReadLe16(body + 16) : 0;

    const bool bPcm = format.wFormatTag == WAVE_FORMAT_PCM;
    const bool bFloat = format.wFormatTag == WAVE_FORMAT_IEEE_FLOAT && format.wBitsPerSample == 32;
    if (!bPcm && !bFloat) return fail();
    const std::uint64_t nBytesPerSec =
        static_cast<std::uint64_t>(format.wBitsPerSample / 8) * format.nChannels * format.nSamplesPerSec;
    if (nBytesPerSec != format.nAvgBytesPerSec) return fail();

    if (!ReadTag(file, "data")) return fail();
    if (!ReadU32(file, dwDataSize)) return fail();
    return TRUE;
}

bool IsAccompanimentFormat(const WAVEFORMATEX& format) {
    return (format.nChannels == 1 || format.nChannels == 2) && format.nSamplesPerSec == kSampleRate &&
           (format.wBitsPerSample == 8 || format.wBitsPerSample == 16);
}

void WriteWaveHeader(CFile& file, int nFormat) {
    const bool bFloat = nFormat != kRecordInt16;
    const WORD wBits = bFloat ? 32 : 16;
    const WORD wAlign = wBits / 8;
    BYTE h[kWaveHeaderBytes];
    std::memcpy(h, "RIFF", 4);
    PutLe32(h + 4, 0);
    std::memcpy(h + 8, "WAVEfmt ", 8);
    PutLe32(h + 16, 16);
    PutLe16(h + 20, bFloat ? WAVE_FORMAT_IEEE_FLOAT : WAVE_FORMAT_PCM);
    PutLe16(h + 22, 1);
    PutLe32(h + 24, kSampleRate);
    PutLe32(h + 28, static_cast<std::uint32_t>(kSampleRate) * wAlign);
    PutLe16(h + 32, wAlign);
    PutLe16(h + 34, wBits);
    std::memcpy(h + 36, "data", 4);
    PutLe32(h + 40, 0);
    file.Write(h, sizeof h);
}

void CompleteWaveSizes(CFile& file) {
    // The writer never lets the data grow past what these fields can hold.
    const auto nLength = static_cast<DWORD>(file.GetLength());
    WriteU32At(file, kRiffSizeOffset, nLength - 8);
    WriteU32At(file, kDataSizeOffset, nLength - kWaveHeaderBytes);
}
