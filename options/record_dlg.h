// The direct recording settings dialog: the sample format of the recording and whether the
// accompaniment goes into it.
#pragma once

#include "platform/qt/dialog.h"

class CRecordDlg : public CDialog {
public:
    explicit CRecordDlg(QWidget* pParent);

    int m_nFormat = -1;     // 0: 16-bit integers (1034), 1: 32-bit floats (1035), -1: none
    int m_bWithAccomp = 0;  // check state of 1032

protected:
    void DoDataExchange(CDataExchange* pDX) override;
};
