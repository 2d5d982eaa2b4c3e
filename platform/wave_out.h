// The wave-output service: a queue of blocks played in order, a done callback for each block the
// device has finished, reset returning every queued block. The device is chosen by name:
//   ""             PortAudio's default output
//   alsa, jack     the default output of PortAudio's ALSA or JACK host (ALSA also reaches
//                  PipeWire and PulseAudio through their ALSA devices)
//   alsa:NAME      a named device of that host (jack:NAME likewise; NAME as --list-devices shows)
//   null           consumes blocks at the 44100 Hz pace on a thread of its own and discards them
//   capture:PATH   the same, appending every played sample to the WAV file PATH
// A device that runs at another rate than 44100 Hz is fed through a resampler, so the pitch stays
// right.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "platform/wave_format.h"
#include "platform/wave_out_types.h"
#include "platform/win_types.h"

MMRESULT waveOutOpen(HWAVEOUT* phwo, UINT uDeviceID, const WAVEFORMATEX* pwfx, DWORD_PTR dwCallback,
                     DWORD_PTR dwInstance, DWORD fdwOpen);
MMRESULT waveOutPrepareHeader(HWAVEOUT hwo, WAVEHDR* pwh, UINT cbwh);
MMRESULT waveOutWrite(HWAVEOUT hwo, WAVEHDR* pwh, UINT cbwh);
MMRESULT waveOutReset(HWAVEOUT hwo);
MMRESULT waveOutUnprepareHeader(HWAVEOUT hwo, WAVEHDR* pwh, UINT cbwh);
MMRESULT waveOutClose(HWAVEOUT hwo);

// Chooses the device for the opens from now on. Without a call, each open reads the environment
// variable AEROLYRE_WAVE_DEVICE (unset: PortAudio's default). Call it while no device is open.
void SetWaveOutDevice(const std::string& strName);
// Goes back to reading AEROLYRE_WAVE_DEVICE at each open.
void ClearWaveOutDevice();

// The device names of this system, one per device PortAudio offers, its default first, then
// "null". A JACK host is listed only while a JACK server runs.
std::vector<std::string> ListWaveOutDevices();

// The ring the next open serves: blocks of nBlockFrames samples at 44100 Hz, nBlocks of them in
// flight (0: unknown). A device fits its own period and buffer to the latency this gives, so a
// sound server's graph runs at the pace the user chose instead of its lowest.
void SetWaveOutRingHint(unsigned nBlockFrames, unsigned nBlocks);

// Whether the device plays in real time on a sound server or card, so that the thread writing
// its blocks should be real-time too (not the paced null device).
bool WaveOutPlaysInRealTime(HWAVEOUT hwo);

// The line a sound device left when it closed (its underrun count), once; empty when there is
// none. Read it after the thread that closed the device has been joined.
std::string TakeWaveOutReport();
