// aerolyre-render: the instrument's engine driven by a gesture script instead of the board,
// writing what the audio thread would store into its output blocks to a WAV file.
//
//   aerolyre-render [OPTIONS] GESTURE.csv OUT.wav
#include <unistd.h>
#include <algorithm>
#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "engine/decimal_text.h"
#include "engine/performance_state.h"
#include "engine/session.h"
#include "engine/tone_parameters.h"
#include "engine/tone_texts.h"
#include "engine/tuning.h"
#include "files/midi_file.h"
#include "files/tone_file.h"
#include "files/wave_file.h"
#include "platform/atomic_file.h"
#include "platform/file.h"
#include "platform/message_service.h"
#include "res/message_box.h"
#include "res/resource.h"
#include "res/string_table.h"
#include "tools/gesture_script.h"
#include "tools/render_session.h"

namespace {

constexpr int kExitRefused = 2;

const char kUsageHead[] =
    "usage: aerolyre-render [OPTIONS] GESTURE.csv OUT.wav\n"
    "Renders a gesture script (lines sample,x,y,left,right) through the instrument to a 16-bit\n"
    "mono 44100 Hz WAV file. '-' reads the script from standard input or writes the WAV to\n"
    "standard output. Options take their value as --name VALUE or --name=VALUE.\n"
    "  --help                this text\n"
    "  --version             the version\n"
    "  --tone FILE.aly       tone file (default: the start-up tone)\n";
// Then the settings table's options.
const char kUsage[] =
    "  --accomp FILE.wav     mix in an accompaniment\n"
    "  --accomp-ratio N      share of the accompaniment, 0 to 100 (default 50)\n"
    "  --accomp-loop         loop the accompaniment\n"
    "  --record FILE.wav     record directly to a WAV file\n"
    "  --record-float        record 32-bit floats instead of 16-bit integers\n"
    "  --record-accomp       record the mix with the accompaniment\n"
    "  --quantise            draw held notes onto 12-TET (A4 = 440 Hz unless --reference)\n"
    "  --scale FILE.scl      draw held notes onto a Scala scale (implies --quantise)\n"
    "  --kbm FILE.kbm        the scale's keyboard mapping\n"
    "  --reference HZ        frequency of degree 0 (of A4 in 12-TET)\n"
    "  --correction-strength PERCENT  how far held notes are drawn, 0 to 100 (default 100)\n"
    "  --midi OUT.mid        also write the MIDI the live port would send (Standard MIDI File)\n"
    "  --midi-mode MODE      mpe (default) or single\n"
    "  --midi-rate RATE      din (default: at most 2500 bytes a second) or unlimited\n";

// The help's line for a settings table option: a text setting in its unit, or the list's choices.
std::string OptionHelp(const ToneParameter& p) {
    std::string strArg = "--" + std::string(p.pszSymbol) + (p.kind == ToneKind::Choice ? " N" : " TEXT");
    std::string strText;
    if (p.kind == ToneKind::Choice) {
        for (int i = 0; i < kOverCycleChoices; ++i) {
            strText += kOverCycleNames[i];
            strText += i + 2 < kOverCycleChoices ? ", " : i + 1 < kOverCycleChoices ? " or " : "";
        }
        strText += std::string(" (default ") + kOverCycleNames[static_cast<int>(p.dDefault)] + ")";
    } else {
        strText = std::string(p.pszSymbol) + " setting in " +
                  (p.unit == ToneUnit::Bytes ? "bytes" : "KBytes") + " (default " + DefaultText(p) + ")";
    }
    strArg.resize(std::max<std::size_t>(strArg.size() + 1, 22), ' ');
    return "  " + strArg + strText + "\n";
}

std::string Usage() {
    std::string s = kUsageHead;
    for (const ToneParameter& p : kToneParameters) {
        if (p.bOption) s += OptionHelp(p);
    }
    return s + kUsage;
}

struct Options {
    std::string strTone;
    std::string strBuffer = DefaultText(ToneParameterOf(ToneParam::Buffer));
    int nOverCycleIndex = static_cast<int>(ToneParameterOf(ToneParam::OverCycle).dDefault);
    std::string strCache = DefaultText(ToneParameterOf(ToneParam::Cache));
    std::string strAccomp;
    int nAccompRatio = 50;
    bool bAccompLoop = false;
    std::string strRecord;
    bool bRecordFloat = false;
    bool bRecordAccomp = false;
    bool bQuantise = false;
    std::string strScale;
    std::string strKbm;
    double dReference = 0.0;
    int nStrength = 100;
    std::string strMidi;
    int nMidiMode = 0;
    bool bMidiUnlimited = false;
    std::string strGesture;
    std::string strOut;
};

// What the command line asks for: a render, the help or the version, or a refusal with its
// reason.
enum class Request { Render, Help, Version, Refused };

std::string RenderOptionName(ToneParam id) { return std::string("--") + ToneParameterOf(id).pszSymbol; }

Request ParseOptions(int argc, char** argv, Options& o, std::string& strError) {
    std::vector<std::string> positional;
    bool bOptions = true;
    for (int i = 1; i < argc; ++i) {
        std::string a = argv[i];
        if (!bOptions || a == "-" || a.rfind("--", 0) != 0) {
            positional.push_back(a);
            continue;
        }
        if (a == "--") {
            bOptions = false;
            continue;
        }
        // GNU style: --name=value or --name value.
        std::optional<std::string> inlineValue;
        if (const std::size_t eq = a.find('='); eq != std::string::npos) {
            inlineValue = a.substr(eq + 1);
            a = a.substr(0, eq);
        }
        auto value = [&](std::string& out) {
            if (inlineValue) {
                out = *inlineValue;
                return true;
            }
            if (i + 1 >= argc) {
                strError = "option '" + a + "' needs a value";
                return false;
            }
            out = argv[++i];
            return true;
        };
        auto flag = [&](bool& b) {
            if (inlineValue) {
                strError = "option '" + a + "' takes no value";
                return false;
            }
            b = true;
            return true;
        };
        auto invalid = [&](const std::string& v, const char* what) {
            strError = "invalid value '" + v + "' for " + a + " (" + what + ")";
            return Request::Refused;
        };
        std::string v;
        bool bHelp = false, bVersion = false;
        if (a == "--help") {
            if (!flag(bHelp)) return Request::Refused;
            return Request::Help;
        } else if (a == "--version") {
            if (!flag(bVersion)) return Request::Refused;
            return Request::Version;
        } else if (a == "--tone") {
            if (!value(o.strTone)) return Request::Refused;
        } else if (a == RenderOptionName(ToneParam::Buffer)) {
            if (!value(o.strBuffer)) return Request::Refused;
        } else if (a == RenderOptionName(ToneParam::Cache)) {
            if (!value(o.strCache)) return Request::Refused;
        } else if (a == RenderOptionName(ToneParam::OverCycle)) {
            if (!value(v)) return Request::Refused;
            o.nOverCycleIndex = -1;
            for (int k = 0; k < kOverCycleChoices; ++k) {
                if (v == kOverCycleNames[k]) o.nOverCycleIndex = k;
            }
            if (o.nOverCycleIndex < 0) return invalid(v, "1, 2, 4, 8 or 16");
        } else if (a == "--accomp") {
            if (!value(o.strAccomp)) return Request::Refused;
        } else if (a == "--accomp-ratio") {
            if (!value(v)) return Request::Refused;
            if (v.empty() || v.find_first_not_of("0123456789") != std::string::npos ||
                AtoiSaturating(v) > 100) {
                return invalid(v, "0 to 100");
            }
            o.nAccompRatio = AtoiSaturating(v);
        } else if (a == "--accomp-loop") {
            if (!flag(o.bAccompLoop)) return Request::Refused;
        } else if (a == "--record") {
            if (!value(o.strRecord)) return Request::Refused;
        } else if (a == "--record-float") {
            if (!flag(o.bRecordFloat)) return Request::Refused;
        } else if (a == "--record-accomp") {
            if (!flag(o.bRecordAccomp)) return Request::Refused;
        } else if (a == "--quantise") {
            if (!flag(o.bQuantise)) return Request::Refused;
        } else if (a == "--scale") {
            if (!value(o.strScale)) return Request::Refused;
            o.bQuantise = true;
        } else if (a == "--kbm") {
            if (!value(o.strKbm)) return Request::Refused;
        } else if (a == "--reference") {
            if (!value(v)) return Request::Refused;
            char* end = nullptr;
            o.dReference = std::strtod(v.c_str(), &end);
            if (v.empty() || *end != '\0' || !(o.dReference >= 1.0 && o.dReference <= 20000.0)) {
                return invalid(v, "a frequency from 1 to 20000 Hz");
            }
        } else if (a == "--correction-strength") {
            if (!value(v)) return Request::Refused;
            if (v.empty() || v.size() > 3 || v.find_first_not_of("0123456789") != std::string::npos ||
                AtoiSaturating(v) > 100) {
                return invalid(v, "0 to 100");
            }
            o.nStrength = AtoiSaturating(v);
        } else if (a == "--midi") {
            if (!value(o.strMidi)) return Request::Refused;
        } else if (a == "--midi-mode") {
            if (!value(v)) return Request::Refused;
            if (v != "mpe" && v != "single") return invalid(v, "mpe or single");
            o.nMidiMode = v == "mpe" ? 0 : 1;
        } else if (a == "--midi-rate") {
            if (!value(v)) return Request::Refused;
            if (v != "din" && v != "unlimited") return invalid(v, "din or unlimited");
            o.bMidiUnlimited = v == "unlimited";
        } else {
            strError = "unknown option '" + a + "'";
            return Request::Refused;
        }
    }
    if (positional.size() != 2) {
        strError = positional.size() < 2 ? "a gesture script and an output file are needed"
                                         : "too many file names: '" + positional[2] + "'";
        return Request::Refused;
    }
    o.strGesture = positional[0];
    o.strOut = positional[1];
    return Request::Render;
}

// Whether two names reach one file (the same file, or the same name for one not made yet).
bool SameFile(const std::string& a, const std::string& b) {
    if (a.empty() || b.empty() || a == "-" || b == "-") return false;
    std::error_code ec;
    if (std::filesystem::equivalent(a, b, ec)) return true;
    return std::filesystem::weakly_canonical(a, ec) == std::filesystem::weakly_canonical(b, ec);
}

bool LoadTone(const std::string& strPath, ToneData& tone) {
    CFile file;
    CFileException e;
    if (!file.Open(strPath.c_str(), CFile::modeRead | CFile::shareExclusive, &e)) {
        ReportFileError(e);
        AfxMessageBox(strPath + ": " + ResString(IDS_ERR_TONE_READ));
        return false;
    }
    if (ReadToneFile(file, tone) != kToneFieldCount) {
        AfxMessageBox(strPath + ": " + ResString(IDS_ERR_TONE_READ));
        return false;
    }
    return true;
}

// The output WAV, written as the samples come: to a temporary beside OUT that replaces it only
// once the whole render is on the disk, so a failed render leaves an earlier OUT as it was.
class COutputWav {
public:
    // Standard output: the header says nSamples up front, as nothing can be patched later.
    bool OpenStdout(std::uint64_t nSamples) {
        m_bStdout = true;
        unsigned char h[44] = {'R',  'I',  'F', 'F', 0, 0, 0,  0, 'W', 'A', 'V',  'E',  'f', 'm',
                               't',  ' ',  16,  0,   0, 0, 1,  0, 1,   0,   0x44, 0xAC, 0,   0,
                               0x88, 0x58, 1,   0,   2, 0, 16, 0, 'd', 'a', 't',  'a'};
        const auto nData = static_cast<std::uint32_t>(2 * nSamples);
        for (int i = 0; i < 4; ++i) {
            h[4 + i] = static_cast<unsigned char>((nData + 36) >> (8 * i));
            h[40 + i] = static_cast<unsigned char>(nData >> (8 * i));
        }
        return WriteStdout(h, sizeof h);
    }

