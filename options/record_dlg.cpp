// The direct recording settings dialog.
#include "options/record_dlg.h"

#include "platform/qt/ddx.h"
#include "res/dialog_templates.h"

CRecordDlg::CRecordDlg(QWidget* pParent) : CDialog(GetDialogTemplate(IDD_RECORD), pParent) {}

void CRecordDlg::DoDataExchange(CDataExchange* pDX) {
    DDX_Radio(pDX, 1034, m_nFormat);
    DDX_Check(pDX, 1032, m_bWithAccomp);
}
