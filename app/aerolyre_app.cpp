// The application shell.
#include "app/aerolyre_app.h"

#include <QApplication>
#include <cstdlib>

#include "app/aerolyre_dlg.h"
#include "app/close_signals.h"
#include "app/language.h"
#include "engine/session.h"
#include "platform/message_service.h"
#include "platform/qt/message_box.h"
#include "res/app_icon.h"
#include "res/string_table.h"

int CAerolyreApp::InitInstance() {
    const std::string strLanguage =
        ChooseLanguage(s_strLanguageGiven, std::getenv("AEROLYRE_LANGUAGE"), KeptLanguage());
    if (!UseLanguage(strLanguage))
        LogLine("the translations for \"" + strLanguage + "\" could not be loaded");
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