    bool Open(const std::string& strPath) {
        int nError = 0;
        CFileException e;
        if (!m_replace.Begin(strPath, nError)) {
            e = CFileException(CFileException::accessDenied, nError, strPath);
        } else if (m_file.Open(m_replace.TempPath().c_str(), CFile::modeCreate | CFile::modeReadWrite, &e)) {
            try {
                WriteWaveHeader(m_file, kRecordInt16);
                return true;
            } catch (const CFileException& ex) {
                e = ex;
            }
        }
        e.m_strFileName = strPath;
        ReportFileError(e);
        AfxMessageBox(IDS_ERR_OUTPUT_OPEN);
        return false;
    }

    // A block of the render; false after a write error (the render then stops).
    bool Append(const std::int16_t* pSamples, std::size_t nCount) {
        if (m_bStdout) return WriteStdout(pSamples, nCount * sizeof(std::int16_t));
        try {
            m_file.Write(pSamples, static_cast<UINT>(nCount * sizeof(std::int16_t)));
            return true;
        } catch (const CFileException& ex) {
            m_error = ex;
            m_bFailed = true;
            return false;
        }
    }

    bool Finish(const std::string& strPath) {
        if (m_bStdout) {
            if (std::fflush(stdout) == 0 && !m_bFailed) return true;
            std::fprintf(stderr, "standard output: %s\n",
                         std::strerror(m_nStdoutError != 0 ? m_nStdoutError : EIO));
            return false;
        }
        int nError = 0;
        try {
            if (!m_bFailed) {
                CompleteWaveSizes(m_file);
                m_file.Close();
                if (m_replace.Commit(nError)) return true;
                m_error = CFileException(CFileException::accessDenied, nError, strPath);
            }
        } catch (const CFileException& ex) {
            m_error = ex;
        }
        m_file.Abort();
        m_error.m_strFileName = strPath;
        ReportFileError(m_error);
        return false;
    }

private:
    bool WriteStdout(const void* p, std::size_t n) {
        if (std::fwrite(p, 1, n, stdout) == n) return true;
        m_nStdoutError = errno;
        m_bFailed = true;
        return false;
    }

