// Equal temperament, the Scala reader and the note table.
#include "engine/tuning.h"

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <sstream>

#include "platform/file.h"

namespace {

constexpr double kLowestHz = 8.0;
constexpr double kHighestHz = 24000.0;
constexpr std::size_t kMaxFileBytes = 1 << 20;  // a scale is a few hundred bytes
// Bounds that keep every key and degree sum far inside a long: no real mapping comes near them.
constexpr long kMaxKey = 1000;
constexpr long kMaxMapDegree = 100000;
constexpr double kMaxReferenceHz = 1e6;

// The meaningful lines of a Scala file ('!' starts a comment), with their line numbers. Opened
// as every file of the program is: a named pipe or a device is refused at once rather than
// waited on, and nothing larger than a scale could be is read.
bool ReadLines(const std::string& strPath, std::vector<std::pair<int, std::string>>& lines,
               std::string& strError) {
    std::string text;
    try {
        CFile file;
        CFileException e;
        if (!file.Open(strPath.c_str(), CFile::modeRead, &e)) {
            strError = e.GetErrorMessage();
            return false;
        }
        // One byte more than the file (or than allowed) tells a file that is, or grew, too large.
        text.resize(static_cast<std::size_t>(std::min<std::uint64_t>(file.GetLength(), kMaxFileBytes)) + 1);
        text.resize(file.Read(text.data(), static_cast<UINT>(text.size())));
        if (text.size() > kMaxFileBytes) {
            strError = strPath + ": too large for a scale";
            return false;
        }
    } catch (const CFileException& e) {
        strError = e.GetErrorMessage();
        return false;
    }
    std::istringstream in(text);
    std::string line;
    for (int n = 1; std::getline(in, line); ++n) {
        if (!line.empty() && line.back() == '\r') line.pop_back();
        if (!line.empty() && line[0] == '!') continue;
        lines.emplace_back(n, line);
    }
    return true;
}

std::string FirstWord(const std::string& s) {
    std::istringstream ss(s);
    std::string w;
    ss >> w;
    return w;
}

bool ParseInt(const std::string& s, long& v) {
    const std::string w = FirstWord(s);
    if (w.empty()) return false;
    char* end = nullptr;
    errno = 0;
    v = std::strtol(w.c_str(), &end, 10);
    return errno == 0 && *end == '\0';
}

// A pitch line: cents when it has a dot, else a ratio "p/q" or a whole number; as a ratio > 0.
bool ParsePitch(const std::string& s, double& ratio) {
    const std::string w = FirstWord(s);
    if (w.empty()) return false;
    char* end = nullptr;
    errno = 0;
    if (w.find('.') != std::string::npos) {
        const double cents = std::strtod(w.c_str(), &end);
        if (errno != 0 || *end != '\0' || !std::isfinite(cents) || std::fabs(cents) > 1e6) return false;
        ratio = std::exp2(cents / 1200.0);
        return true;
    }
    const std::size_t slash = w.find('/');
    const std::string p = w.substr(0, slash), q = slash == std::string::npos ? "1" : w.substr(slash + 1);
    if (p.empty() || q.empty() || p.find_first_not_of("0123456789") != std::string::npos ||
        q.find_first_not_of("0123456789") != std::string::npos) {
        return false;
    }
    const double a = std::strtod(p.c_str(), nullptr), b = std::strtod(q.c_str(), nullptr);
    if (!(a > 0) || !(b > 0) || !std::isfinite(a) || !std::isfinite(b)) return false;
    ratio = a / b;
    return true;
}

}  // namespace

void CTuning::Add(double dHz, int nDegree, int nOctave) {
    if (!(dHz >= kLowestHz && dHz <= kHighestHz) || m_notes.size() >= static_cast<std::size_t>(kMaxNotes))
        return;
    m_notes.push_back({std::log2(dHz), nDegree, nOctave});
}

void CTuning::Finish() {
    std::sort(m_notes.begin(), m_notes.end(),
              [](const TuningNote& a, const TuningNote& b) { return a.dLog2Hz < b.dLog2Hz; });
    // Degrees that land on the same pitch are one note.
    m_notes.erase(
        std::unique(m_notes.begin(), m_notes.end(),
                    [](const TuningNote& a, const TuningNote& b) { return b.dLog2Hz - a.dLog2Hz < 1e-9; }),
        m_notes.end());
}

CTuning CTuning::EqualTemperament(double dA4) {
    CTuning t;
    t.m_bTwelveTet = true;
    t.m_nSize = 12;
    for (int m = -12; m < 144; ++m)
        t.Add(dA4 * std::exp2((m - 69) / 12.0), ((m % 12) + 12) % 12, (m - (((m % 12) + 12) % 12)) / 12 - 1);
    t.Finish();
    return t;
}

