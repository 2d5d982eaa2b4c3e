// The application icon as Qt images, from the XPM data the program hands over at start-up
// (InitDialogFramework); empty images until then.
#pragma once

#include <QIcon>
#include <QPixmap>

using XpmData = const char* const*;
void SetAppIconData(XpmData ppIcon32, XpmData ppIcon16);

QPixmap AppIcon32();
QPixmap AppIcon16();
// Both sizes, for window icons.
QIcon AppIcon();
