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

// Hands a text to the sink (stderr when none is installed).
void ShowUserMessage(const std::string& strText, MessageIcon icon = MessageIcon::None);
