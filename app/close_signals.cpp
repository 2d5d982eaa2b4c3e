// Signals to a close: the handler only writes a byte to a pipe; a notifier on the user-interface
// thread reads it and closes the windows one by one from the top.
#include "app/close_signals.h"

#include <fcntl.h>
#include <unistd.h>

#include <QApplication>
#include <QSocketNotifier>
#include <QTimer>
#include <QWidget>
#include <csignal>

namespace {

int g_aPipe[2] = {-1, -1};

void OnCloseSignal(int) {
    const char c = 1;
    // Async-signal-safe; a full pipe already holds a request.
    [[maybe_unused]] const ssize_t n = ::write(g_aPipe[1], &c, 1);
}

// Closes the topmost window; the next one when control is back in the event loop, until the
// main dialog has closed and the program ends.
void CloseTopWindow() {
    if (QWidget* pPopup = QApplication::activePopupWidget()) {
        pPopup->close();
    } else if (QWidget* pModal = QApplication::activeModalWidget()) {
        pModal->close();
    }
    QTimer::singleShot(20, qApp, &CloseTopWindow);
}

}  // namespace

void InstallCloseSignals(QObject* pParent) {
    if (::pipe2(g_aPipe, O_CLOEXEC | O_NONBLOCK) != 0) return;
    struct sigaction sa {};
    sa.sa_handler = OnCloseSignal;
    sigemptyset(&sa.sa_mask);
    sa.sa_flags = SA_RESTART;
    for (int nSignal : {SIGTERM, SIGINT, SIGHUP}) ::sigaction(nSignal, &sa, nullptr);
    auto* pNotifier = new QSocketNotifier(g_aPipe[0], QSocketNotifier::Read, pParent);
    QObject::connect(pNotifier, &QSocketNotifier::activated, pParent, [pNotifier] {
        char buf[16];
        while (::read(g_aPipe[0], buf, sizeof buf) > 0) {
        }
        pNotifier->setEnabled(false);  // one close is enough
        CloseTopWindow();
    });
}
