// Tone files (".aly"): the tone texts of the main dialog, its two tone check boxes and the whole
// FIR filter setting with both waveforms, as a flat little-endian sequence of nineteen fields.
#pragma once

#include <string>

#include "filter/fir_filter.h"
#include "platform/win_types.h"

class CFile;

// What a tone file holds, in field order after the version (field 1).
struct ToneData {
    std::string strRange;         // 2, edit 1004
    std::string strRangeAdjust;   // 3, edit 1019
    std::string strLeftShift;     // 4, edit 1012
    std::string strRightShift;    // 5, edit 1013
    std::string strModRatio;      // 6, edit 1006
    std::string strModDepth;      // 7, edit 1007
    std::string strFeedback;      // 8, edit 1010
    std::string strDistortion;    // 9, edit 1011
    int nCheckDetune = 0;         // 10, check box 1003
    int nCheckFir = 0;            // 11, check box 1021
    int nFirInputVolume = 100;    // 12
    int nFirFilter2Volume = 100;  // 13
    std::string strFirFile1;      // 14
    std::string strFirFile2;      // 15
    CFirFilter firFilter1;        // 16
    CFirFilter firFilter2;        // 17
    int nFirDelay = 1;            // 18
    int nFirFeedback = 0;         // 19
};

constexpr int kToneFileVersion = 1;
constexpr int kToneFieldCount = 19;

// One string field: int32 n = byte length + 1, the text's bytes and a zero byte. Throws
// CFileException.
void WriteToneString(CFile& file, const std::string& strText);

// Reads one string field: 1 <= n <= 1024 and the last byte zero, else FALSE. The text is the
// bytes up to the first zero; bytes that are not UTF-8 are read as Shift-JIS (CP932), as the
// Windows program wrote them. Throws CFileException.
BOOL ReadToneString(CFile& file, std::string& strText);

// Writes all nineteen fields. Returns FALSE on a file error.
BOOL WriteToneFile(CFile& file, ToneData& tone);

// Reads the fields in order into tone, stopping at the first that fails (a bad value, a short
// read or a file error). Returns how many fields were read and applied, counting the version as
// field 1: kToneFieldCount for a whole file, 0 when even the version was wrong.
int ReadToneFile(CFile& file, ToneData& tone);
