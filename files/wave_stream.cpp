// The streaming reader and writer and their I/O threads.
#include "files/wave_stream.h"

#include <sys/resource.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstring>
#include <new>
#include <system_error>

#include "files/wave_file.h"
#include "res/message_box.h"
#include "res/string_table.h"

namespace {

constexpr auto kAcquire = std::memory_order_acquire;
constexpr auto kRelease = std::memory_order_release;
constexpr int kYieldsBeforeSleep = 64;

void LowerThreadPriority() {
    // One step below normal for this thread only; refused quietly where not permitted.
    const pid_t tid = static_cast<pid_t>(::gettid());
    errno = 0;
    const int nNice = ::getpriority(PRIO_PROCESS, tid);
    if (errno == 0) ::setpriority(PRIO_PROCESS, tid, nNice + 1);
}

}  // namespace

CWaveStream::~CWaveStream() {
    Close();
    if (!m_strError.empty()) AfxMessageBox(m_strError);
}

void CWaveStream::SetError(const std::string& strText) {
    constexpr std::size_t kMaxErrorBytes = 254;
    std::size_t n = std::min(strText.size(), kMaxErrorBytes);
    // Back up over UTF-8 continuation bytes so no character is cut in half.
    if (n < strText.size()) {
        while (n > 0 && (static_cast<unsigned char>(strText[n]) & 0xC0) == 0x80) --n;
    }
    m_strError = strText.substr(0, n);
}

BOOL CWaveStream::FailOpen() {
    m_pCache.reset();
    m_file.Abort();
    m_nState.store(StateFailed, kRelease);
    return FALSE;
}

BOOL CWaveStream::StartThread(void (*pProc)(CWaveStream*)) {
    m_bRunning.store(true, kRelease);
    try {
        m_hThread = std::thread(pProc, this);
    } catch (const std::system_error&) {
        m_bRunning.store(false, kRelease);
        SetError(ResString(2200));
        return FailOpen();
    }
    m_dwThreadId = m_hThread.get_id();
    return TRUE;
}

BOOL CWaveStream::OpenRead(const std::string& strPath, DWORD dwCacheBytes, bool bLoop) {
    CFileException e;
    if (!m_file.Open(strPath.c_str(), CFile::modeRead | CFile::shareExclusive, &e)) {
        ReportFileError(e);
        SetError(ResString(2200));
        return FailOpen();
    }
    try {
        DWORD dwDataSize = 0;
        if (!ReadWaveHeader(m_format, m_file, m_strError, dwDataSize)) return FailOpen();
        if (!IsAccompanimentFormat(m_format)) {
            SetError(ResString(2201));
            return FailOpen();
        }
        // Halves must hold whole frames of every accepted format.
        dwCacheBytes = std::max<DWORD>(8, dwCacheBytes & ~DWORD{7});
        DWORD dwSize = dwCacheBytes;
        std::int32_t nDataEnd = -1;
        if (dwDataSize <= dwCacheBytes) {
            dwSize = dwDataSize;
            nDataEnd = static_cast<std::int32_t>(dwDataSize);
        }
        m_pCache.reset(new (std::nothrow) BYTE[dwSize > 0 ? dwSize : 1]);
        if (!m_pCache) {
            SetError(ResString(3000));
            return FailOpen();
        }
        m_nDataStart = static_cast<std::int64_t>(m_file.GetPosition());
        m_bLoop = bLoop;
        m_nSampleKind = m_format.wBitsPerSample == 8 ? 0 : 1;
        m_nFrameSize = m_format.nChannels * (m_format.wBitsPerSample / 8);
        m_nMode = 2;
        m_nCacheSize = dwSize;
        m_nHalfSize = dwSize / 2;
        m_nPos.store(0, kRelease);
        m_nDataEnd.store(nDataEnd, kRelease);
        if (m_file.Read(m_pCache.get(), dwSize) != dwSize) {
            SetError(ResString(2200));
            return FailOpen();
        }
        m_nHalf.store(0, kRelease);
        if (nDataEnd != -1) {
            m_nState.store(StateInMemory, kRelease);
            m_file.Close();
            return TRUE;
        }
        m_nState.store(StateStreaming, kRelease);
    } catch (const CFileException& ex) {
        SetError(ex.GetErrorMessage());
        return FailOpen();
    }

    return StartThread(&CWaveStream::ReaderThreadProc);
}

