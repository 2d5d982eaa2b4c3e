// The device's own FIFO of samples at the device's rate, between the thread that feeds it from
// the block ring and the device's callback that plays it. One producer, one consumer, no lock;
// its capacity is fixed when it is made, so neither side allocates.
#pragma once

#include <algorithm>
#include <atomic>
#include <cstddef>
#include <memory>

class CSampleFifo {
public:
    // Capacity in samples; allocates (the open step only).
    void Init(std::size_t nCapacity) {
        m_pData = std::make_unique<float[]>(nCapacity);
        m_nCapacity = nCapacity;
        Clear();
    }
    // Only while neither side runs.
    void Clear() {
        m_nRead.store(0, std::memory_order_relaxed);
        m_nWrite.store(0, std::memory_order_relaxed);
    }
    // Producer side.
    std::size_t Free() const {
        return m_nCapacity -
               (m_nWrite.load(std::memory_order_relaxed) - m_nRead.load(std::memory_order_acquire));
    }
    // Writes up to n samples; returns how many fitted.
    std::size_t Write(const float* p, std::size_t n) {
        const std::size_t w = m_nWrite.load(std::memory_order_relaxed);
        n = std::min(n, Free());
        for (std::size_t i = 0; i < n; ++i) m_pData[(w + i) % m_nCapacity] = p[i];
        m_nWrite.store(w + n, std::memory_order_release);
        return n;
    }

    // Consumer side: reads up to n samples; returns how many there were.
    std::size_t Read(float* p, std::size_t n) {
        const std::size_t r = m_nRead.load(std::memory_order_relaxed);
        n = std::min(n, m_nWrite.load(std::memory_order_acquire) - r);
        for (std::size_t i = 0; i < n; ++i) p[i] = m_pData[(r + i) % m_nCapacity];
        m_nRead.store(r + n, std::memory_order_release);
        return n;
    }

private:
    std::unique_ptr<float[]> m_pData;
    std::size_t m_nCapacity = 0;
    std::atomic<std::size_t> m_nRead{0};   // written by the consumer
    std::atomic<std::size_t> m_nWrite{0};  // written by the producer
};