    CAtomicFileReplace m_replace;
    CFile m_file;
    CFileException m_error;
    bool m_bFailed = false;
    bool m_bStdout = false;
    int m_nStdoutError = 0;
};

// A progress line on the terminal, for renders of more than a few seconds and only when both
// standard output and standard error are terminals; erased at the end.
class CProgress {
public:
    static constexpr std::uint64_t kMinSamples = 5 * static_cast<std::uint64_t>(kSampleRate);

    explicit CProgress(std::uint64_t nTotal)
        : m_nTotal(nTotal),
          m_bShow(nTotal > kMinSamples && ::isatty(STDOUT_FILENO) && ::isatty(STDERR_FILENO)) {}
    ~CProgress() {
        if (m_bShown) std::fprintf(stderr, "\r\033[K");
    }
    void Add(std::size_t nSamples) {
        m_nDone += nSamples;
        if (!m_bShow) return;
        const auto now = std::chrono::steady_clock::now();
        if (m_bShown && now - m_last < std::chrono::milliseconds(500)) return;
        m_last = now;
        m_bShown = true;
        std::fprintf(stderr, "\rrendering %3d%% (%.1f s of %.1f s)",
                     static_cast<int>(100 * m_nDone / m_nTotal), m_nDone / static_cast<double>(kSampleRate),
                     m_nTotal / static_cast<double>(kSampleRate));
    }

private:
    std::uint64_t m_nTotal;
    std::uint64_t m_nDone = 0;
    bool m_bShow;
    bool m_bShown = false;
    std::chrono::steady_clock::time_point m_last;
};

// The most samples a 16-bit WAV can describe: its RIFF size, 36 + data bytes, is 32 bits.
constexpr std::uint64_t kMaxOutputSamples = (0xFFFFFFFFull - 36) / 2;

}  // namespace

