// Gesture script parsing.
#include "tools/gesture_script.h"

#include <cerrno>
#include <cmath>
#include <cstdlib>
#include <sstream>

namespace {

bool ParseUnsigned(const std::string& s, std::uint64_t& v) {
    if (s.empty() || s.find_first_not_of("0123456789") != std::string::npos) return false;
    errno = 0;
    char* end = nullptr;
    v = std::strtoull(s.c_str(), &end, 10);
    return errno == 0 && *end == '\0';
}

bool ParseDouble(const std::string& s, double& v) {
    if (s.empty()) return false;
    char* end = nullptr;
    v = std::strtod(s.c_str(), &end);
    return *end == '\0' && std::isfinite(v);
}

bool ParseButton(const std::string& s, bool& b) {
    if (s != "0" && s != "1") return false;
    b = s == "1";
    return true;
}

std::string Trim(const std::string& s) {
    const auto first = s.find_first_not_of(" \t\r");
    if (first == std::string::npos) return "";
    return s.substr(first, s.find_last_not_of(" \t\r") - first + 1);
}

bool IsHeader(const std::string& line) {
    std::string compact;
    for (char c : line) {
        if (c != ' ' && c != '\t') compact += static_cast<char>(c >= 'A' && c <= 'Z' ? c - 'A' + 'a' : c);
    }
    return compact == "sample,x,y,left,right";
}

// A channel message as the MIDI row spells it: a status byte 80..ef and its data bytes.
bool ParseMidi(const std::string& s, GestureRow& r) {
    std::stringstream ss(s);
    std::string byte;
    while (ss >> byte) {
        if (r.nMidiSize == 3 || byte.size() != 2 ||
            byte.find_first_not_of("0123456789abcdefABCDEF") != std::string::npos)
            return false;
        r.midi[r.nMidiSize++] = static_cast<unsigned char>(std::strtoul(byte.c_str(), nullptr, 16));
    }
    if (r.nMidiSize == 0 || r.midi[0] < 0x80 || r.midi[0] >= 0xF0) return false;
    for (int i = 1; i < r.nMidiSize; ++i) {
        if (r.midi[i] >= 0x80) return false;
    }
    return true;
}

}  // namespace

bool ParseGestureScript(std::istream& in, std::vector<GestureRow>& rows, std::string& strError,
                        std::string* pNote) {
    rows.clear();
    std::string line;
    bool bFirst = true;
    for (int nLine = 1; std::getline(in, line); ++nLine) {
        // getline met the end before a newline: the last line, perhaps cut short.
        const bool bCut = in.eof();
        line = Trim(line);
        if (line.empty() || line[0] == '#') continue;
        // A spreadsheet's header line may come first.
        if (bFirst && IsHeader(line)) {
            bFirst = false;
            continue;
        }
        bFirst = false;
        std::vector<std::string> f;
        std::stringstream ss(line);
        for (std::string field; std::getline(ss, field, ',');) f.push_back(Trim(field));
        GestureRow r{};
        std::string strWhy;
        if (f.size() == 3 && f[1] == "correction" && (f[2] == "on" || f[2] == "off")) {
            if (!ParseUnsigned(f[0], r.nSample)) strWhy = "expected sample,correction,on|off";
            r.nCorrection = f[2] == "on" ? 1 : 0;
        } else if (f.size() == 3 && f[1] == "midi") {
            if (!ParseUnsigned(f[0], r.nSample) || !ParseMidi(f[2], r))
                strWhy = "expected sample,midi,BYTES (a channel message in hexadecimal)";
        } else if ((f.size() != 5 && f.size() != 6) || !ParseUnsigned(f[0], r.nSample) ||
                   !ParseDouble(f[1], r.dX) || !ParseDouble(f[2], r.dY) || !ParseButton(f[3], r.bLeft) ||
                   !ParseButton(f[4], r.bRight) || (f.size() == 6 && !ParseDouble(f[5], r.dModScale))) {
            strWhy = "expected sample,x,y,left,right";
        } else if (!(r.dModScale >= 0.0 && r.dModScale <= 1.0)) {
            strWhy = "the timbre must lie between 0 and 1";
        } else if (r.dX < 0.0 || r.dX > 1.0 || r.dY < 0.0 || r.dY > 1.0) {
            // A pointer far off the board would drive the voice into overflow and silence for good.
            strWhy = "x and y must lie between 0 and 1";
        }
        if (strWhy.empty() && !rows.empty() && r.nSample < rows.back().nSample)
            strWhy = "sample indices must not decrease";
        if (!strWhy.empty()) {
            if (!bCut) {
                strError = "line " + std::to_string(nLine) + ": " + strWhy;
                return false;
            }
            if (pNote != nullptr)
                *pNote = "line " + std::to_string(nLine) + " is incomplete and was left out";
            break;
        }
        rows.push_back(r);
    }
    if (rows.empty()) {
        strError = "the script has no rows";
        return false;
    }
    return true;
}
