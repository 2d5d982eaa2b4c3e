// Message boxes and the message service's sink for the window program.
#include "platform/qt/message_box.h"

#include <QApplication>
#include <QFileInfo>
#include <QMessageBox>
#include <QMetaObject>
#include <QThread>
#include <cstdio>
#include <cstdlib>

std::string AppName() {
    return QFileInfo(QCoreApplication::applicationFilePath()).completeBaseName().toStdString();
}

void ShowMessageBoxNow(const std::string& strText, MessageIcon icon) {
    QWidget* pOwner = QApplication::activeModalWidget();
    if (pOwner == nullptr) pOwner = QApplication::activeWindow();
    QMessageBox box(icon == MessageIcon::Exclamation ? QMessageBox::Warning : QMessageBox::NoIcon,
                    QString::fromStdString(AppName()), QString::fromStdString(strText), QMessageBox::Ok, pOwner);
    box.exec();
}

namespace {

// AEROLYRE_MESSAGE_LOG names a file that every message text is also appended to, one per line,
// so an end-to-end test can read what the user was told.
void LogMessage(const std::string& strText) {
    static const char* const pszLog = std::getenv("AEROLYRE_MESSAGE_LOG");
    if (pszLog == nullptr) return;
    if (std::FILE* f = std::fopen(pszLog, "a")) {
        std::fprintf(f, "%s\n", strText.c_str());
        std::fclose(f);
    }
}

}  // namespace

void InstallMessageBoxSink() {
    SetMessageSink([](const std::string& strText, MessageIcon icon) {
        LogMessage(strText);
        QCoreApplication* pApp = QCoreApplication::instance();
        if (pApp == nullptr) return;
        if (QThread::currentThread() == pApp->thread()) {
            ShowMessageBoxNow(strText, icon);
            return;
        }
        // Another thread (a file thread, the audio thread) never waits for the box.
        QMetaObject::invokeMethod(pApp, [strText, icon] { ShowMessageBoxNow(strText, icon); }, Qt::QueuedConnection);
    });
}
