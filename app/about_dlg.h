// The About box: the icon, the program's name and version, OK.
#pragma once

#include "platform/qt/dialog.h"

class CAboutDlg : public CDialog {
public:
    explicit CAboutDlg(QWidget* pParent);
};
