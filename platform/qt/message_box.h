// Message boxes on Qt: a modal box with an OK button, captioned with the program file's base
// name. Installed as the message service's sink, so messages raised on other threads are queued
// to the user-interface thread and shown there.
#pragma once

#include <string>

#include "platform/message_service.h"

class QWidget;

// The caption of every message box: the program file's base name without extension.
std::string AppName();

// Shows the box now (user-interface thread only); the owner is the active modal window.
void ShowMessageBoxNow(const std::string& strText, MessageIcon icon);

// Makes the message service show message boxes. Call on the user-interface thread.
void InstallMessageBoxSink();
