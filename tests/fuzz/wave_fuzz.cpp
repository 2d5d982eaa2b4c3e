// Fuzz target: any bytes as a WAV file, through the header parser, the filter waveform loader
// and the accompaniment reader (with a tiny cache, so the streaming handshake runs too).
#include <cstdint>
#include <cstdio>
#include <string>

#include "files/filter_wave.h"
#include "files/wave_file.h"
#include "files/wave_stream.h"
#include "filter/fir_filter.h"
#include "platform/file.h"
#include "tests/fuzz/fuzz_file.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static const FuzzFile file(".wav");
    if (!file.Write(data, size)) return 0;
    const std::string& path = file.Path();

    {
        CFile file;
        if (file.Open(path.c_str(), CFile::modeRead)) {
            WAVEFORMATEX format{};
            std::string strError;
            DWORD dwDataSize = 0;
            try {
                ReadWaveHeader(format, file, strError, dwDataSize);
            } catch (const CFileException&) {
            }
        }
    }

    {
        CFirFilter filter;
        LoadFilterWave(filter, path);
    }

    {
        CWaveStream stream;
        if (stream.OpenRead(path, 64, (size & 1) != 0)) {
            for (int i = 0; i < 500; ++i) stream.ReadSample();
        }
    }
    return 0;
}
