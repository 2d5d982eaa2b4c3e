// The Standard MIDI File writer.
#include "files/midi_file.h"

#include <cmath>

#include "platform/atomic_file.h"
#include "platform/sample_scale.h"

namespace {

void PutBe(std::string& out, std::uint32_t v, int nBytes) {
    for (int i = nBytes - 1; i >= 0; --i) out += static_cast<char>((v >> (8 * i)) & 0xFF);
}

void PutVarLen(std::string& out, std::uint32_t v) {
    char buf[5];
    int n = 0;
    buf[n++] = static_cast<char>(v & 0x7F);
    while ((v >>= 7) != 0) buf[n++] = static_cast<char>(0x80 | (v & 0x7F));
    while (n > 0) out += buf[--n];
}

std::uint64_t Tick(std::uint64_t nSample) {
    constexpr double kTicksPerSecond = kMidiTicksPerQuarter * 1e6 / kMidiTempo;
    return static_cast<std::uint64_t>(
        std::llround(static_cast<double>(nSample) * kTicksPerSecond / kSampleRate));
}

}  // namespace

std::string StandardMidiFileBytes(const std::vector<MidiEvent>& events) {
    std::string track;
    // Tempo at tick 0.
    track += std::string("\x00\xFF\x51\x03", 4);
    PutBe(track, kMidiTempo, 3);
    std::uint64_t nLast = 0;
    for (const MidiEvent& e : events) {
        const std::uint64_t t = Tick(e.nSample);
        PutVarLen(track, static_cast<std::uint32_t>(t - nLast));
        nLast = t;
        track.append(reinterpret_cast<const char*>(e.bytes), e.nSize);
    }
    track += std::string("\x00\xFF\x2F\x00", 4);

    std::string out = "MThd";
    PutBe(out, 6, 4);
    PutBe(out, 0, 2);  // format 0
    PutBe(out, 1, 2);  // one track
    PutBe(out, kMidiTicksPerQuarter, 2);
    out += "MTrk";
    PutBe(out, static_cast<std::uint32_t>(track.size()), 4);
    return out + track;
}

bool WriteStandardMidiFile(const std::string& strPath, const std::vector<MidiEvent>& events, int& nError) {
    return ReplaceFileContent(strPath, StandardMidiFileBytes(events), nError);
}
