// A play session's take: the pointer and button values the audio thread used, the switching of
// the correction, and the MIDI messages MIDI in played, each at the output sample where they came,
// written as a gesture script that aerolyre-render reads. The audio thread hands rows over through
// a bounded queue and never waits; a thread of the writer's own drains it and writes whole rows at
// least every 100 ms, so a killed program's take is a renderable prefix.
#pragma once

#include <atomic>
#include <cstdint>
#include <string>
#include <thread>

#include "platform/spsc_queue.h"

struct TakeRow {
    std::uint64_t nSample = 0;
    double dX = 0.0;
    double dY = 0.0;
    bool bLeft = false;
    bool bRight = false;
    bool bEnd = false;       // the last row: it only marks the length
    int nCorrection = -1;    // a row that switches the correction: 1 on, 0 off
    double dModScale = 1.0;  // a pen's share of the modulation strength; written only when not 1
    // A MIDI row: a message that MIDI in played at this sample (status and data bytes).
    std::uint8_t nMidiSize = 0;
    std::uint8_t midi[3] = {};
};

using CTakeQueue = CSpscQueue<TakeRow, 65536>;

class CTakeWriter {
public:
    ~CTakeWriter();

    // Creates the script with a comment header (lines without their '#'); false (errno set) when
    // it cannot. bNew: the name must not exist yet (EEXIST when it does); else it is replaced.
    bool Start(const std::string& strPath, const std::string& strHeader, bool bNew = false);
    CTakeQueue& Queue() { return m_queue; }
    // Writes what is queued, the end row included, and closes the file; false on a write error or
    // when rows were lost to a full queue (the file then says so). A take without rows is removed.
    bool Stop();

private:
    void Run();
    bool Drain();
    bool WriteAll(const std::string& text);

    CTakeQueue m_queue;
    std::thread m_thread;
    std::atomic<bool> m_bStop{false};
    int m_fd = -1;
    std::string m_strPath;
    std::string m_strPending;  // whole rows not yet written (the writer's thread only)
    std::size_t m_nRows = 0;
    bool m_bOk = true;
};
