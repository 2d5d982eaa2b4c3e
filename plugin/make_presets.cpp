// Writes the plugin's presets from the example tones, at build time: one pset:Preset per tone file
// (every control port's value and, as the plugin's state, the tone's impulse responses as WAV
// files beside the preset), and the bundle's manifest that names the plugin and each preset. A new
// example tone becomes a preset by itself.
//
//   aerolyre-make-presets BUNDLE_DIR TONE.aly...
#include <algorithm>
#include <cctype>
#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

#include "engine/decimal_text.h"
#include "engine/tone_parameters.h"
#include "engine/tone_texts.h"
#include "files/tone_file.h"
#include "files/wave_file.h"
#include "platform/file.h"
#include "plugin/plugin_ports.h"

namespace {

namespace fs = std::filesystem;

// The tone's value for each control port, as the main dialog would hold it; over-cycle and the
// pointer are not part of a tone and keep their defaults.
std::string PortValues(const ToneData& tone) {
    ParameterTexts texts;
    CopyToneToTexts(tone, texts);
    ToneValues v = DefaultToneValues();
    for (const ToneParameter& p : kToneParameters) {
        if (p.pText != nullptr)
            ValueOf(v, p.id) = ToneValueInRange(p, AtoiSaturating(texts.*p.pText), p.dDefault);
    }
    ValueOf(v, ToneParam::Detune) = tone.nCheckDetune == 1 ? 1 : 0;
    ValueOf(v, ToneParam::FirOn) = tone.nCheckFir == 1 ? 1 : 0;
    const std::pair<ToneParam, int> filter[] = {{ToneParam::FirInputVolume, tone.nFirInputVolume},
                                                {ToneParam::FirFilter2Volume, tone.nFirFilter2Volume},
                                                {ToneParam::FirDelay, tone.nFirDelay},
                                                {ToneParam::FirFeedback, tone.nFirFeedback}};
    for (const auto& [id, n] : filter) ValueOf(v, id) = ToneValueInRange(ToneParameterOf(id), n, 0.0);
    std::string s;
    char sz[160];
    for (const PointerPort& p : kPointerPorts) {
        std::snprintf(sz, sizeof sz, "    lv2:port [ lv2:symbol \"%s\" ; pset:value %.1f ] ;\n", p.pszSymbol,
                      p.dDefault);
        s += sz;
    }
    for (const ToneParameter& p : kToneParameters) {
        if (p.nPort < 0) continue;
        std::snprintf(sz, sizeof sz, "    lv2:port [ lv2:symbol \"%s\" ; pset:value %.1f ] ;\n", p.pszSymbol,
                      ValueOf(v, p.id));
        s += sz;
    }
    return s;
}

// One filter's taps as the program's loader takes them: 32-bit float, mono, 44100 Hz.
bool WriteTaps(const fs::path& path, const CFirFilter& filter) {
    CFile file;
    if (!file.Open(path.c_str(), CFile::modeCreate | CFile::modeWrite)) return false;
    try {
        WriteWaveHeader(file, kRecordFloat32);
        file.Write(filter.m_pTaps, static_cast<UINT>(filter.m_nTaps * sizeof(float)));
        CompleteWaveSizes(file);
        file.Close();
    } catch (const CFileException&) {
        return false;
    }
    return true;
}

std::string Label(const std::string& strStem) {
    std::string s = strStem;
    if (!s.empty()) s[0] = static_cast<char>(std::toupper(static_cast<unsigned char>(s[0])));
    std::replace(s.begin(), s.end(), '_', ' ');
    return s;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 2) {
        std::fprintf(stderr, "usage: aerolyre-make-presets BUNDLE_DIR TONE.aly...\n");
        return 2;
    }
    const fs::path bundle = argv[1];
    std::string strManifest =
        "@prefix lv2:  <http://lv2plug.in/ns/lv2core#> .\n"
        "@prefix pset: <http://lv2plug.in/ns/ext/presets#> .\n"
        "@prefix rdfs: <http://www.w3.org/2000/01/rdf-schema#> .\n\n"
        "<" AEROLYRE_URI
        ">\n    a lv2:Plugin ;\n    lv2:binary <aerolyre.so> ;\n    rdfs:seeAlso <aerolyre.ttl> .\n";
    std::error_code ec;
    fs::create_directories(bundle / "presets", ec);
    for (int i = 2; i < argc; ++i) {
        const fs::path tonePath = argv[i];
        const std::string stem = tonePath.stem().string();
        ToneData tone;
        CFile file;
        if (!file.Open(argv[i], CFile::modeRead) || ReadToneFile(file, tone) != kToneFieldCount) {
            std::fprintf(stderr, "aerolyre-make-presets: %s is no tone file\n", argv[i]);
            return 1;
        }
        const std::string uri = AEROLYRE_URI "#preset-" + stem;
        std::string strState;
        const CFirFilter* apFilter[2] = {&tone.firFilter1, &tone.firFilter2};
        for (int f = 0; f < 2; ++f) {
            // The identity needs no file: the plugin starts with it.
            if (apFilter[f]->m_nTaps == 1 && apFilter[f]->m_pTaps[0] == 1.0f) continue;
            const std::string name = stem + "-filter" + std::to_string(f + 1) + ".wav";
            if (!WriteTaps(bundle / "presets" / name, *apFilter[f])) {
                std::fprintf(stderr, "aerolyre-make-presets: %s could not be written\n", name.c_str());
                return 1;
            }
            strState += "        <" AEROLYRE_URI "#filter" + std::to_string(f + 1) + "> <" + name + "> ;\n";
        }
        // The filter settings as the plugin's state keeps them, so the first block after loading
        // already sounds through the stage they make.
        char szSettings[256];
        std::snprintf(
            szSettings, sizeof szSettings,
            "        <" AEROLYRE_URI
            "#filter_settings> [\n            a atom:Vector ;\n"
            "            atom:childType atom:Int ;\n            rdf:value ( \"%d\"^^xsd:int \"%d\"^^xsd:int "
            "\"%d\"^^xsd:int \"%d\"^^xsd:int \"%d\"^^xsd:int )\n        ] ;\n",
            tone.nCheckFir == 1 ? 1 : 0, tone.nFirInputVolume, tone.nFirFilter2Volume, tone.nFirDelay,
            tone.nFirFeedback);
        strState += szSettings;
        std::string strPreset =
            "@prefix atom: <http://lv2plug.in/ns/ext/atom#> .\n"
            "@prefix lv2:  <http://lv2plug.in/ns/lv2core#> .\n"
            "@prefix pset: <http://lv2plug.in/ns/ext/presets#> .\n"
            "@prefix rdf:  <http://www.w3.org/1999/02/22-rdf-syntax-ns#> .\n"
            "@prefix rdfs: <http://www.w3.org/2000/01/rdf-schema#> .\n"
            "@prefix state: <http://lv2plug.in/ns/ext/state#> .\n"
            "@prefix xsd:  <http://www.w3.org/2001/XMLSchema#> .\n\n"
            "<" +
            uri +
            ">\n    a pset:Preset ;\n    lv2:appliesTo <" AEROLYRE_URI
            "> ;\n"
            "    rdfs:label \"" +
            Label(stem) + "\" ;\n" + PortValues(tone);
        strState.resize(strState.size() - 3);  // the last " ;\n"
        strPreset += "    state:state [\n" + strState + "\n    ] ;\n";
        strPreset.resize(strPreset.size() - 2);
        strPreset += " .\n";
        const fs::path out = bundle / "presets" / (stem + ".ttl");
        std::FILE* f = std::fopen(out.c_str(), "w");
        if (f == nullptr || std::fputs(strPreset.c_str(), f) < 0 || std::fclose(f) != 0) {
            std::fprintf(stderr, "aerolyre-make-presets: %s could not be written\n", out.c_str());
            return 1;
        }
        strManifest += "\n<" + uri +
                       ">\n    a pset:Preset ;\n    lv2:appliesTo <" AEROLYRE_URI
                       "> ;\n"
                       "    rdfs:label \"" +
                       Label(stem) + "\" ;\n    rdfs:seeAlso <presets/" + stem + ".ttl> .\n";
    }
    std::FILE* f = std::fopen((bundle / "manifest.ttl").c_str(), "w");
    if (f == nullptr || std::fputs(strManifest.c_str(), f) < 0 || std::fclose(f) != 0) {
        std::fprintf(stderr, "aerolyre-make-presets: the manifest could not be written\n");
        return 1;
    }
    return 0;
}
