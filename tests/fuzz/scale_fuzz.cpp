// Fuzz target: any bytes as a Scala scale, and, after a line "=== kbm", as its keyboard mapping.
// A file is refused with a message that names it, or gives a note table a player can use: notes
// ascending, inside the audible range, with degrees inside the scale.
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "engine/tuning.h"
#include "tests/fuzz/fuzz_file.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static const FuzzFile scl(".scl"), kbm(".kbm");
    const std::string input(reinterpret_cast<const char*>(data), size);
    const std::string kSeparator = "\n=== kbm\n";
    const std::size_t at = input.find(kSeparator);
    const std::string sclText = input.substr(0, at);
    if (!scl.Write(reinterpret_cast<const std::uint8_t*>(sclText.data()), sclText.size())) return 0;
    std::string kbmPath;
    if (at != std::string::npos) {
        const std::string kbmText = input.substr(at + kSeparator.size());
        if (!kbm.Write(reinterpret_cast<const std::uint8_t*>(kbmText.data()), kbmText.size())) return 0;
        kbmPath = kbm.Path();
    }

    CTuning tuning;
    std::string strError;
    if (!CTuning::LoadScala(scl.Path(), kbmPath, 0, tuning, strError)) {
        if (strError.rfind(scl.Path(), 0) != 0 && (kbmPath.empty() || strError.rfind(kbmPath, 0) != 0))
            std::abort();
        return 0;
    }
    const auto& notes = tuning.Notes();
    if (notes.empty() || notes.size() > static_cast<std::size_t>(CTuning::kMaxNotes)) std::abort();
    for (std::size_t i = 0; i < notes.size(); ++i) {
        const double hz = std::exp2(notes[i].dLog2Hz);
        if (!(hz >= 7.999 && hz <= 24000.01)) std::abort();
        if (notes[i].nDegree < 0 || notes[i].nDegree >= tuning.Size()) std::abort();
        if (i > 0 && !(notes[i].dLog2Hz > notes[i - 1].dLog2Hz)) std::abort();
    }
    // The table answers for any pitch, and names every note.
    for (double v : {-10.0, 3.0, 8.5, 14.6, 100.0}) {
        if (tuning.Name(tuning.Nearest(v)).empty()) std::abort();
    }
    return 0;
}
