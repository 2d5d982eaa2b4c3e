// The device behind a wave-output handle: a queue of blocks shared by every device kind, and the
// interface each kind implements (one source file per kind).
//
// Blocks travel through a single-producer single-consumer ring: the thread that writes blocks
// (the audio thread) adds at the tail, the device's consumer (a sound server's callback, or a
// paced thread) takes from the head. The consumer never locks or allocates. Reset stops the
// consumer first and then returns what is left in the ring from the caller's thread.
#pragma once

#include <algorithm>
#include <atomic>
#include <cstdint>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "platform/wave_out_types.h"

struct WaveOutDevice {
    static constexpr std::size_t kRingSize = 64;  // more than the 16 blocks a session keeps in flight

    virtual ~WaveOutDevice() = default;

    // Starts the consumer (again, after a reset); false when the device refuses to run.
    virtual bool StartConsumer() = 0;
    // Stops the consumer; when it returns, no callback of the device touches the ring.
    virtual void StopConsumer() = 0;
    // A block has just been queued (a device with a feeder thread wakes it).
    virtual void Queued() {}
    // Whether a sound server or card paces it (its feeders then want real-time scheduling).
    virtual bool PlaysInRealTime() const { return false; }
    // True once the device has stopped for good (its server went away): writes are refused.
    virtual bool Failed() const { return false; }
    // A line on how the session went (underruns), taken once when the device closes; empty for
    // devices with nothing to report.
    virtual std::string Report() { return {}; }

    LPWAVECALLBACK pfnCallback = nullptr;
    DWORD_PTR dwInstance = 0;

    // Producer side: false when the ring is full.
    bool Push(WAVEHDR* pwh) {
        const std::size_t tail = m_nTail.load(std::memory_order_relaxed);
        if (tail - m_nHead.load(std::memory_order_acquire) >= kRingSize) return false;
        m_aRing[tail % kRingSize] = pwh;
        m_nTail.store(tail + 1, std::memory_order_release);
        return true;
    }

    // Any side: whether blocks are queued (indices only, no slot is read).
    bool HasQueued() const {
        return m_nHead.load(std::memory_order_acquire) != m_nTail.load(std::memory_order_acquire);
    }

    // Consumer side: the block being played, or null when the ring is dry.
    WAVEHDR* Head() const {
        const std::size_t head = m_nHead.load(std::memory_order_relaxed);
        if (head == m_nTail.load(std::memory_order_acquire)) return nullptr;
        return m_aRing[head % kRingSize];
    }

    // Consumer side: marks the head block done and hands it back.
    void FinishHead() {
        const std::size_t head = m_nHead.load(std::memory_order_relaxed);
        WAVEHDR* pwh = m_aRing[head % kRingSize];
        pwh->dwFlags = (pwh->dwFlags & ~WHDR_INQUEUE) | WHDR_DONE;
        m_nOffset = 0;
        // The copy cursor never stands behind the head.
        if (m_nCopy <= head) {
            m_nCopy = head + 1;
            m_nCopyOffset = 0;
        }
        m_nHead.store(head + 1, std::memory_order_release);
        if (pfnCallback != nullptr) {
            pfnCallback(this, WOM_DONE, dwInstance, reinterpret_cast<DWORD_PTR>(pwh), 0);
        }
    }

    // Consumer side: copies up to nFrames queued samples to pOut, returning each block as it is
    // used up; returns how many were copied (fewer when the ring ran dry).
    std::size_t Take(std::int16_t* pOut, std::size_t nFrames) {
        std::size_t nDone = 0;
        while (nDone < nFrames) {
            WAVEHDR* pwh = Head();
            if (pwh == nullptr) break;
            const std::size_t nBlock = pwh->dwBufferLength / 2;
            const std::size_t nTake = std::min(nBlock - m_nOffset, nFrames - nDone);
            std::memcpy(pOut + nDone, reinterpret_cast<const std::int16_t*>(pwh->lpData) + m_nOffset,
                        nTake * sizeof(std::int16_t));
            nDone += nTake;
            m_nOffset += nTake;
            if (m_nOffset == nBlock) FinishHead();
        }
        return nDone;
    }

    // Consumer side, for a device that hands blocks back only once they are about to sound: copies
    // up to nFrames queued samples from the copy cursor, within one block, without handing any
    // back; returns how many were copied (0 when every queued sample has been copied).
    std::size_t CopyAhead(std::int16_t* pOut, std::size_t nFrames) {
        if (m_nCopy == m_nTail.load(std::memory_order_acquire)) return 0;
        const WAVEHDR* pwh = m_aRing[m_nCopy % kRingSize];
        const std::size_t nBlock = pwh->dwBufferLength / 2;
        const std::size_t nTake = std::min(nBlock - m_nCopyOffset, nFrames);
        std::memcpy(pOut, reinterpret_cast<const std::int16_t*>(pwh->lpData) + m_nCopyOffset,
                    nTake * sizeof(std::int16_t));
        m_nCopyOffset += nTake;
        if (m_nCopyOffset == nBlock) {
            ++m_nCopy;
            m_nCopyOffset = 0;
        }
        return nTake;
    }
    // Consumer side: the head block's length in samples, when every sample of it has been copied;
    // 0 otherwise.
    std::size_t CopiedHeadLength() const {
        const std::size_t head = m_nHead.load(std::memory_order_relaxed);
        if (head == m_nTail.load(std::memory_order_acquire) || m_nCopy <= head) return 0;
        return m_aRing[head % kRingSize]->dwBufferLength / 2;
    }

private:
    WAVEHDR* m_aRing[kRingSize] = {};
    std::atomic<std::size_t> m_nHead{0};  // written by the consumer
    std::atomic<std::size_t> m_nTail{0};  // written by the producer
    std::size_t m_nOffset = 0;            // consumer: samples of the head block already played
    std::size_t m_nCopy = 0;              // consumer: the block CopyAhead copies from
    std::size_t m_nCopyOffset = 0;        // consumer: samples of that block already copied
};

// The device kinds. Each returns null and sets strError (the reason, for the log) when it
// cannot be had.
// nBlockFrames and nBlocks describe the ring it serves (0 when unknown).
std::unique_ptr<WaveOutDevice> OpenPortAudioDevice(const std::string& strName, unsigned nBlockFrames,
                                                   unsigned nBlocks, std::string& strError);
// The paced device: null without a capture path, capture with one.
std::unique_ptr<WaveOutDevice> OpenPacedDevice(const std::string* pCapturePath, std::string& strError);

// The names of PortAudio's output devices on this system, its default first.
std::vector<std::string> ListPortAudioDevices();
