// Where messages for the user go. The program installs a sink that shows a modal message box on
// the user-interface thread; a message raised on another thread is queued there and the raising
// thread never waits for it. The render tool prints to stderr; tests record.
#pragma once

#include <functional>
#include <string>

enum class MessageIcon { None, Exclamation };

using MessageSink = std::function<void(const std::string& strText, MessageIcon icon)>;

// Installs the sink; returns the one it replaces. Install before any thread that may raise a
// message is started.
MessageSink SetMessageSink(MessageSink sink);

// A sink for this thread alone while the object lives, ahead of the process's: a plugin's work on
// a host's thread tells that host (its log), whichever instance it works for.
class CThreadMessageSink {
public:
    explicit CThreadMessageSink(const MessageSink* pSink);
    ~CThreadMessageSink();
    CThreadMessageSink(const CThreadMessageSink&) = delete;
    CThreadMessageSink& operator=(const CThreadMessageSink&) = delete;

private:
    const MessageSink* m_pPrevious;
};

// Hands a text to the sink (this thread's, else the process's; stderr when none is installed).
void ShowUserMessage(const std::string& strText, MessageIcon icon = MessageIcon::None);

// A line for the terminal and the message log, not for a message box: what a user or a script
// reading stderr should know (a device's failure reason, a session's underruns). Printed on
// stderr as "aerolyre: LINE" and appended to the file named by AEROLYRE_MESSAGE_LOG, if any.
// Call it from a thread that may wait for a file (never the audio thread).
void LogLine(const std::string& strLine);

// Points stderr at /dev/null until the matching end (CQuietStderr); nests across threads.
void BeginQuietStderr();
void EndQuietStderr();

// Appends a text as one line to the file named by AEROLYRE_MESSAGE_LOG, if that is set, so an
// end-to-end test can read what the user was told.
void AppendToMessageLog(const std::string& strText);
