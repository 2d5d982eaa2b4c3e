// Fuzz target: any bytes as a WAV file, through the header parser, the filter waveform loader
// and the accompaniment reader (with a tiny cache, so the streaming handshake runs too).
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <string>

#include "files/filter_wave.h"
#include "files/wave_file.h"
#include "files/wave_stream.h"
#include "filter/fir_filter.h"
#include "platform/file.h"
#include "platform/message_service.h"

namespace {

// The file each input is written to, removed when the fuzzer exits.
struct FuzzFile {
    FuzzFile() : path("/tmp/aerolyre-fuzz-" + std::to_string(::getpid()) + ".wav") {
        SetMessageSink([](const std::string&, MessageIcon) {});
    }
    ~FuzzFile() { std::remove(path.c_str()); }
    std::string path;
};

const std::string& FuzzPath() {
    static const FuzzFile file;
    return file.path;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string& path = FuzzPath();
    {
        std::FILE* f = std::fopen(path.c_str(), "wb");
        if (f == nullptr) return 0;
        std::fwrite(data, 1, size, f);
        std::fclose(f);
    }

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
