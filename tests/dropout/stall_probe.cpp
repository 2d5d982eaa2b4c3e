// Measures the machine, not the program: one real-time thread on each CPU wakes every
// millisecond and notes each wake-up that came late. A late wake-up at the highest real-time
// priority is a stall of that CPU (a virtual machine's CPU held by its host, or a long stretch in
// the kernel) that no thread of any program could have run through. Stalls seen on several CPUs
// at once are one stall.
//
//   stall_probe SECONDS
// Prints the stalls of 2 ms or more, longest first: "stall MS" a line. The first line says
// whether the threads ran real-time ("probe realtime" or "probe not realtime: REASON").
#include <pthread.h>
#include <sched.h>
#include <time.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <thread>
#include <utility>
#include <vector>

namespace {

constexpr long long kPeriodNs = 1'000'000;
constexpr long long kStallNs = 2'000'000;

long long Now() {
    timespec ts{};
    ::clock_gettime(CLOCK_MONOTONIC, &ts);
    return ts.tv_sec * 1'000'000'000LL + ts.tv_nsec;
}

// The stalls one CPU saw, as [start, end) in nanoseconds.
std::vector<std::pair<long long, long long>> Watch(long long nUntil) {
    std::vector<std::pair<long long, long long>> stalls;
    stalls.reserve(4096);
    long long nNext = Now() + kPeriodNs;
    while (nNext < nUntil) {
        const timespec ts{static_cast<time_t>(nNext / 1'000'000'000LL),
                          static_cast<long>(nNext % 1'000'000'000LL)};
        ::clock_nanosleep(CLOCK_MONOTONIC, TIMER_ABSTIME, &ts, nullptr);
        const long long nWoke = Now();
        if (nWoke - nNext >= kStallNs && stalls.size() < stalls.capacity()) stalls.emplace_back(nNext, nWoke);
        nNext = std::max(nNext, nWoke) + kPeriodNs;
    }
    return stalls;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: stall_probe SECONDS\n");
        return 2;
    }
    const long long nUntil = Now() + static_cast<long long>(std::atof(argv[1]) * 1e9);
    const unsigned nCpus = std::max(1u, std::thread::hardware_concurrency());
    std::vector<std::vector<std::pair<long long, long long>>> seen(nCpus);
    std::vector<pthread_t> threads(nCpus);
    int nRefused = 0;
    for (unsigned i = 0; i < nCpus; ++i) {
        pthread_attr_t attr;
        ::pthread_attr_init(&attr);
        cpu_set_t cpus;
        CPU_ZERO(&cpus);
        CPU_SET(i, &cpus);
        ::pthread_attr_setaffinity_np(&attr, sizeof cpus, &cpus);
        ::pthread_attr_setinheritsched(&attr, PTHREAD_EXPLICIT_SCHED);
        ::pthread_attr_setschedpolicy(&attr, SCHED_FIFO);
        sched_param param{};
        param.sched_priority = sched_get_priority_max(SCHED_FIFO);
        ::pthread_attr_setschedparam(&attr, &param);
        struct Job {
            long long nUntil;
            std::vector<std::pair<long long, long long>>* pSeen;
        };
        auto* pJob = new Job{nUntil, &seen[i]};
        auto run = [](void* p) -> void* {
            auto* job = static_cast<Job*>(p);
            *job->pSeen = Watch(job->nUntil);
            delete job;
            return nullptr;
        };
        int nError = ::pthread_create(&threads[i], &attr, run, pJob);
        if (nError == EPERM) {
            // Not allowed real-time: the probe still runs, and says what it is worth.
            ++nRefused;
            ::pthread_attr_setinheritsched(&attr, PTHREAD_INHERIT_SCHED);
            nError = ::pthread_create(&threads[i], &attr, run, pJob);
        }
        ::pthread_attr_destroy(&attr);
        if (nError != 0) {
            std::fprintf(stderr, "stall_probe: %s\n", std::strerror(nError));
            return 1;
        }
    }
    for (pthread_t t : threads) ::pthread_join(t, nullptr);

    std::vector<std::pair<long long, long long>> all;
    for (const auto& s : seen) all.insert(all.end(), s.begin(), s.end());
    std::sort(all.begin(), all.end());
    std::vector<long long> merged;  // durations
    for (std::size_t i = 0; i < all.size();) {
        long long nStart = all[i].first, nEnd = all[i].second;
        for (++i; i < all.size() && all[i].first < nEnd; ++i) nEnd = std::max(nEnd, all[i].second);
        merged.push_back(nEnd - nStart);
    }
    std::sort(merged.rbegin(), merged.rend());
    std::printf(nRefused == 0 ? "probe realtime\n" : "probe not realtime: SCHED_FIFO refused\n");
    for (const long long n : merged) std::printf("stall %.1f\n", static_cast<double>(n) / 1e6);
    return 0;
}
