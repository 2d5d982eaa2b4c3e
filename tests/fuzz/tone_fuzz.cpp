// Fuzz target: any bytes as a tone file. A file read whole must write back to a file that reads
// to the same tone.
#include <cstdint>
#include <cstdlib>
#include <cstring>

#include "files/tone_file.h"
#include "platform/file.h"
#include "tests/fuzz/fuzz_file.h"

namespace {

bool SameTone(const ToneData& a, const ToneData& b) {
    auto sameTaps = [](const CFirFilter& x, const CFirFilter& y) {
        return x.m_nTaps == y.m_nTaps && std::memcmp(x.m_pTaps, y.m_pTaps, sizeof(float) * x.m_nTaps) == 0;
    };
    return a.strRange == b.strRange && a.strRangeAdjust == b.strRangeAdjust &&
           a.strLeftShift == b.strLeftShift && a.strRightShift == b.strRightShift &&
           a.strModRatio == b.strModRatio && a.strModDepth == b.strModDepth &&
           a.strFeedback == b.strFeedback && a.strDistortion == b.strDistortion &&
           a.nCheckDetune == b.nCheckDetune && a.nCheckFir == b.nCheckFir &&
           a.nFirInputVolume == b.nFirInputVolume && a.nFirFilter2Volume == b.nFirFilter2Volume &&
           a.strFirFile1 == b.strFirFile1 && a.strFirFile2 == b.strFirFile2 &&
           sameTaps(a.firFilter1, b.firFilter1) && sameTaps(a.firFilter2, b.firFilter2) &&
           a.nFirDelay == b.nFirDelay && a.nFirFeedback == b.nFirFeedback;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static const FuzzFile in(".aly"), out(".out.aly");
    if (!in.Write(data, size)) return 0;
    ToneData tone;
    int nFields = 0;
    {
        CFile file;
        if (!file.Open(in.Path().c_str(), CFile::modeRead | CFile::shareExclusive)) return 0;
        nFields = ReadToneFile(file, tone);
    }
    if (nFields != kToneFieldCount) return 0;

    {
        CFile file;
        if (!file.Open(out.Path().c_str(), CFile::modeCreate | CFile::modeWrite) ||
            !WriteToneFile(file, tone))
            return 0;
        file.Close();
    }
    ToneData again;
    CFile file;
    if (!file.Open(out.Path().c_str(), CFile::modeRead) || ReadToneFile(file, again) != kToneFieldCount ||
        !SameTone(tone, again)) {
        std::abort();
    }
    return 0;
}
