// A bounded single-producer single-consumer queue: the producer (the audio thread) never waits,
// locks or allocates; a full queue refuses the item and counts it.
#pragma once

#include <array>
#include <atomic>
#include <cstddef>

template <class T, std::size_t N>
class CSpscQueue {
    static_assert((N & (N - 1)) == 0, "a power of two");

public:
    // Producer side; false (and counted) when full.
    bool TryPush(const T& item) {
        const std::size_t tail = m_nTail.load(std::memory_order_relaxed);
        if (tail - m_nHead.load(std::memory_order_acquire) >= N) {
            m_nDropped.fetch_add(1, std::memory_order_relaxed);
            return false;
        }
        m_items[tail & (N - 1)] = item;
        m_nTail.store(tail + 1, std::memory_order_release);
        return true;
    }

    // Consumer side; false when empty.
    bool TryPop(T& item) {
        const std::size_t head = m_nHead.load(std::memory_order_relaxed);
        if (head == m_nTail.load(std::memory_order_acquire)) return false;
        item = m_items[head & (N - 1)];
        m_nHead.store(head + 1, std::memory_order_release);
        return true;
    }

    // Any side: whether nothing is queued.
    bool Empty() const {
        return m_nHead.load(std::memory_order_acquire) == m_nTail.load(std::memory_order_acquire);
    }

    std::size_t Dropped() const { return m_nDropped.load(std::memory_order_relaxed); }

private:
    std::array<T, N> m_items{};
    std::atomic<std::size_t> m_nHead{0};
    std::atomic<std::size_t> m_nTail{0};
    std::atomic<std::size_t> m_nDropped{0};
};
