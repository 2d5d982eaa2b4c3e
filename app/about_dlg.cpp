// The About box, from its template alone.
#include "app/about_dlg.h"

#include "res/dialog_templates.h"

CAboutDlg::CAboutDlg(QWidget* pParent) : CDialog(GetDialogTemplate(IDD_ABOUTBOX), pParent) {}