bool CTuning::LoadScala(const std::string& strScl, const std::string& strKbm, double dReference,
                        CTuning& tuning, std::string& strError) {
    std::vector<std::pair<int, std::string>> lines;
    if (!ReadLines(strScl, lines, strError)) return false;
    auto fail = [&](const std::string& file, int nLine, const std::string& what) {
        strError = file + " line " + std::to_string(nLine) + ": " + what;
        return false;
    };
    if (lines.size() < 2) return fail(strScl, lines.empty() ? 1 : lines.back().first + 1, "no note count");
    long nCount = 0;
    if (!ParseInt(lines[1].second, nCount) || nCount < 1 || nCount > 1000) {
        return fail(strScl, lines[1].first, "the note count must be a whole number from 1 to 1000");
    }
    if (static_cast<long>(lines.size()) < 2 + nCount)
        return fail(strScl, lines.back().first + 1, "fewer notes than the count");
    // r[0] = 1/1; the last pitch is the period.
    std::vector<double> r{1.0};
    for (long i = 0; i < nCount; ++i) {
        double ratio = 0;
        const auto& [nLine, text] = lines[static_cast<std::size_t>(2 + i)];
        if (!ParsePitch(text, ratio))
            return fail(strScl, nLine, "not a pitch (cents with a dot, or a ratio)");
        r.push_back(ratio);
    }
    const double period = r.back();
    r.pop_back();
    if (!(period > 1.0001))
        return fail(strScl, lines[static_cast<std::size_t>(1 + nCount)].first,
                    "the period must be above 1/1");
    const int N = static_cast<int>(nCount);
    auto ratioOf = [&](long d) {
        const long o = d >= 0 ? d / N : -((-d + N - 1) / N);
        return std::pow(period, static_cast<double>(o)) * r[static_cast<std::size_t>(d - o * N)];
    };

    CTuning t;
    t.m_bTwelveTet = false;
    t.m_nSize = N;
    if (strKbm.empty()) {
        const double f0 = dReference > 0 ? dReference : kDefaultDegree0;
        for (long d = -40L * N; d <= 40L * N; ++d) {
            const long o = d >= 0 ? d / N : -((-d + N - 1) / N);
            t.Add(f0 * ratioOf(d), static_cast<int>(d - o * N), static_cast<int>(o + 4));
        }
    } else {
        std::vector<std::pair<int, std::string>> k;
        if (!ReadLines(strKbm, k, strError)) return false;
        if (k.size() < 7)
            return fail(strKbm, k.empty() ? 1 : k.back().first + 1, "a mapping needs seven header lines");
        long nMap = 0, nFirst = 0, nLast = 0, nMiddle = 0, nRef = 0, nOctaveDegree = 0;
        double refHz = 0;
        const char* what[] = {"map size", "first note", "last note", "middle note", "reference note"};
        long* fields[] = {&nMap, &nFirst, &nLast, &nMiddle, &nRef};
        for (int i = 0; i < 5; ++i) {
            if (!ParseInt(k[static_cast<std::size_t>(i)].second, *fields[i]) || *fields[i] < 0 ||
                *fields[i] > kMaxKey) {
                return fail(strKbm, k[static_cast<std::size_t>(i)].first,
                            std::string("not a valid ") + what[i]);
            }
        }
        char* end = nullptr;
        const std::string w = FirstWord(k[5].second);
        refHz = std::strtod(w.c_str(), &end);
        if (w.empty() || *end != '\0' || !(refHz > 0) || !(refHz <= kMaxReferenceHz)) {
            return fail(strKbm, k[5].first, "not a reference frequency");
        }
        if (!ParseInt(k[6].second, nOctaveDegree) || nOctaveDegree < 0 || nOctaveDegree > kMaxKey) {
            return fail(strKbm, k[6].first, "not a valid octave degree");
        }
        if (nFirst > nLast) return fail(strKbm, k[2].first, "the last note comes before the first");
        std::vector<long> map;
        for (long i = 0; i < nMap; ++i) {
            const std::size_t at = static_cast<std::size_t>(7 + i);
            if (at >= k.size())
                return fail(strKbm, k.back().first + 1, "fewer map entries than the map size");
            long v = 0;
            if (FirstWord(k[at].second) == "x") {
                v = -1;
            } else if (!ParseInt(k[at].second, v) || v < 0 || v > kMaxMapDegree) {
                return fail(strKbm, k[at].first,
                            "a map entry is a degree from 0 to " + std::to_string(kMaxMapDegree) + " or x");
            }
            map.push_back(v);
        }
        // A key's degree, or false for an unmapped key.
        auto degreeOf = [&](long key, long& d) {
            const long i = key - nMiddle;
            if (nMap == 0) {
                d = i;
                return true;
            }
            const long o = i >= 0 ? i / nMap : -((-i + nMap - 1) / nMap);
            const long e = map[static_cast<std::size_t>(i - o * nMap)];
            if (e < 0) return false;
            d = e + o * (nOctaveDegree == 0 ? N : nOctaveDegree);
            return true;
        };
        long dRef = nRef - nMiddle;
        degreeOf(nRef, dRef);
        // Degree 0 sounds where the reference puts it, or at the given frequency.
        const double f0 = dReference > 0 ? dReference : refHz / ratioOf(dRef);
        for (long key = nFirst; key <= nLast; ++key) {
            long d = 0;
            if (!degreeOf(key, d)) continue;
            const long o = d >= 0 ? d / N : -((-d + N - 1) / N);
            t.Add(f0 * ratioOf(d), static_cast<int>(d - o * N), static_cast<int>(o + 4));
        }
    }
    t.Finish();
    if (t.m_notes.empty())
        return fail(strKbm.empty() ? strScl : strKbm, 1, "no note falls between 8 Hz and 24 kHz");
    tuning = std::move(t);
    return true;
}

const TuningNote& CTuning::Nearest(double dLog2Hz) const {
    auto it = std::lower_bound(m_notes.begin(), m_notes.end(), dLog2Hz,
                               [](const TuningNote& n, double v) { return n.dLog2Hz < v; });
    if (it == m_notes.end()) return m_notes.back();
    if (it == m_notes.begin()) return *it;
    const auto below = it - 1;
    return dLog2Hz - below->dLog2Hz <= it->dLog2Hz - dLog2Hz ? *below : *it;
}

std::string CTuning::Name(const TuningNote& note) const {
    if (m_bTwelveTet) {
        static const char* const kNames[] = {"C", "C#", "D", "D#", "E", "F", "F#", "G", "G#", "A", "A#", "B"};
        return kNames[note.nDegree] + std::to_string(note.nOctave);
    }
    return std::to_string(note.nOctave) + "." + std::to_string(note.nDegree);
}
