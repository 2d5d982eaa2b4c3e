// The application shell.
#include "app/aerolyre_app.h"

#include <QApplication>

#include "app/aerolyre_dlg.h"
#include "app/close_signals.h"
#include "engine/session.h"
#include "platform/qt/message_box.h"
#include "res/app_icon.h"
#include "res/string_table.h"

int CAerolyreApp::InitInstance() {
    InitDialogFramework(&LoadResString, kAppIcon32, kAppIcon16);
    InstallMessageBoxSink();
    InstallCloseSignals(qApp);
    {
        CAerolyreDlg dlg;
        dlg.DoModal();
    }
    // A session's thread has ended by now (the board waits for it); the object is joined here.
    JoinAudioThread();
    return FALSE;
}
