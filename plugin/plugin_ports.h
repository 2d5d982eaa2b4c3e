// The plugin's ports: the output, the pointer's four controls and the MIDI input, declared here;
// the tone and filter controls are the settings table's rows with a port. Indices and symbols are
// what hosts' saved projects name, so they never change; new ports come after the last.
#pragma once

#include <cstdint>

#include "engine/tone_parameters.h"

#define AEROLYRE_URI "https://aerolyre.org/plugins/aerolyre"

enum PluginPort : std::uint32_t {
    kPortOut = 0,
    kPortX = 1,
    kPortY = 2,
    kPortLeft = 3,
    kPortRight = 4,
    kPortMidiIn = 15,
    kPortCount = 21
};

// A pointer control's declaration, as the Turtle gives it to hosts.
struct PointerPort {
    std::uint32_t nIndex;
    const char* pszSymbol;
    const char* pszName;
    double dDefault;
    bool bToggled;  // a button: off below a half
};

inline constexpr PointerPort kPointerPorts[] = {
    {kPortX, "x", "Pointer x (pitch)", 0.5, false},
    {kPortY, "y", "Pointer y (loudness: 0 loud, 1 silent)", 1.0, false},
    {kPortLeft, "left", "Left button (pitch shift)", 0.0, true},
    {kPortRight, "right", "Right button (pitch shift)", 0.0, true},
};

// The plugin's version for hosts (lv2:minorVersion, lv2:microVersion): a host reloads a plugin's
// description when it grows.
constexpr int kPluginMinorVersion = 2;
constexpr int kPluginMicroVersion = 0;