int main(int argc, char** argv) {
    int nMessages = 0;
    SetMessageSink([&nMessages](const std::string& s, MessageIcon) {
        ++nMessages;
        std::fprintf(stderr, "%s\n", s.c_str());
    });
    InitPerformanceState();
    // A file size limit fails the write (EFBIG) like a full disk, instead of killing the process.
    std::signal(SIGXFSZ, SIG_IGN);

    Options o;
    std::string strError;
    switch (ParseOptions(argc, argv, o, strError)) {
        case Request::Help: std::fputs(Usage().c_str(), stdout); return 0;
        case Request::Version: std::printf("aerolyre-render %s\n", AEROLYRE_VERSION); return 0;
        case Request::Refused:
            std::fprintf(stderr, "aerolyre-render: %s\nTry 'aerolyre-render --help'.\n", strError.c_str());
            return kExitRefused;
        case Request::Render: break;
    }
    // The recording must not land on a file the render reads or writes.
    for (const auto& [other, what] : {std::pair{o.strGesture, "the gesture script"},
                                      {o.strOut, "the output"},
                                      {o.strAccomp, "the accompaniment"},
                                      {o.strTone, "the tone file"},
                                      {o.strMidi, "the MIDI file"}}) {
        if (SameFile(o.strRecord, other)) {
            std::fprintf(stderr, "aerolyre-render: --record %s would overwrite %s\n", o.strRecord.c_str(),
                         what);
            return kExitRefused;
        }
    }

    std::ifstream scriptFile;
    if (o.strGesture != "-") {
        scriptFile.open(o.strGesture);
        if (!scriptFile) {
            std::fprintf(stderr, "%s: cannot be read\n", o.strGesture.c_str());
            return kExitRefused;
        }
    }
    std::istream& script = o.strGesture == "-" ? std::cin : scriptFile;
    std::vector<GestureRow> rows;
    std::string strNote;
    if (!ParseGestureScript(script, rows, strError, &strNote)) {
        std::fprintf(stderr, "%s: %s\n", o.strGesture.c_str(), strError.c_str());
        return kExitRefused;
    }
    if (!strNote.empty()) std::fprintf(stderr, "%s: %s\n", o.strGesture.c_str(), strNote.c_str());

    ToneData tone;
    CopyTextsToTone(StartupParameterTexts(), tone);
    if (!o.strTone.empty() && !LoadTone(o.strTone, tone)) return kExitRefused;

    SessionSettings s;
    s.texts = StartupParameterTexts();
    s.texts.strBuffer = o.strBuffer;
    CopyToneToTexts(tone, s.texts);
    s.nCheckDetune = tone.nCheckDetune;
    s.dwOverCycleData = kOverCycleItemData[o.nOverCycleIndex];
    s.strCache = o.strCache;
    s.fir.nCheckFir = tone.nCheckFir;
    s.fir.pFilter1 = &tone.firFilter1;
    s.fir.pFilter2 = &tone.firFilter2;
    s.fir.nFirInputVolume = tone.nFirInputVolume;
    s.fir.nFirFilter2Volume = tone.nFirFilter2Volume;
    s.fir.nFirDelay = tone.nFirDelay;
    s.fir.nFirFeedback = tone.nFirFeedback;
    s.nCheckAccomp = o.strAccomp.empty() ? 0 : 1;
    s.strAccompFile = o.strAccomp;
    s.bAccompLoop = o.bAccompLoop;
    s.nAccompRatio = o.nAccompRatio;
    s.nCheckRecord = o.strRecord.empty() ? 0 : 1;
    s.nRecordFormat = o.bRecordFloat ? 1 : 0;
    s.bRecordAccomp = o.bRecordAccomp;

    if (rows.back().nSample > kMaxOutputSamples) {
        std::fprintf(stderr, "%s: %llu samples are more than a WAV file holds (at most %llu)\n",
                     o.strGesture.c_str(), static_cast<unsigned long long>(rows.back().nSample),
                     static_cast<unsigned long long>(kMaxOutputSamples));
        return kExitRefused;
    }

    CTuning tuning;
    if (o.bQuantise) {
        const TuningChoice choice{false, true, o.strScale, o.strKbm, o.dReference};
        if (!choice.Build(tuning, strError)) {
            std::fprintf(stderr, "%s\n", strError.c_str());
            return kExitRefused;
        }
        s.pQuantise = &tuning;
        s.dQuantiseStrength = o.nStrength / 100.0;
    } else {
        for (const GestureRow& r : rows) {
            if (r.nCorrection < 0) continue;
            std::fprintf(stderr, "%s: correction rows need --quantise or --scale\n", o.strGesture.c_str());
            return kExitRefused;
        }
    }

    // MIDI events leave the engine through the queue; taken from it after every block.
    auto pMidiQueue = std::make_unique<CMidiEventQueue>();
    std::vector<MidiEvent> midi;
    auto drainMidi = [&] {
        MidiEvent e;
        while (pMidiQueue->TryPop(e)) midi.push_back(e);
    };
    if (!o.strMidi.empty()) {
        s.pMidiQueue = pMidiQueue.get();
        s.nMidiMode = o.nMidiMode;
        s.bMidiNoRateLimit = o.bMidiUnlimited;
    }

    // A take of MIDI in plays its messages through the same port queue the audio thread drains.
    auto pMidiIn = std::make_unique<CMidiInQueue>();
    for (const GestureRow& r : rows) {
        if (r.nMidiSize > 0) s.apMidiIn[0] = pMidiIn.get();
    }

    COutputWav out;
    // Blocks of no samples render nothing at all.
    const std::uint64_t nExpected = AtoiSaturating(o.strBuffer) / 2 > 0 ? rows.back().nSample : 0;
    if (!(o.strOut == "-" ? out.OpenStdout(nExpected) : out.Open(o.strOut))) return kExitRefused;
    CProgress progress(rows.back().nSample);
    const bool bStarted = RenderSession(
        s, rows,
        [&o](std::string& strPath) {
            strPath = o.strRecord;
            return true;
        },
        [&](const std::int16_t* p, std::size_t n) {
            drainMidi();
            progress.Add(n);
            return out.Append(p, n);
        });
    if (!bStarted) return kExitRefused;
    if (!out.Finish(o.strOut)) return kExitRefused;
    if (!o.strMidi.empty()) {
        drainMidi();
        int nError = 0;
        if (!WriteStandardMidiFile(o.strMidi, midi, nError)) {
            ReportFileError(CFileException(CFileException::accessDenied, nError, o.strMidi));
            return kExitRefused;
        }
    }
    return nMessages == 0 ? 0 : kExitRefused;
}