BOOL CWaveStream::OpenWrite(const std::string& strPath, DWORD dwCacheBytes, int nFormat) {
    CFileException e;
    if (!m_file.Open(strPath.c_str(), CFile::modeCreate | CFile::modeReadWrite | CFile::shareExclusive, &e)) {
        ReportFileError(e);
        SetError(ResString(2202));
        return FailOpen();
    }
    try {
        WriteWaveHeader(m_file, nFormat);
        // Valid from the first moment: an empty recording says so.
        CompleteWaveSizes(m_file);
        m_file.Seek(0, CFile::end);
    } catch (const CFileException& ex) {
        SetError(ex.GetErrorMessage());
        return FailOpen();
    }
    m_nRiffSizePos = kRiffSizeOffset;
    m_nDataSizePos = kDataSizeOffset;

    // Halves must hold whole samples of either format.
    dwCacheBytes = std::max<DWORD>(8, dwCacheBytes & ~DWORD{7});
    m_pCache.reset(new (std::nothrow) BYTE[dwCacheBytes]);
    if (!m_pCache) {
        SetError(ResString(3000));
        return FailOpen();
    }
    m_nDataStart = kWaveHeaderBytes;
    m_nCacheSize = dwCacheBytes;
    m_nHalfSize = dwCacheBytes / 2;
    m_nMode = 1;
    m_nSampleKind = nFormat == kRecordInt16 ? 1 : 2;
    m_bLoop = false;
    m_nTaken = 0;
    m_nPos.store(0, kRelease);
    m_nState.store(StateStreaming, kRelease);
    m_nHalf.store(0, kRelease);
    return StartThread(&CWaveStream::WriterThreadProc);
}

