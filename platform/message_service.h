// Where messages for the user go when they are raised by code that is not a dialog (the file
// streams, the filter loader, the audio thread). The program installs a sink that shows a modal
// message box on the user-interface thread; a message raised on another thread is queued there
// and the raising thread never waits for it. The render tool prints to stderr; tests record.
#pragma once

#include <functional>
#include <string>

using MessageSink = std::function<void(const std::string& strText)>;

// Installs the sink; returns the one it replaces. Install before any thread that may raise a
// message is started.
MessageSink SetMessageSink(MessageSink sink);

// Hands a text to the sink (stderr when none is installed).
void ShowUserMessage(const std::string& strText);
