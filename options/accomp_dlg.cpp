// The accompaniment settings dialog.
#include "options/accomp_dlg.h"

#include <QCheckBox>
#include <QEvent>
#include <QLineEdit>
#include <QPushButton>
#include <QSlider>

#include "platform/qt/ddx.h"
#include "platform/qt/file_dialog.h"
#include "res/dialog_templates.h"

CAccompDlg::CAccompDlg(QWidget* pParent) : CDialog(GetDialogTemplate(IDD_ACCOMP), pParent) {
    m_checkLoop = Item<QCheckBox>(1038);
    m_btnFile = Item<QPushButton>(1036);
    m_editFile = Item<QLineEdit>(1037);
    m_editRatio = Item<QLineEdit>(1031);
    m_sliderRatio = Item<QSlider>(1030);
    m_sliderRatio->installEventFilter(this);
    OnCommand(1036, &CAccompDlg::OnChooseFile);
    // The trackbar repaints when its thumb moves; the text follows at once as well.
    QObject::connect(m_sliderRatio, &QSlider::valueChanged, this, [this] { OnCustomDrawRatio(); });
}

void CAccompDlg::DoDataExchange(CDataExchange* pDX) {
    DDX_Slider(pDX, 1030, m_nRatio);
    DDX_Text(pDX, 1037, m_strFile);
    DDX_Check(pDX, 1038, m_bRepeat);
}

bool CAccompDlg::eventFilter(QObject* pWatched, QEvent* pEvent) {
    if (pWatched == m_sliderRatio && pEvent->type() == QEvent::Paint) OnCustomDrawRatio();
    return CDialog::eventFilter(pWatched, pEvent);
}

void CAccompDlg::OnCustomDrawRatio() {
    const int pos = m_sliderRatio->value();
    const QString text = QString("%1:%2").arg(pos).arg(100 - pos);
    if (m_editRatio->text() != text) m_editRatio->setText(text);
}

void CAccompDlg::OnChooseFile() {
    CFileDialog dlg(true, ".wav", m_strFile,
                    OFN_HIDEREADONLY | OFN_PATHMUSTEXIST | OFN_FILEMUSTEXIST | OFN_NONETWORKBUTTON,
                    "伴奏ﾌｧｲﾙ(wav)|*.wav||", this);
    if (dlg.DoModal() != IDOK) return;
    m_strFile = dlg.GetPathName();
    m_editFile->setText(QString::fromStdString(m_strFile));
}
