// Icon images from the XPM data of the resources.
#include "platform/qt/icons.h"

#include "res/app_icon.h"

QPixmap AppIcon32() { return QPixmap(kAppIcon32); }

QPixmap AppIcon16() { return QPixmap(kAppIcon16); }

QIcon AppIcon() {
    QIcon icon;
    icon.addPixmap(AppIcon32());
    icon.addPixmap(AppIcon16());
    return icon;
}
