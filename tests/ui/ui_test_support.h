// Running modal dialogs from widget tests: the test's own steps run inside the dialog's modal
// loop, then the dialog is ended if the steps did not end it.
#pragma once

#include <QApplication>
#include <QTimer>
#include <functional>

#include "platform/qt/dialog.h"

// Runs dlg modally; whileOpen runs once the loop has started. Returns the dialog's result.
inline int RunModal(CDialog& dlg, const std::function<void()>& whileOpen) {
    QTimer::singleShot(0, &dlg, [&] {
        whileOpen();
        if (dlg.isVisible()) dlg.EndDialog(IDCANCEL);
    });
    return dlg.DoModal();
}

// Calls f once the event loop is idle again (inside whatever modal loop is running by then).
inline void Later(const std::function<void()>& f) { QTimer::singleShot(0, f); }

// The modal window on top right now, of the given type.
template <class T>
T* ActiveModal() {
    return qobject_cast<T*>(QApplication::activeModalWidget());
}
