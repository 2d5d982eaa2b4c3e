// The FIR filter settings dialog.
#include "options/fir_dlg.h"

#include <QLineEdit>
#include <QPushButton>

#include "engine/decimal_text.h"
#include "engine/tone_parameters.h"
#include "files/filter_wave.h"
#include "platform/qt/ddx.h"
#include "platform/qt/file_dialog.h"
#include "res/dialog_templates.h"
#include "res/message_box.h"
#include "res/resource.h"

CFirDlg::CFirDlg(QWidget* pParent) : CDialog(GetDialogTemplate(IDD_FIR), pParent) {
    m_editFilter2Volume = Item<QLineEdit>(1034);
    m_editInputVolume = Item<QLineEdit>(1033);
    m_editTotalLength = Item<QLineEdit>(1025);
    m_editFile2 = Item<QLineEdit>(1027);
    m_editFile1 = Item<QLineEdit>(1026);
    OnCommand(1039, &CFirDlg::OnLoadFilter1);
    OnCommand(1001, &CFirDlg::OnLoadFilter2);
    OnCommand(1018, &CFirDlg::OnResetFilter1);
    OnCommand(1019, &CFirDlg::OnResetFilter2);
}

void CFirDlg::DoDataExchange(CDataExchange* pDX) {
    DDX_Text(pDX, 1026, m_strFile1);
    DDX_Text(pDX, 1027, m_strFile2);
    DDX_Text(pDX, 1033, m_strInputVolume);
    DDX_Text(pDX, 1034, m_strFilter2Volume);
    for (auto [id, pn] :
         {std::pair{ToneParam::FirDelay, &m_nDelay}, std::pair{ToneParam::FirFeedback, &m_nFeedback}}) {
        const ToneParameter& p = ToneParameterOf(id);
        DDX_TextInt(pDX, p.nControlId, *pn, static_cast<int>(p.dMin), static_cast<int>(p.dMax));
    }
}

BOOL CFirDlg::OnInitDialog() {
    CDialog::OnInitDialog();
    ShowTotalLength();
    return TRUE;
}

void CFirDlg::ShowTotalLength() {
    // The impulse response of the two filters in series; the feedback loop is not counted.
    m_editTotalLength->setText(QString::number(m_filter1.m_nTaps + m_filter2.m_nTaps - 1));
}

void CFirDlg::OnOK() {
    // The volumes first, input volume before filter 2's, each with the same message.
    for (auto [pEdit, id] : {std::pair{m_editInputVolume, ToneParam::FirInputVolume},
                             std::pair{m_editFilter2Volume, ToneParam::FirFilter2Volume}}) {
        const ToneParameter& p = ToneParameterOf(id);
        const int n = AtoiSaturating(pEdit->text().toStdString());
        if (n < p.dMin || n > p.dMax) {
            AfxMessageBox(p.nMessageId);
            return;
        }
    }
    CDialog::OnOK();
}

void CFirDlg::LoadFilter(CFirFilter& filter, std::string& strFile, QLineEdit* pEdit) {
    CFileDialog dlg(true, ".wav", m_strPath,
                    OFN_HIDEREADONLY | OFN_PATHMUSTEXIST | OFN_FILEMUSTEXIST | OFN_NONETWORKBUTTON,
                    "ﾌｨﾙﾀ波形ﾌｧｲﾙ(wav)|*.wav||", this);
    if (dlg.DoModal() != IDOK) return;
    // On a refusal the loader has shown its message and nothing here changes.
    if (!LoadFilterWave(filter, dlg.GetPathName())) return;
    m_strPath = dlg.GetPathName();
    strFile = dlg.GetFileName();
    pEdit->setText(QString::fromStdString(strFile));
    ShowTotalLength();
}

void CFirDlg::ResetFilter(CFirFilter& filter, std::string& strFile, QLineEdit* pEdit) {
    const float fIdentity = 1.0f;
    filter.SetTaps(&fIdentity, 1);
    strFile.clear();
    pEdit->clear();
    ShowTotalLength();
}

void CFirDlg::OnLoadFilter1() { LoadFilter(m_filter1, m_strFile1, m_editFile1); }
void CFirDlg::OnLoadFilter2() { LoadFilter(m_filter2, m_strFile2, m_editFile2); }
void CFirDlg::OnResetFilter1() { ResetFilter(m_filter1, m_strFile1, m_editFile1); }
void CFirDlg::OnResetFilter2() { ResetFilter(m_filter2, m_strFile2, m_editFile2); }
