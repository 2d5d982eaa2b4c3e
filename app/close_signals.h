// SIGTERM (a desktop logout), SIGINT and SIGHUP close the program as its close box does: the
// windows close from the top, so a playing board ends its session (and completes a recording)
// before the main dialog saves the settings.
#pragma once

class QObject;

// Installs the handlers; the closing runs on the user-interface thread's event loop.
void InstallCloseSignals(QObject* pParent);
