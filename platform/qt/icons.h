// The application icon as Qt images.
#pragma once

#include <QIcon>
#include <QPixmap>

QPixmap AppIcon32();
QPixmap AppIcon16();
// Both sizes, for window icons.
QIcon AppIcon();
