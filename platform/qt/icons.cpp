// Icon images from the XPM data handed over.
#include "platform/qt/icons.h"

namespace {

XpmData g_ppIcon32 = nullptr;
XpmData g_ppIcon16 = nullptr;

}  // namespace

void SetAppIconData(XpmData ppIcon32, XpmData ppIcon16) {
    g_ppIcon32 = ppIcon32;
    g_ppIcon16 = ppIcon16;
}

QPixmap AppIcon32() { return g_ppIcon32 != nullptr ? QPixmap(g_ppIcon32) : QPixmap(); }

QPixmap AppIcon16() { return g_ppIcon16 != nullptr ? QPixmap(g_ppIcon16) : QPixmap(); }

QIcon AppIcon() {
    QIcon icon;
    icon.addPixmap(AppIcon32());
    icon.addPixmap(AppIcon16());
    return icon;
}
