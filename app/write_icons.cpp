// Build step: writes the application icon as PNG files for the desktop entry.
//   aerolyre_write_icons DIR   ->  DIR/aerolyre-32.png, DIR/aerolyre-16.png
#include <QGuiApplication>
#include <QImage>
#include <QString>

#include "res/app_icon.h"

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    if (argc != 2) return 2;
    const QString dir = QString::fromLocal8Bit(argv[1]);
    const bool ok = QImage(kAppIcon32).save(dir + "/aerolyre-32.png") && QImage(kAppIcon16).save(dir + "/aerolyre-16.png");
    return ok ? 0 : 1;
}
