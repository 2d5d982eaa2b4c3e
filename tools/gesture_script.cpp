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

}  // namespace

bool ParseGestureScript(std::istream& in, std::vector<GestureRow>& rows, std::string& strError) {
    rows.clear();
    std::string line;
    bool bFirst = true;
    for (int nLine = 1; std::getline(in, line); ++nLine) {
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
        if (f.size() == 3 && f[1] == "correction" && (f[2] == "on" || f[2] == "off")) {
            if (!ParseUnsigned(f[0], r.nSample)) {
                strError = "line " + std::to_string(nLine) + ": expected sample,correction,on|off";
                return false;
            }
            r.nCorrection = f[2] == "on" ? 1 : 0;
        } else if ((f.size() != 5 && f.size() != 6) || !ParseUnsigned(f[0], r.nSample) ||
                   !ParseDouble(f[1], r.dX) || !ParseDouble(f[2], r.dY) || !ParseButton(f[3], r.bLeft) ||
                   !ParseButton(f[4], r.bRight) || (f.size() == 6 && !ParseDouble(f[5], r.dModScale))) {
            strError = "line " + std::to_string(nLine) + ": expected sample,x,y,left,right";
            return false;
        }
        if (r.nCorrection < 0 && !(r.dModScale >= 0.0 && r.dModScale <= 1.0)) {
            strError = "line " + std::to_string(nLine) + ": the timbre must lie between 0 and 1";
            return false;
        }
        // A pointer far off the board would drive the voice into overflow and silence for good.
        if (r.nCorrection < 0 && (r.dX < 0.0 || r.dX > 1.0 || r.dY < 0.0 || r.dY > 1.0)) {
            strError = "line " + std::to_string(nLine) + ": x and y must lie between 0 and 1";
            return false;
        }
        if (!rows.empty() && r.nSample < rows.back().nSample) {
            strError = "line " + std::to_string(nLine) + ": sample indices must not decrease";
            return false;
        }
        rows.push_back(r);
    }
    if (rows.empty()) {
        strError = "the script has no rows";
        return false;
    }
    return true;
}
