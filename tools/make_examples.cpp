// Writes the example material into a folder: impulse-response WAVs, tones that use them and
// gesture scripts that play them. Everything is computed, with a fixed noise seed, so the same
// program writes the same bytes; scripts/make-examples.sh refreshes examples/ with it.
//   aerolyre-make-examples DIR   ->  DIR/ir/*.wav, DIR/tones/*.aly, DIR/gestures/*.csv
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <numbers>
#include <string>
#include <vector>

#include "engine/parameter_derivation.h"
#include "engine/performance_parameters.h"
#include "engine/performance_state.h"
#include "engine/pitch_mapping.h"
#include "engine/tone_parameters.h"
#include "engine/tone_texts.h"
#include "files/filter_wave.h"
#include "files/tone_file.h"
#include "files/wave_file.h"
#include "platform/file.h"
#include "platform/message_service.h"

namespace {

constexpr double kRate = kSampleRate;
constexpr double kFullScale = 32767.0;

// A small linear congruential generator: the same noise on every machine and compiler.
class CNoise {
public:
    double Next() {  // uniform in [−1, 1)
        m_nState = m_nState * 6364136223846793005ull + 1442695040888963407ull;
        return static_cast<double>(m_nState >> 11) / 4503599627370496.0 - 1.0;
    }

private:
    std::uint64_t m_nState = 0x2545F4914F6CDD1Dull;
};

// A short room: the direct sound, four early reflections, then a diffuse tail that decays by
// 60 dB in 0.25 s and darkens as it goes (a one-pole low-pass whose cut-off falls).
std::vector<double> RoomResponse() {
    const auto nLength = static_cast<std::size_t>(0.25 * kRate);
    std::vector<double> h(nLength, 0.0);
    h[0] = 1.0;
    const double aReflections[][2] = {{0.0071, 0.55}, {0.0113, -0.42}, {0.0167, 0.33}, {0.0229, -0.27}};
    for (const auto& r : aReflections) h[static_cast<std::size_t>(r[0] * kRate)] += r[1];
    CNoise noise;
    double dSmoothed = 0.0;
    const auto nTailStart = static_cast<std::size_t>(0.012 * kRate);
    for (std::size_t i = nTailStart; i < nLength; ++i) {
        const double t = static_cast<double>(i) / kRate;
        const double dDecay = std::pow(10.0, -3.0 * t / 0.25);
        const double dPole = 0.2 + 0.7 * (t / 0.25);
        dSmoothed = dPole * dSmoothed + (1.0 - dPole) * noise.Next();
        h[i] += 0.45 * dDecay * dSmoothed;
    }
    return h;
}

// A gentle low-pass at about 6 kHz: a 31-tap windowed sinc (Blackman window).
std::vector<double> SoftenResponse() {
    constexpr int kTaps = 31;
    constexpr double kCutoff = 6000.0 / kRate;
    std::vector<double> h(kTaps);
    for (int i = 0; i < kTaps; ++i) {
        const double m = i - (kTaps - 1) / 2.0;
        const double dSinc =
            m == 0 ? 2.0 * kCutoff : std::sin(2.0 * std::numbers::pi * kCutoff * m) / (std::numbers::pi * m);
        const double w = 0.42 - 0.5 * std::cos(2.0 * std::numbers::pi * i / (kTaps - 1)) +
                         0.08 * std::cos(4.0 * std::numbers::pi * i / (kTaps - 1));
        h[i] = dSinc * w;
    }
    return h;
}

// As 16-bit samples with the peak at full scale: the stage scales each filter by its own sum.
bool WriteResponse(const std::string& strPath, const std::vector<double>& h) {
    double dPeak = 0.0;
    for (double v : h) dPeak = std::max(dPeak, std::abs(v));
    try {
        CFile file;
        CFileException e;
        if (!file.Open(strPath.c_str(), CFile::modeCreate | CFile::modeWrite, &e)) throw e;
        WriteWaveHeader(file, 1);
        std::vector<unsigned char> bytes;
        for (double v : h) {
            const auto s = static_cast<std::int16_t>(std::lround(v / dPeak * kFullScale));
            bytes.push_back(static_cast<unsigned char>(s & 0xFF));
            bytes.push_back(static_cast<unsigned char>((s >> 8) & 0xFF));
        }
        file.Write(bytes.data(), static_cast<UINT>(bytes.size()));
        CompleteWaveSizes(file);
        file.Close();
    } catch (const CFileException& e) {
        std::fprintf(stderr, "%s\n", e.GetErrorMessage().c_str());
        return false;
    }
    return true;
}

// The volume, in percent, that gives a filter about the loudness of a single tap back: the stage
// divides by the sum of the tap magnitudes, which a long tail makes large.
int RestoringVolume(const CFirFilter& filter) {
    double dEnergy = 0.0;
    for (int i = 0; i < filter.m_nTaps; ++i)
        dEnergy += static_cast<double>(filter.m_pTaps[i]) * filter.m_pTaps[i];
    // Half of that: the room's resonances would otherwise push peaks past full scale.
    const double dVolume = 50.0 * filter.m_fSumAbs / std::sqrt(dEnergy);
    return static_cast<int>(std::min(ToneParameterOf(ToneParam::FirInputVolume).dMax, std::round(dVolume)));
}

bool WriteTone(const std::string& strPath, ToneData& tone) {
    CFile file;
    CFileException e;
    if (!file.Open(strPath.c_str(), CFile::modeCreate | CFile::modeWrite, &e)) {
        std::fprintf(stderr, "%s\n", e.GetErrorMessage().c_str());
        return false;
    }
    return WriteToneFile(file, tone) != FALSE;
}

// The board's x for a frequency, with the start-up range and no button held.
double XForHz(const PitchMapping& m, double dHz) { return m.XForLog2Hz(std::log2(dHz)); }

bool WriteText(const std::string& strPath, const std::string& strText) {
    std::ofstream out(strPath, std::ios::binary);
    out << strText;
    return static_cast<bool>(out.flush());
}

std::string Row(long nSample, double x, double y, int nLeft = 0, int nRight = 0) {
    char line[96];
    std::snprintf(line, sizeof line, "%ld,%.6f,%.4f,%d,%d\n", nSample, x, y, nLeft, nRight);
    return line;
}

constexpr double kC4 = 261.6255653005986;

// C major from C4 to C5, 0.4 s a note at a steady loudness, then silence.
std::string ScaleScript(const PitchMapping& m) {
    std::string s =
        "# C major scale, C4 to C5, 0.4 s a note (start-up range: 5 octaves)\nsample,x,y,left,right\n";
    const int aSteps[] = {0, 2, 4, 5, 7, 9, 11, 12};
    const long nNote = static_cast<long>(0.4 * kRate);
    long n = 0;
    for (int k : aSteps) {
        s += Row(n, XForHz(m, kC4 * std::pow(2.0, k / 12.0)), 0.2);
        n += nNote;
    }
    s += Row(n, XForHz(m, 2 * kC4), 1.0);
    s += Row(n + static_cast<long>(0.3 * kRate), 0.0, 1.0);
    return s;
}

// A swell from C4 up to G4 over one second, then G4 held with a 5.5 Hz vibrato of a quarter tone
// either way that sets in gradually, then a release. The pointer moves every 10 ms.
std::string GlideScript(const PitchMapping& m) {
    std::string s = "# glide C4 to G4 with a swell, then G4 with vibrato\nsample,x,y,left,right\n";
    constexpr long kStep = 441;
    const double xC4 = XForHz(m, kC4);
    const double xG4 = XForHz(m, kC4 * std::pow(2.0, 7.0 / 12.0));
    const double dQuarterTone = XForHz(m, kC4 * std::pow(2.0, 7.5 / 12.0)) - xG4;
    long n = 0;
    for (; n < static_cast<long>(1.0 * kRate); n += kStep) {
        const double t = n / kRate;
        s += Row(n, xC4 + (xG4 - xC4) * t, 0.45 - 0.25 * t);
    }
    const long nHoldStart = n;
    for (; n < static_cast<long>(2.5 * kRate); n += kStep) {
        const double t = (n - nHoldStart) / kRate;
        const double dDepth = std::min(1.0, t / 0.5) * dQuarterTone;
        s += Row(n, xG4 + dDepth * std::sin(2.0 * std::numbers::pi * 5.5 * t), 0.2);
    }
    s += Row(n, xG4, 1.0);
    s += Row(n + static_cast<long>(0.3 * kRate), 0.0, 1.0);
    return s;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: aerolyre-make-examples DIR\n");
        return 2;
    }
    SetMessageSink([](const std::string& s, MessageIcon) { std::fprintf(stderr, "%s\n", s.c_str()); });
    InitPerformanceState();
    const std::string dir = argv[1];
    std::error_code ec;
    for (const char* sub : {"/ir", "/tones", "/gestures"}) std::filesystem::create_directories(dir + sub, ec);

