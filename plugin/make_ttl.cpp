// Writes the plugin's Turtle description from the settings table and the pointer's ports, at build
// time, so a port's range, default, unit and name are never written by hand.
//
//   aerolyre-lv2-ttl OUT.ttl
#include <cstdio>
#include <string>

#include "engine/tone_parameters.h"
#include "plugin/plugin_ports.h"

namespace {

const char kHead[] = R"T(@prefix atom: <http://lv2plug.in/ns/ext/atom#> .
@prefix doap: <http://usefulinc.com/ns/doap#> .
@prefix foaf: <http://xmlns.com/foaf/0.1/> .
@prefix lv2:  <http://lv2plug.in/ns/lv2core#> .
@prefix midi: <http://lv2plug.in/ns/ext/midi#> .
@prefix patch: <http://lv2plug.in/ns/ext/patch#> .
@prefix rdf:  <http://www.w3.org/1999/02/22-rdf-syntax-ns#> .
@prefix rdfs: <http://www.w3.org/2000/01/rdf-schema#> .
@prefix state: <http://lv2plug.in/ns/ext/state#> .
@prefix units: <http://lv2plug.in/ns/extensions/units#> .
@prefix urid: <http://lv2plug.in/ns/ext/urid#> .
@prefix work: <http://lv2plug.in/ns/ext/worker#> .
@prefix log:  <http://lv2plug.in/ns/ext/log#> .

<)T" AEROLYRE_URI R"T(#filter1>
    a lv2:Parameter ;
    rdfs:label "Filter 1 impulse response (WAV, 44100 Hz mono)" ;
    rdfs:range atom:Path .

<)T" AEROLYRE_URI R"T(#filter2>
    a lv2:Parameter ;
    rdfs:label "Filter 2 impulse response (WAV, 44100 Hz mono)" ;
    rdfs:range atom:Path .

<)T" AEROLYRE_URI R"T(#filter_settings>
    a rdf:Property ;
    rdfs:label "Filter settings (on, the two volumes, delay, feedback)" ;
    rdfs:range atom:Vector .

<)T" AEROLYRE_URI R"T(#developers>
    a foaf:Person ;
    foaf:name "The Aerolyre developers" ;
    foaf:homepage <https://aerolyre.org/> .

<)T" AEROLYRE_URI R"T(>
    a lv2:Plugin, lv2:InstrumentPlugin, doap:Project ;
    doap:name "Aerolyre" ;
    doap:license <https://spdx.org/licenses/GPL-3.0-or-later> ;
    doap:maintainer <)T" AEROLYRE_URI R"T(#developers> ;
    lv2:minorVersion %d ;
    lv2:microVersion %d ;
    lv2:optionalFeature lv2:hardRTCapable, log:log ;
    lv2:requiredFeature urid:map, work:schedule ;
    lv2:extensionData state:interface, work:interface ;
    patch:writable <)T" AEROLYRE_URI R"T(#filter1>, <)T" AEROLYRE_URI R"T(#filter2> ;
    rdfs:comment "A two-operator FM voice played by a pointer: x sets the pitch, y the loudness, the buttons shift the pitch." ;
    lv2:port [
        a lv2:AudioPort, lv2:OutputPort ;
        lv2:index 0 ;
        lv2:symbol "out" ;
        lv2:name "Output"
    ])T";

const char* UnitOf(ToneUnit u) {
    switch (u) {
        case ToneUnit::Octaves: return "units:oct";
        case ToneUnit::Semitones: return "units:semitone12TET";
        case ToneUnit::Percent: return "units:pc";
        case ToneUnit::Samples: return "units:frame";
        default: return nullptr;
    }
}

void Number(std::FILE* f, const char* pszName, double d) {
    std::fprintf(f, " ;\n        lv2:%s %.1f", pszName, d);
}

void ControlPort(std::FILE* f, std::uint32_t nIndex, const char* pszSymbol, const char* pszName,
                 double dDefault, double dMin, double dMax) {
    std::fprintf(f,
                 ", [\n        a lv2:InputPort, lv2:ControlPort ;\n        lv2:index %u ;\n"
                 "        lv2:symbol \"%s\" ;\n        lv2:name \"%s\"",
                 nIndex, pszSymbol, pszName);
    Number(f, "default", dDefault);
    Number(f, "minimum", dMin);
    Number(f, "maximum", dMax);
}

void TonePort(std::FILE* f, const ToneParameter& p) {
    ControlPort(f, static_cast<std::uint32_t>(p.nPort), p.pszSymbol, p.pszName, p.dDefault, p.dMin, p.dMax);
    if (const char* pszUnit = UnitOf(p.unit)) std::fprintf(f, " ;\n        units:unit %s", pszUnit);
    if (p.kind == ToneKind::Toggle) {
        std::fputs(" ;\n        lv2:portProperty lv2:toggled", f);
    } else if (p.kind == ToneKind::Choice) {
        std::fputs(" ;\n        lv2:portProperty lv2:integer, lv2:enumeration", f);
        for (int i = 0; i < kOverCycleChoices; ++i)
            std::fprintf(f, " ;\n        lv2:scalePoint [ rdfs:label \"x%s\" ; rdf:value %d ]",
                         kOverCycleNames[i], i);
    } else if (!p.bFractional) {
        std::fputs(" ;\n        lv2:portProperty lv2:integer", f);
    }
    std::fputs("\n    ]", f);
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: aerolyre-lv2-ttl OUT.ttl\n");
        return 2;
    }
    const std::string strTemp = std::string(argv[1]) + ".tmp";
    std::FILE* f = std::fopen(strTemp.c_str(), "w");
    if (f == nullptr) {
        std::perror(strTemp.c_str());
        return 1;
    }
    std::fprintf(f, kHead, kPluginMinorVersion, kPluginMicroVersion);
    for (std::uint32_t nIndex = 1; nIndex < kPortCount; ++nIndex) {
        for (const PointerPort& p : kPointerPorts) {
            if (p.nIndex != nIndex) continue;
            ControlPort(f, nIndex, p.pszSymbol, p.pszName, p.dDefault, 0.0, 1.0);
            std::fputs(p.bToggled ? " ;\n        lv2:portProperty lv2:toggled\n    ]" : "\n    ]", f);
        }
        for (const ToneParameter& p : kToneParameters) {
            if (p.nPort == static_cast<int>(nIndex)) TonePort(f, p);
        }
        if (nIndex == kPortMidiIn) {
            std::fprintf(
                f,
                ", [\n        a lv2:InputPort, atom:AtomPort ;\n        atom:bufferType atom:Sequence ;\n"
                "        atom:supports midi:MidiEvent, patch:Message ;\n"
                "        lv2:designation lv2:control ;\n        lv2:index %u ;\n"
                "        lv2:symbol \"midi_in\" ;\n        lv2:name \"MIDI in\"\n    ]",
                nIndex);
        }
    }
    std::fputs(" .\n", f);
    if (std::fclose(f) != 0 || std::rename(strTemp.c_str(), argv[1]) != 0) {
        std::perror(argv[1]);
        return 1;
    }
    return 0;
}
