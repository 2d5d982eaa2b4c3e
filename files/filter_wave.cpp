// The filter waveform loader.
#include "files/filter_wave.h"

#include <cstring>
#include <memory>
#include <new>

#include "files/wave_file.h"
#include "filter/fir_filter.h"
#include "platform/file.h"
#include "platform/sample_scale.h"
#include "res/message_box.h"

namespace {

bool IsFilterFormat(const WAVEFORMATEX& f) {
    if (f.nSamplesPerSec != kSampleRate || f.nChannels != 1) return false;
    const bool bInt16 = f.wFormatTag == WAVE_FORMAT_PCM && f.wBitsPerSample == 16 && f.nBlockAlign == 2;
    const bool bFloat =
        f.wFormatTag == WAVE_FORMAT_IEEE_FLOAT && f.wBitsPerSample == 32 && f.nBlockAlign == 4;
    return bInt16 || bFloat;
}

}  // namespace

BOOL LoadFilterWave(CFirFilter& filter, const std::string& strPath) {
    CFile file;
    CFileException e;
    if (!file.Open(strPath.c_str(), CFile::modeRead | CFile::shareExclusive, &e)) {
        ReportFileError(e);
        return FALSE;
    }

    try {
        WAVEFORMATEX format{};
        std::string strError;
        DWORD dwDataSize = 0;
        if (!ReadWaveHeader(format, file, strError, dwDataSize)) {
            AfxMessageBox(strError);
            return FALSE;
        }
        if (!IsFilterFormat(format) || dwDataSize / format.nBlockAlign > kMaxFirTaps) {
            AfxMessageBox(2203);
            return FALSE;
        }
        if (dwDataSize / format.nBlockAlign == 0) {
            AfxMessageBox(2201);
            return FALSE;
        }

        // At most 44100 samples of at most 4 bytes: the size was bounded above.
        std::unique_ptr<BYTE[]> pData(new (std::nothrow) BYTE[dwDataSize]);
        std::unique_ptr<float[]> pValues;
        if (pData) pValues.reset(new (std::nothrow) float[dwDataSize / format.nBlockAlign]);
        if (!pValues) {
            AfxMessageBox(3000);
            return FALSE;
        }
        const UINT nRead = file.Read(pData.get(), dwDataSize);
        if (nRead == 0 || nRead % format.nBlockAlign != 0) {
            AfxMessageBox(2201);
            return FALSE;
        }
        const int nCount = static_cast<int>(nRead / format.nBlockAlign);
        for (int k = 0; k < nCount; ++k) {
            if (format.wFormatTag == WAVE_FORMAT_PCM) {
                pValues[k] =
                    static_cast<std::int16_t>(ReadLe16(pData.get() + 2 * static_cast<std::size_t>(k)));
            } else {
                std::memcpy(&pValues[k], pData.get() + 4 * static_cast<std::size_t>(k), 4);
            }
        }
        file.Close();
        if (!filter.SetTaps(pValues.get(), nCount)) {
            AfxMessageBox(3000);
            return FALSE;
        }
        return TRUE;
    } catch (const CFileException& ex) {
        ReportFileError(ex);
        return FALSE;
    }
}
