// aerolyre-render: the instrument's engine driven by a gesture script instead of the board,
// writing what the audio thread stores into its output blocks to a WAV file.
//
//   aerolyre-render [OPTIONS] GESTURE.csv OUT.wav
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <memory>
#include <string>
#include <vector>

#include "engine/decimal_text.h"
#include "engine/message_box.h"
#include "engine/performance_state.h"
#include "engine/session.h"
#include "engine/tuning.h"
#include "files/midi_file.h"
#include "files/tone_file.h"
#include "files/wave_file.h"
#include "platform/atomic_file.h"
#include "platform/file.h"
#include "platform/message_service.h"
#include "res/resource.h"
#include "tools/gesture_script.h"
#include "tools/render_session.h"

namespace {

constexpr int kExitRefused = 2;

const char kUsage[] =
    "usage: aerolyre-render [OPTIONS] GESTURE.csv OUT.wav\n"
    "  --tone FILE.aly       tone file (default: the start-up tone)\n"
    "  --buffer TEXT         buffer setting in bytes (default 400)\n"
    "  --overcycle N         1, 2, 4, 8 or 16 (default 1)\n"
    "  --cache TEXT          cache setting in KBytes (default 64)\n"
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
    "  --midi OUT.mid        also write the MIDI the live port would send (Standard MIDI File)\n"
    "  --midi-mode MODE      mpe (default) or single\n";

struct Options {
    std::string strTone;
    std::string strBuffer = "400";
    int nOverCycleIndex = 0;
    std::string strCache = "64";
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
    std::string strMidi;
    int nMidiMode = 0;
    std::string strGesture;
    std::string strOut;
};

bool ParseOptions(int argc, char** argv, Options& o) {
    std::vector<std::string> positional;
    for (int i = 1; i < argc; ++i) {
        const std::string a = argv[i];
        auto value = [&](std::string& out) {
            if (i + 1 >= argc) return false;
            out = argv[++i];
            return true;
        };
        std::string v;
        if (a == "--tone") {
            if (!value(o.strTone)) return false;
        } else if (a == "--buffer") {
            if (!value(o.strBuffer)) return false;
        } else if (a == "--cache") {
            if (!value(o.strCache)) return false;
        } else if (a == "--overcycle") {
            if (!value(v)) return false;
            const char* kNames[] = {"1", "2", "4", "8", "16"};
            o.nOverCycleIndex = -1;
            for (int k = 0; k < 5; ++k) {
                if (v == kNames[k]) o.nOverCycleIndex = k;
            }
            if (o.nOverCycleIndex < 0) return false;
        } else if (a == "--accomp") {
            if (!value(o.strAccomp)) return false;
        } else if (a == "--accomp-ratio") {
            if (!value(v) || v.empty() || v.find_first_not_of("0123456789") != std::string::npos) return false;
            o.nAccompRatio = AtoiSaturating(v);
            if (o.nAccompRatio > 100) return false;
        } else if (a == "--accomp-loop") {
            o.bAccompLoop = true;
        } else if (a == "--record") {
            if (!value(o.strRecord)) return false;
        } else if (a == "--record-float") {
            o.bRecordFloat = true;
        } else if (a == "--record-accomp") {
            o.bRecordAccomp = true;
        } else if (a == "--quantise") {
            o.bQuantise = true;
        } else if (a == "--scale") {
            if (!value(o.strScale)) return false;
            o.bQuantise = true;
        } else if (a == "--midi") {
            if (!value(o.strMidi)) return false;
        } else if (a == "--midi-mode") {
            if (!value(v) || (v != "mpe" && v != "single")) return false;
            o.nMidiMode = v == "mpe" ? 0 : 1;
        } else if (a == "--kbm") {
            if (!value(o.strKbm)) return false;
        } else if (a == "--reference") {
            if (!value(v)) return false;
            char* end = nullptr;
            o.dReference = std::strtod(v.c_str(), &end);
            if (v.empty() || *end != '\0' || !(o.dReference >= 1.0 && o.dReference <= 20000.0)) return false;
        } else if (a.rfind("--", 0) == 0) {
            return false;
        } else {
            positional.push_back(a);
        }
    }
    if (positional.size() != 2) return false;
    o.strGesture = positional[0];
    o.strOut = positional[1];
    return true;
}

void SetStartupTone(ToneData& tone) {
    const ParameterTexts t = StartupParameterTexts();
    tone.strRange = t.strRange;
    tone.strRangeAdjust = t.strRangeAdjust;
    tone.strLeftShift = t.strLeftShift;
    tone.strRightShift = t.strRightShift;
    tone.strModRatio = t.strModRatio;
    tone.strModDepth = t.strModDepth;
    tone.strFeedback = t.strFeedback;
    tone.strDistortion = t.strDistortion;
}

bool LoadTone(const std::string& strPath, ToneData& tone) {
    CFile file;
    if (!file.Open(strPath.c_str(), CFile::modeRead | CFile::shareExclusive) ||
        ReadToneFile(file, tone) != kToneFieldCount) {
        AfxMessageBox(IDS_ERR_TONE_READ);
        return false;
    }
    return true;
}

// The output WAV, written as the samples come: to a temporary beside OUT that replaces it only
// once the whole render is on the disk, so a failed render leaves an earlier OUT as it was.
class COutputWav {
public:
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

    // On the audio thread of the render; false after a write error (the render then stops).
    bool Append(const std::int16_t* pSamples, std::size_t nCount) {
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
    CAtomicFileReplace m_replace;
    CFile m_file;
    CFileException m_error;
    bool m_bFailed = false;
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
    if (!ParseOptions(argc, argv, o)) {
        std::fputs(kUsage, stderr);
        return kExitRefused;
    }

    std::ifstream script(o.strGesture);
    std::string strError;
    if (!script) {
        std::fprintf(stderr, "%s: cannot be read\n", o.strGesture.c_str());
        return kExitRefused;
    }
    std::vector<GestureRow> rows;
    if (!ParseGestureScript(script, rows, strError)) {
        std::fprintf(stderr, "%s: %s\n", o.strGesture.c_str(), strError.c_str());
        return kExitRefused;
    }

    ToneData tone;
    SetStartupTone(tone);
    if (!o.strTone.empty() && !LoadTone(o.strTone, tone)) return kExitRefused;

    SessionSettings s;
    s.texts = StartupParameterTexts();
    s.texts.strBuffer = o.strBuffer;
    s.texts.strRange = tone.strRange;
    s.texts.strRangeAdjust = tone.strRangeAdjust;
    s.texts.strLeftShift = tone.strLeftShift;
    s.texts.strRightShift = tone.strRightShift;
    s.texts.strModRatio = tone.strModRatio;
    s.texts.strModDepth = tone.strModDepth;
    s.texts.strFeedback = tone.strFeedback;
    s.texts.strDistortion = tone.strDistortion;
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
    }

    // MIDI events leave the audio thread through the queue; taken from it after every block.
    auto pMidiQueue = std::make_unique<CMidiEventQueue>();
    std::vector<MidiEvent> midi;
    auto drainMidi = [&] {
        MidiEvent e;
        while (pMidiQueue->TryPop(e)) midi.push_back(e);
    };
    if (!o.strMidi.empty()) {
        s.pMidiQueue = pMidiQueue.get();
        s.nMidiMode = o.nMidiMode;
    }

    COutputWav out;
    if (!out.Open(o.strOut)) return kExitRefused;
    const bool bStarted = RenderSession(
        s, rows,
        [&o](std::string& strPath) {
            strPath = o.strRecord;
            return true;
        },
        [&](const std::int16_t* p, std::size_t n) {
            drainMidi();
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
