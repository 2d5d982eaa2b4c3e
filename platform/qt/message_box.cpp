// Message boxes and the message service's sink for the window program.
#include "platform/qt/message_box.h"

#include <QApplication>
#include <QFileInfo>
#include <QMessageBox>
#include <QMetaObject>
#include <QThread>

std::string AppName() {
    return QFileInfo(QCoreApplication::applicationFilePath()).completeBaseName().toStdString();
}

void ShowMessageBoxNow(const std::string& strText, MessageIcon icon) {
    QWidget* pOwner = QApplication::activeModalWidget();
    if (pOwner == nullptr) pOwner = QApplication::activeWindow();
    QMessageBox box(icon == MessageIcon::Exclamation ? QMessageBox::Warning : QMessageBox::NoIcon,
                    QString::fromStdString(AppName()), QString::fromStdString(strText), QMessageBox::Ok,
                    pOwner);
    box.exec();
}

void InstallMessageBoxSink() {
    SetMessageSink([](const std::string& strText, MessageIcon icon) {
        AppendToMessageLog(strText);
        QCoreApplication* pApp = QCoreApplication::instance();
        if (pApp == nullptr) return;
        if (QThread::currentThread() == pApp->thread()) {
            ShowMessageBoxNow(strText, icon);
            return;
        }
        // Another thread (a file thread, the audio thread) never waits for the box.
        QMetaObject::invokeMethod(
            pApp, [strText, icon] { ShowMessageBoxNow(strText, icon); }, Qt::QueuedConnection);
    });
}
