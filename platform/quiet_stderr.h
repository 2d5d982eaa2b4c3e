// The sound and MIDI libraries below us (PortAudio, ALSA, JACK, RtMidi) print their diagnostics on
// stderr. The user gets the program's own message and log line instead, so stderr is pointed at
// /dev/null while one of them speaks.
#pragma once

#include <fcntl.h>
#include <unistd.h>

#include <cstdio>

class CQuietStderr {
public:
    CQuietStderr() {
        std::fflush(stderr);
        m_saved = ::dup(STDERR_FILENO);
        const int devnull = ::open("/dev/null", O_WRONLY | O_CLOEXEC);
        if (m_saved >= 0 && devnull >= 0) ::dup2(devnull, STDERR_FILENO);
        if (devnull >= 0) ::close(devnull);
    }
    ~CQuietStderr() {
        if (m_saved >= 0) {
            ::dup2(m_saved, STDERR_FILENO);
            ::close(m_saved);
        }
    }
    CQuietStderr(const CQuietStderr&) = delete;
    CQuietStderr& operator=(const CQuietStderr&) = delete;

private:
    int m_saved = -1;
};
