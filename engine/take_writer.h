// A play session's take: the pointer and button values the audio thread used, and the switching
// of the correction, each at the output sample where they changed, written as a gesture script
// that aerolyre-render reads. The audio
// thread hands rows over through a bounded queue and never waits; a thread of the writer's own
// drains it to the file, so memory stays bounded however long the session.
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
};

using CTakeQueue = CSpscQueue<TakeRow, 65536>;

class CTakeWriter {
public:
    ~CTakeWriter();

    // Creates the script with a comment header (lines without their '#'); false when it cannot.
    bool Start(const std::string& strPath, const std::string& strHeader);
    CTakeQueue& Queue() { return m_queue; }
    // Writes what is queued, the end row included, and closes the file; false on a write error or
    // when rows were lost to a full queue (the file then says so).
    bool Stop();

private:
    void Run();
    bool Drain();

    CTakeQueue m_queue;
    std::thread m_thread;
    std::atomic<bool> m_bStop{false};
    std::FILE* m_pFile = nullptr;
    bool m_bOk = true;
};