bool CWaveStream::WaitForHalf(std::uint64_t nHalf) const {
    auto left = [&] { return m_nHalvesLeft.load(kAcquire) > nHalf; };
    while (!left()) {
        // After a stop request the audio thread has stopped moving, so a second look is final.
        if (!m_bRunning.load(kAcquire)) return left();
        // A half lasts 93 ms or more of audio, so polling every millisecond is prompt enough; a
        // yielding loop here would keep a core busy and take time from the audio thread.
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    return true;
}

void CWaveStream::HalfServiced(int nHalf) {
    m_nHalf.store(1 - nHalf, kRelease);
    // The count is the hand-over: the audio thread may enter the half after this store.
    m_nHalvesServiced.store(m_nHalvesServiced.load(std::memory_order_relaxed) + 1, kRelease);
}

void CWaveStream::IoThreadMain(CWaveStream* p, bool (CWaveStream::*pfnServiceHalf)()) {
    p->m_bThreadActive.store(true, kRelease);
    LowerThreadPriority();
    try {
        while ((p->*pfnServiceHalf)()) {
        }
    } catch (const CFileException& e) {
        ReportFileError(e);
        if (p->m_nMode == 1) p->CompleteAfterFailure();
        p->m_nState.store(StateFailed, kRelease);
    }
    p->m_bThreadActive.store(false, kRelease);
}

void CWaveStream::ReaderThreadProc(CWaveStream* p) { IoThreadMain(p, &CWaveStream::ReadNextHalf); }

void CWaveStream::WriterThreadProc(CWaveStream* p) { IoThreadMain(p, &CWaveStream::WriteNextHalf); }

bool CWaveStream::ReadNextHalf() {
    // Only this thread writes the count, so its own last store is what it reads.
    const std::uint64_t nService = m_nHalvesServiced.load(std::memory_order_relaxed);
    const int nHalf = static_cast<int>(nService % 2);
    WaitForHalf(nService);
    if (!m_bRunning.load(kAcquire)) return false;

    const DWORD dwOffset = nHalf == 0 ? 0 : m_nHalfSize;
    BYTE* pDest = m_pCache.get() + dwOffset;
    UINT nFilled = m_file.Read(pDest, m_nHalfSize);
    // Looping, the rest of the half comes from the first sample byte on, as often as it takes.
    while (nFilled < m_nHalfSize && m_bLoop) {
        m_file.Seek(m_nDataStart, CFile::begin);
        const UINT nMore = m_file.Read(pDest + nFilled, m_nHalfSize - nFilled);
        if (nMore == 0) break;  // nothing left to loop over: end in silence instead of spinning
        nFilled += nMore;
    }
    if (nFilled < m_nHalfSize) {
        // The data ends here; the state follows the end, so the audio thread sees both.
        m_nDataEnd.store(static_cast<std::int32_t>(dwOffset + nFilled), kRelease);
        m_nState.store(StateEnded, kRelease);
        return false;
    }
    HalfServiced(nHalf);
    return true;
}

bool CWaveStream::WriteNextHalf() {
    const std::uint64_t nService = m_nHalvesServiced.load(std::memory_order_relaxed);
    const int nHalf = static_cast<int>(nService % 2);
    // A half the audio thread has completed is written even after the stop request.
    if (!WaitForHalf(nService)) return false;
    m_file.Write(m_pCache.get() + (nHalf == 0 ? 0 : m_nHalfSize), m_nHalfSize);
    // The header follows what is on the disk, so a recording cut short by a crash, a kill or a
    // full disk is still a valid file with every sample written so far.
    CompleteWaveSizes(m_file);
    m_file.Seek(0, CFile::end);
    HalfServiced(nHalf);
    return true;
}

void CWaveStream::CompleteAfterFailure() {
    // A write cut short may have left part of a sample: the sizes count whole samples only.
    try {
        const std::uint64_t nLength = m_file.GetLength();
        if (nLength < kWaveHeaderBytes) return;
        const DWORD dwSample = m_nSampleKind == 1 ? 2 : 4;
        const std::uint64_t nWhole = kWaveHeaderBytes + (nLength - kWaveHeaderBytes) / dwSample * dwSample;
        m_file.SetLength(nWhole);
        CompleteWaveSizes(m_file);
    } catch (const CFileException&) {
        // The disk refuses even the header: nothing more can be saved.
    }
}

std::int16_t CWaveStream::DecodeFrame(DWORD dwPos) const {
    const BYTE* f = m_pCache.get() + dwPos;
    if (m_nSampleKind == 0) {
        if (m_format.nChannels == 1) return Decode8Bit(f[0]);
        return DecodeStereo(Decode8Bit(f[0]), Decode8Bit(f[1]));
    }
    const auto left = static_cast<std::int16_t>(ReadLe16(f));
    if (m_format.nChannels == 1) return left;
    return DecodeStereo(left, static_cast<std::int16_t>(ReadLe16(f + 2)));
}

void CWaveStream::Boundary(DWORD p) {
    if (p != m_nHalfSize && p < m_nCacheSize) {
        m_nPos.store(p, kRelease);
        return;
    }
    // The half is left: from this store on the I/O thread may write it out or refill it.
    const std::uint64_t nLeft = m_nHalvesLeft.load(std::memory_order_relaxed) + 1;
    m_nHalvesLeft.store(nLeft, kRelease);
    if (m_pfnPausePoint != nullptr) m_pfnPausePoint(*this, m_pPauseContext);
    // The next half, number nLeft, is ours once the I/O thread has serviced the one before it
    // (its last lap's content is on disk, or the data due in it has been read). A stream that
    // ended or failed releases the wait.
    // Yields first; a longer wait sleeps, since a real-time audio thread that only yielded would
    // keep a lower-priority I/O thread off its core.
    for (int nTries = 0;
         m_nState.load(kAcquire) == StateStreaming && m_nHalvesServiced.load(kAcquire) + 1 < nLeft;
         ++nTries) {
        if (nTries < kYieldsBeforeSleep) {
            std::this_thread::yield();
        } else {
            std::this_thread::sleep_for(std::chrono::microseconds(50));
        }
    }
    m_nPos.store(p >= m_nCacheSize ? 0 : p, kRelease);
}

std::int16_t CWaveStream::ReadSample() {
    const auto f = static_cast<std::int64_t>(m_nFrameSize);
    const std::int32_t nDataEnd = m_nDataEnd.load(kAcquire);
    DWORD pos = m_nPos.load(std::memory_order_relaxed);  // written only by this thread
    auto endReached = [&](DWORD at) { return nDataEnd - static_cast<std::int64_t>(at) < f; };

    if (nDataEnd == -1) {
        const std::int16_t v = DecodeFrame(pos);
        Boundary(pos + m_nFrameSize);
        return v;
    }
    if (m_nState.load(kAcquire) == StateInMemory || m_nHalf.load(kAcquire) == 1) {
        // The whole remaining data lies ahead in the cache.
        if (endReached(pos)) return 0;
        const std::int16_t v = DecodeFrame(pos);
        pos += m_nFrameSize;
        // Only a file held whole in the cache loops here; a streamed one that ended while looping
        // has shrunk, and the cache holds nothing of it worth repeating.
        if (endReached(pos) && m_bLoop && m_nState.load(kAcquire) == StateInMemory) pos = 0;
        m_nPos.store(pos, kRelease);
        return v;
    }
    // The data ended in the first half while this thread reads the second.
    if (pos < m_nHalfSize && endReached(pos)) return 0;
    const std::int16_t v = DecodeFrame(pos);
    pos += m_nFrameSize;
    if (pos >= m_nCacheSize) pos = 0;
    m_nPos.store(pos, kRelease);
    return v;
}

void CWaveStream::WriteSample(double value) {
    if (m_nState.load(kAcquire) == StateFailed) return;
    const DWORD dwSize = m_nSampleKind == 1 ? 2 : 4;
    // Past this the WAV's size fields would wrap: the recording stops taking samples.
    if (m_nTaken + dwSize > m_nDataLimit) return;
    m_nTaken += dwSize;

    const DWORD pos = m_nPos.load(std::memory_order_relaxed);
    BYTE* pDest = m_pCache.get() + pos;
    if (m_nSampleKind == 1) {
        const std::int16_t s = EncodeRecord16(value);
        std::memcpy(pDest, &s, 2);
    } else {
        const float fv = EncodeRecordFloat(value);
        std::memcpy(pDest, &fv, 4);
    }
    Boundary(pos + dwSize);
}

void CWaveStream::Close() {
    m_bRunning.store(false, kRelease);
    // Joining, rather than polling a flag the thread sets itself, also covers a thread that has
    // not started running yet.
    if (m_hThread.joinable()) m_hThread.join();

    if (m_nMode == 1 && m_nState.load(kAcquire) == StateStreaming) {
        try {
            const DWORD pos = m_nPos.load(kAcquire);
            const DWORD dwStart = pos >= m_nHalfSize ? m_nHalfSize : 0;
            m_file.Write(m_pCache.get() + dwStart, pos - dwStart);
            CompleteWaveSizes(m_file);
            m_file.Close();
        } catch (const CFileException& e) {
            SetError(e.GetErrorMessage());
            CompleteAfterFailure();
        }
    }

    m_pCache.reset();
    m_file.Abort();
    m_nMode = 0;
    m_nSampleKind = 1;
    m_bLoop = false;
    m_bThreadActive.store(false, kRelease);
    m_nState.store(StateInMemory, kRelease);
    m_format = WAVEFORMATEX{};
    m_nCacheSize = 0;
    m_nHalfSize = 0;
    m_nPos.store(0, kRelease);
    m_nDataEnd.store(-1, kRelease);
    m_nHalf.store(0, kRelease);
    m_nHalvesLeft.store(0, kRelease);
    m_nHalvesServiced.store(0, kRelease);
    m_nDataStart = -1;
    m_nDataSizePos = 0;
    m_nRiffSizePos = 0;
    m_dwThreadId = {};
    m_nFrameSize = 2;
    m_nTaken = 0;
}
