// Running modal dialogs from widget tests: the test's own steps run inside the dialog's modal
// loop, then the dialog is ended if the steps did not end it.
#pragma once

#include <QApplication>
#include <QTimer>
#include <functional>

#include "engine/performance_state.h"
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

// The fields a board writes, at values no event gives (the pointer at -1), the click shifts at
// 1.5 and 2.5, and no session running.
inline void ResetBoardFields() {
    PERFORMANCESTATE& ps = PerformanceState;
    ps.dLeftShiftRatio = 1.5;
    ps.dRightShiftRatio = 2.5;
    ps.dPointerX.store(-1);
    ps.dPointerY.store(-1);
    ps.dModScale.store(1.0);
    ps.dLeftClickFactor.store(1.0);
    ps.dRightClickFactor.store(1.0);
    ps.nActiveThreads.store(0);
}

// The modal window on top right now, of the given type.
template <class T>
T* ActiveModal() {
    return qobject_cast<T*>(QApplication::activeModalWidget());
}