    bool ok = WriteResponse(dir + "/ir/room.wav", RoomResponse()) &&
              WriteResponse(dir + "/ir/soften.wav", SoftenResponse());
    if (!ok) return 1;

    // plain: the start-up tone, as the program opens.
    ToneData plain;
    CopyTextsToTone(StartupParameterTexts(), plain);
    ok = WriteTone(dir + "/tones/plain.aly", plain);

    // room: a slightly brighter voice through the room, then softened.
    ToneData room;
    CopyTextsToTone(StartupParameterTexts(), room);
    room.strModDepth = "30";
    room.nCheckFir = 1;
    ok = ok && LoadFilterWave(room.firFilter1, dir + "/ir/room.wav") &&
         LoadFilterWave(room.firFilter2, dir + "/ir/soften.wav");
    room.strFirFile1 = "room.wav";
    room.strFirFile2 = "soften.wav";
    room.nFirInputVolume = RestoringVolume(room.firFilter1);
    room.nFirFilter2Volume = RestoringVolume(room.firFilter2);
    ok = ok && WriteTone(dir + "/tones/room.aly", room);

    // feedback: the modulator fed back on itself for a reedy, brassy edge, with the detune's drift.
    ToneData feedback;
    CopyTextsToTone(StartupParameterTexts(), feedback);
    feedback.strModRatio = "2";
    feedback.strModDepth = "12";
    feedback.strFeedback = "300";
    feedback.nCheckDetune = 1;
    ok = ok && WriteTone(dir + "/tones/feedback.aly", feedback);

    // The derivation gives the pitch mapping of the start-up range that the scripts are written for.
    DeriveParameters(StartupParameterTexts(), 0, 1);
    const PitchMapping m = MappingOf(PerformanceState);
    ok = ok && WriteText(dir + "/gestures/scale.csv", ScaleScript(m));
    ok = ok && WriteText(dir + "/gestures/glide-vibrato.csv", GlideScript(m));
    return ok ? 0 : 1;
}
