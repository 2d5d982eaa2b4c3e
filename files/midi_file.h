// Standard MIDI Files: format 0, 960 ticks per quarter note at 500000 µs a quarter (1920 ticks a
// second), the events' output samples rounded to the nearest tick.
#pragma once

#include <string>
#include <vector>

#include "platform/midi_out.h"

constexpr int kMidiTicksPerQuarter = 960;
constexpr int kMidiTempo = 500000;  // µs per quarter note

// The file's bytes.
std::string StandardMidiFileBytes(const std::vector<MidiEvent>& events);

// Writes the file whole (a failure leaves an earlier file as it was); false with errno's value.
bool WriteStandardMidiFile(const std::string& strPath, const std::vector<MidiEvent>& events, int& nError);
