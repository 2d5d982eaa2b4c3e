// A WAV file streamed beside the audio thread: the accompaniment reader and the direct-recording
// writer. The cache is split into two halves; while the audio thread works in one, the stream's
// own I/O thread refills (reader) or writes out (writer) the other, so the audio thread never
// touches the file. An accompaniment that fits the cache is read whole at open and needs no
// thread.
//
// The two sides hand the halves over without locks, through two counts that each have one writer:
// the halves the audio thread has left (m_nHalvesLeft) and the halves the I/O thread has serviced
// (m_nHalvesServiced). Half number n of the session lies at n % 2 in the cache; the I/O thread
// services it once the audio thread has left it, and the audio thread enters it once the I/O
// thread has serviced number n − 1 (a writer's last lap is on disk, a reader's next data is in).
// Counts never step back, so no order of two stores can make either side take a half that is not
// yet its own. m_nPos (the audio thread's position) and m_nHalf (the half serviced next),
// m_nDataEnd and the change to StateEnded or StateFailed (the I/O thread) keep their meaning. Each
// store publishes the cache bytes written before it (release), each load sees them (acquire).
#pragma once

#include <atomic>
#include <cstdint>
#include <memory>
#include <string>
#include <thread>

#include "platform/file.h"
#include "platform/wave_format.h"
#include "platform/win_types.h"

class CWaveStream {
public:
    enum State { StateInMemory = 0, StateStreaming = 1, StateEnded = 2, StateFailed = 3 };

    CWaveStream() = default;
    // Close, then show m_strError if it holds a text.
    virtual ~CWaveStream();
    CWaveStream(const CWaveStream&) = delete;
    CWaveStream& operator=(const CWaveStream&) = delete;

    // Opens an accompaniment (8- or 16-bit PCM, mono or stereo, 44100 Hz). On FALSE m_strError
    // holds the reason and m_nState is StateFailed.
    BOOL OpenRead(const std::string& strPath, DWORD dwCacheBytes, bool bLoop);
    // Creates a recording; nFormat 1 = 16-bit integer, 2 = 32-bit float.
    BOOL OpenWrite(const std::string& strPath, DWORD dwCacheBytes, int nFormat);

    // Audio thread only: the next accompaniment sample, 0 once a non-looping one has ended.
    std::int16_t ReadSample();
    // Audio thread only: appends one sample on the 16-bit scale.
    void WriteSample(double value);

    // Ends streaming, completes a recording, releases everything; m_strError is kept.
    void Close();

    int GetState() const { return m_nState.load(std::memory_order_acquire); }

    // Test only: called on the audio thread each time it has left a half, before it waits for and
    // enters the next one, so a test can hold it there while the I/O thread runs.
    using PausePoint = void (*)(CWaveStream& stream, void* pContext);
    void SetPausePointForTesting(PausePoint pfn, void* pContext) {
        m_pfnPausePoint = pfn;
        m_pPauseContext = pContext;
    }
    std::uint64_t HalvesServiced() const { return m_nHalvesServiced.load(std::memory_order_acquire); }

    // Caps a recording's data below the default (the largest a WAV's size fields can describe),
    // so tests can reach the cap without writing gigabytes.
    void SetDataLimitForTesting(std::uint64_t nBytes) { m_nDataLimit = nBytes; }

    int m_nMode = 0;        // 0 none, 1 writer, 2 reader
    int m_nSampleKind = 1;  // reader: 0 = 8-bit, 1 = 16-bit; writer: 1 = 16-bit, 2 = float
    bool m_bLoop = false;
    std::atomic<bool> m_bRunning{false};
    std::atomic<bool> m_bThreadActive{false};
    std::atomic<int> m_nState{StateInMemory};
    WAVEFORMATEX m_format{};
    DWORD m_nCacheSize = 0;
    DWORD m_nHalfSize = 0;
    std::atomic<DWORD> m_nPos{0};
    std::atomic<std::int32_t> m_nDataEnd{-1};
    std::atomic<int> m_nHalf{0};
    std::int64_t m_nDataStart = -1;
    std::int32_t m_nDataSizePos = 0;
    std::int32_t m_nRiffSizePos = 0;
    std::unique_ptr<BYTE[]> m_pCache;
    CFile m_file;
    std::string m_strError;
    std::thread m_hThread;
    std::thread::id m_dwThreadId;

private:
    static void ReaderThreadProc(CWaveStream* pStream);
    static void WriterThreadProc(CWaveStream* pStream);
    // An I/O thread's life: services one half after another until told to stop, the data ends
    // or a file error (reported, and the stream marked failed) ends it.
    static void IoThreadMain(CWaveStream* pStream, bool (CWaveStream::*pfnServiceHalf)());
    bool ReadNextHalf();
    bool WriteNextHalf();
    // After a write error: the header's sizes from the whole samples on the disk.
    void CompleteAfterFailure();

    // Waits until the audio thread has left half number nHalf, or the stream is asked to stop.
    // Returns whether the half is the I/O thread's to service.
    bool WaitForHalf(std::uint64_t nHalf) const;
    // The I/O thread has serviced the half at nHalf (0 or 1): the other one is next.
    void HalfServiced(int nHalf);
    // The audio thread's side of the handshake after moving to position p.
    void Boundary(DWORD p);
    std::int16_t DecodeFrame(DWORD dwPos) const;
    // Starts the I/O thread; on failure the open fails with message 2200.
    BOOL StartThread(void (*pProc)(CWaveStream*));
    // Keeps at most 254 bytes of the text, cut at a character boundary.
    void SetError(const std::string& strText);
    BOOL FailOpen();

    DWORD m_nFrameSize = 2;      // reader: bytes per frame
    std::uint64_t m_nTaken = 0;  // writer: data bytes taken so far (audio thread only)
    std::uint64_t m_nDataLimit = kMaxDataBytes;
    std::atomic<std::uint64_t> m_nHalvesLeft{0};      // written by the audio thread
    std::atomic<std::uint64_t> m_nHalvesServiced{0};  // written by the I/O thread
    PausePoint m_pfnPausePoint = nullptr;
    void* m_pPauseContext = nullptr;

    // RIFF size = 36 + data must fit in 32 bits too.
    static constexpr std::uint64_t kMaxDataBytes = 0xFFFFFFFFull - 36;
};
