// The sound and MIDI libraries below us (PortAudio, ALSA, JACK, RtMidi) print their diagnostics on
// stderr. The user gets the program's own message and log line instead, so stderr is pointed at
// /dev/null while one of them speaks. The redirection is the process's: windows opened on several
// threads at once nest (the first redirects, the last restores), and the program's own log lines
// still reach the real stderr meanwhile.
#pragma once

#include "platform/message_service.h"

class CQuietStderr {
public:
    CQuietStderr() { BeginQuietStderr(); }
    ~CQuietStderr() { EndQuietStderr(); }
    CQuietStderr(const CQuietStderr&) = delete;
    CQuietStderr& operator=(const CQuietStderr&) = delete;
};
