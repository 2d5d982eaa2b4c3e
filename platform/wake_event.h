// A wake-up from one thread to another that never blocks the side that posts: a device callback
// posts when it hands a block back, the audio thread waits for it with a time limit, so it still
// looks at its own end condition regularly.
#pragma once

#include <semaphore.h>

#include <cerrno>
#include <chrono>
#include <ctime>

class CWakeEvent {
public:
    CWakeEvent() { ::sem_init(&m_sem, 0, 0); }
    ~CWakeEvent() { ::sem_destroy(&m_sem); }
    CWakeEvent(const CWakeEvent&) = delete;
    CWakeEvent& operator=(const CWakeEvent&) = delete;

    // Safe in a real-time callback: sem_post neither locks nor allocates. A waiter that is already
    // due to wake needs no second post, which also keeps the count bounded when nobody waits.
    void Post() {
        int nValue = 0;
        if (::sem_getvalue(&m_sem, &nValue) == 0 && nValue > 0) return;
        ::sem_post(&m_sem);
    }

    // Returns after a post or after the timeout, whichever comes first.
    void WaitFor(std::chrono::nanoseconds timeout) {
        timespec ts{};
        ::clock_gettime(CLOCK_MONOTONIC, &ts);
        const long long ns = ts.tv_nsec + timeout.count();
        ts.tv_sec += static_cast<time_t>(ns / 1000000000);
        ts.tv_nsec = static_cast<long>(ns % 1000000000);
        while (::sem_clockwait(&m_sem, CLOCK_MONOTONIC, &ts) != 0 && errno == EINTR) {
        }
    }

    // Forgets posts that nobody waited for.
    void Drain() {
        while (::sem_trywait(&m_sem) == 0) {
        }
    }

private:
    sem_t m_sem;
};
