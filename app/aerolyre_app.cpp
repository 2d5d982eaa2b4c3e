// The application shell.
#include "app/aerolyre_app.h"

#include "app/aerolyre_dlg.h"
#include "engine/session.h"
#include "platform/qt/message_box.h"
#include "res/string_table.h"

int CAerolyreApp::InitInstance() {
    InitDialogFramework(&LoadResString);
    InstallMessageBoxSink();
    {
        CAerolyreDlg dlg;
        dlg.DoModal();
    }
    // A session's thread has ended by now (the board waits for it); the object is joined here.
    JoinAudioThread();
    return FALSE;
}
