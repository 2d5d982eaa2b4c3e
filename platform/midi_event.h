// One MIDI message of at most three bytes, and the lock-free queues that carry them between the
// audio thread and the ports' threads.
#pragma once

#include <cstdint>

#include "platform/spsc_queue.h"

struct MidiEvent {
    std::uint64_t nSample = 0;  // out: the output sample it belongs to
    std::uint8_t nSize = 0;
    std::uint8_t bytes[3] = {};
};

// Out: from the audio thread to the sender.
using CMidiEventQueue = CSpscQueue<MidiEvent, 16384>;
// In: from one port's thread to the audio thread.
using CMidiInQueue = CSpscQueue<MidiEvent, 1024>;
