// Real-time scheduling for the threads the sound depends on. SCHED_FIFO where the system grants it
// (RLIMIT_RTPRIO, or the capability), else through rtkit on the system bus, as desktop sound
// servers and their clients do. Where both refuse, the thread plays on at its normal priority and
// the program says so once.
//
// From the device down: the device's callback thread, when it is ours to raise (PortAudio's
// ALSA thread), the feeder that moves the block ring into the device's FIFO, and the audio
// thread. A JACK client's own thread, real-time under a real-time server, stands above them all;
// every one of them stands above the ordinary threads (the interface, file writers, a build).
#pragma once

#include <pthread.h>
#include <sys/types.h>

#include <string>

constexpr int kDeviceThreadPriority = 3;
constexpr int kFeederThreadPriority = 2;
constexpr int kAudioThreadPriority = 1;

// Makes a thread real-time at nPriority; false with the reason. nTid is its kernel thread id
// (rtkit names threads by it).
bool MakeThreadRealtime(pthread_t thread, pid_t nTid, int nPriority, std::string& strReason);
bool MakeThisThreadRealtime(int nPriority, std::string& strReason);

// Names the calling thread (15 characters at most), so ps and a debugger can tell it apart.
void SetThisThreadName(const char* pszName);

// Tells, once in the program's run, that real-time scheduling was refused and why.
void ReportRealtimeRefused(const std::string& strReason);
