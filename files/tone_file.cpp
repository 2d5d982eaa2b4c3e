// The tone file's fields, in their order.
#include "files/tone_file.h"

#include <iconv.h>

#include <cstdint>
#include <vector>

#include "platform/file.h"

namespace {

constexpr std::int32_t kMaxToneString = 1024;

void WriteInt(CFile& file, std::int32_t n) { file.Write(&n, sizeof n); }

bool ReadInt(CFile& file, std::int32_t& n) { return file.Read(&n, sizeof n) == sizeof n; }

bool IsUtf8(const std::string& s) {
    std::size_t i = 0;
    while (i < s.size()) {
        const auto c = static_cast<unsigned char>(s[i]);
        std::size_t nMore = 0;
        std::uint32_t cp = 0;
        if (c < 0x80) {
            ++i;
            continue;
        } else if ((c & 0xE0) == 0xC0) {
            nMore = 1;
            cp = c & 0x1F;
        } else if ((c & 0xF0) == 0xE0) {
            nMore = 2;
            cp = c & 0x0F;
        } else if ((c & 0xF8) == 0xF0) {
            nMore = 3;
            cp = c & 0x07;
        } else {
            return false;
        }
        if (i + nMore >= s.size()) return false;
        for (std::size_t k = 1; k <= nMore; ++k) {
            const auto cc = static_cast<unsigned char>(s[i + k]);
            if ((cc & 0xC0) != 0x80) return false;
            cp = (cp << 6) | (cc & 0x3F);
        }
        // Overlong forms, surrogates and values past U+10FFFF are not UTF-8.
        static const std::uint32_t kMin[] = {0, 0x80, 0x800, 0x10000};
        if (cp < kMin[nMore] || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) return false;
        i += nMore + 1;
    }
    return true;
}

// Shift-JIS (CP932) to UTF-8; bytes that do not convert are dropped.
std::string Cp932ToUtf8(const std::string& s) {
    iconv_t cd = iconv_open("UTF-8", "CP932");
    if (cd == reinterpret_cast<iconv_t>(-1)) return s;
    std::string out;
    std::vector<char> buf(s.size() * 4 + 4);
    char* in = const_cast<char*>(s.data());
    std::size_t nIn = s.size();
    while (nIn > 0) {
        char* o = buf.data();
        std::size_t nOut = buf.size();
        if (iconv(cd, &in, &nIn, &o, &nOut) == static_cast<std::size_t>(-1) && nIn > 0 && o == buf.data()) {
            ++in;  // an invalid byte: skip it
            --nIn;
        }
        out.append(buf.data(), o);
    }
    iconv_close(cd);
    return out;
}

}  // namespace

void WriteToneString(CFile& file, const std::string& strText) {
    WriteInt(file, static_cast<std::int32_t>(strText.size() + 1));
    file.Write(strText.c_str(), static_cast<UINT>(strText.size() + 1));
}

BOOL ReadToneString(CFile& file, std::string& strText) {
    std::int32_t n = 0;
    if (!ReadInt(file, n) || n < 1 || n > kMaxToneString) return FALSE;
    char buf[kMaxToneString];
    if (file.Read(buf, static_cast<UINT>(n)) != static_cast<UINT>(n) || buf[n - 1] != '\0') return FALSE;
    std::string s(buf);
    strText = IsUtf8(s) ? s : Cp932ToUtf8(s);
    return TRUE;
}

BOOL WriteToneFile(CFile& file, ToneData& tone) {
    try {
        WriteInt(file, kToneFileVersion);
        for (const std::string* p :
             {&tone.strRange, &tone.strRangeAdjust, &tone.strLeftShift, &tone.strRightShift,
              &tone.strModRatio, &tone.strModDepth, &tone.strFeedback, &tone.strDistortion}) {
            WriteToneString(file, *p);
        }
        WriteInt(file, tone.nCheckDetune);
        WriteInt(file, tone.nCheckFir);
        WriteInt(file, tone.nFirInputVolume);
        WriteInt(file, tone.nFirFilter2Volume);
        WriteToneString(file, tone.strFirFile1);
        WriteToneString(file, tone.strFirFile2);
        if (!tone.firFilter1.Save(&file) || !tone.firFilter2.Save(&file)) return FALSE;
        WriteInt(file, tone.nFirDelay);
        WriteInt(file, tone.nFirFeedback);
        return TRUE;
    } catch (const CFileException&) {
        return FALSE;
    }
}

int ReadToneFile(CFile& file, ToneData& tone) {
    int nField = 0;
    try {
        std::int32_t n = 0;
        if (!ReadInt(file, n) || n != kToneFileVersion) return 0;
        nField = 1;
        for (std::string* p :
             {&tone.strRange, &tone.strRangeAdjust, &tone.strLeftShift, &tone.strRightShift,
              &tone.strModRatio, &tone.strModDepth, &tone.strFeedback, &tone.strDistortion}) {
            if (!ReadToneString(file, *p)) return nField;
            ++nField;
        }
        for (int* p : {&tone.nCheckDetune, &tone.nCheckFir}) {
            if (!ReadInt(file, n) || n < 0 || n > 2) return nField;
            *p = n;
            ++nField;
        }
        for (int* p : {&tone.nFirInputVolume, &tone.nFirFilter2Volume}) {
            if (!ReadInt(file, n)) return nField;
            *p = n;
            ++nField;
        }
        for (std::string* p : {&tone.strFirFile1, &tone.strFirFile2}) {
            if (!ReadToneString(file, *p)) return nField;
            ++nField;
        }
        for (CFirFilter* p : {&tone.firFilter1, &tone.firFilter2}) {
            if (!p->Load(&file)) return nField;
            ++nField;
        }
        for (int* p : {&tone.nFirDelay, &tone.nFirFeedback}) {
            if (!ReadInt(file, n)) return nField;
            *p = n;
            ++nField;
        }
    } catch (const CFileException&) {
        // A file error fails the field being read, like a bad value.
    }
    return nField;
}
