// The note guide and pitch correction dialog.
#include "app/tuning_dlg.h"

#include <QCheckBox>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <cstdlib>

#include "platform/qt/file_dialog.h"
#include "res/dialog_templates.h"
#include "res/message_box.h"
#include "res/resource.h"
#include "res/string_table.h"

namespace {

std::string FormatHz(double dHz) {
    char sz[32];
    std::snprintf(sz, sizeof sz, "%.10g", dHz);
    return sz;
}

}  // namespace

CTuningDlg::CTuningDlg(QWidget* pParent, const TuningChoice& choice)
    : CDialog(GetDialogTemplate(IDD_TUNING), pParent), m_choice(choice) {
    m_checkGuides = Item<QCheckBox>(1051);
    m_checkQuantise = Item<QCheckBox>(1052);
    m_radioTet = Item<QRadioButton>(1053);
    m_radioScala = Item<QRadioButton>(1054);
    m_editReference = Item<QLineEdit>(1055);
    m_editScale = Item<QLineEdit>(1056);
    m_editKbm = Item<QLineEdit>(1058);
    m_editStrength = Item<QLineEdit>(1061);
    OnCommand(1057, &CTuningDlg::OnChooseScale);
    OnCommand(1059, &CTuningDlg::OnChooseKbm);
    OnCommand(1060, &CTuningDlg::OnClearKbm);
    QObject::connect(m_radioTet, &QRadioButton::toggled, this, [this] { EnableScaleFiles(); });
}

BOOL CTuningDlg::OnInitDialog() {
    m_checkGuides->setChecked(m_choice.bGuides);
    m_checkQuantise->setChecked(m_choice.bQuantise);
    const bool bScala = !m_choice.strScale.empty();
    (bScala ? m_radioScala : m_radioTet)->setChecked(true);
    const double dDefault = bScala ? CTuning::kDefaultDegree0 : CTuning::kDefaultA4;
    m_editReference->setText(
        QString::fromStdString(FormatHz(m_choice.dReference > 0 ? m_choice.dReference : dDefault)));
    m_editScale->setText(QString::fromStdString(m_choice.strScale));
    m_editKbm->setText(QString::fromStdString(m_choice.strKbm));
    m_editStrength->setText(QString::number(m_choice.nStrength));
    EnableScaleFiles();
    return TRUE;
}

void CTuningDlg::EnableScaleFiles() {
    const bool bScala = m_radioScala->isChecked();
    for (int nId : {1056, 1057, 1058, 1059, 1060}) GetDlgItem(nId)->setEnabled(bScala);
}

void CTuningDlg::OnChooseScale() {
    CFileDialog dlg(true, ".scl", m_editScale->text().toStdString(), OFN_FILEMUSTEXIST | OFN_HIDEREADONLY,
                    "Scala音階ﾌｧｲﾙ(*.scl)|*.scl||", this);
    if (dlg.DoModal() == IDOK) m_editScale->setText(QString::fromStdString(dlg.GetPathName()));
}

void CTuningDlg::OnChooseKbm() {
    CFileDialog dlg(true, ".kbm", m_editKbm->text().toStdString(), OFN_FILEMUSTEXIST | OFN_HIDEREADONLY,
                    "Scalaキーボードマップ(*.kbm)|*.kbm||", this);
    if (dlg.DoModal() == IDOK) m_editKbm->setText(QString::fromStdString(dlg.GetPathName()));
}

void CTuningDlg::OnClearKbm() { m_editKbm->clear(); }

void CTuningDlg::OnOK() {
    TuningChoice choice;
    choice.bGuides = m_checkGuides->isChecked();
    choice.bQuantise = m_checkQuantise->isChecked();
    const std::string strRef = m_editReference->text().trimmed().toStdString();
    char* end = nullptr;
    const double dRef = std::strtod(strRef.c_str(), &end);
    if (strRef.empty() || *end != '\0' || !(dRef >= 1.0 && dRef <= 20000.0)) {
        AfxMessageBox(IDS_ERR_TUNING_REFERENCE);
        m_editReference->setFocus();
        return;
    }
    const std::string strStrength = m_editStrength->text().trimmed().toStdString();
    if (strStrength.empty() || strStrength.size() > 3 ||
        strStrength.find_first_not_of("0123456789") != std::string::npos ||
        std::atoi(strStrength.c_str()) > 100) {
        AfxMessageBox(IDS_ERR_TUNING_STRENGTH);
        m_editStrength->setFocus();
        return;
    }
    choice.nStrength = std::atoi(strStrength.c_str());
    const bool bScala = m_radioScala->isChecked();
    if (bScala) {
        choice.strScale = m_editScale->text().toStdString();
        choice.strKbm = m_editKbm->text().toStdString();
    }
    // The default reference is kept as "the default", so a later change of scale keeps its own.
    const double dDefault = bScala ? CTuning::kDefaultDegree0 : CTuning::kDefaultA4;
    choice.dReference = dRef == dDefault ? 0.0 : dRef;
    if (bScala) {
        CTuning tuning;
        std::string strError;
        if (choice.strScale.empty() || !choice.Build(tuning, strError)) {
            AfxMessageBox(ResString(IDS_ERR_TUNING_SCALE) + (strError.empty() ? "" : "\n" + strError));
            return;
        }
    }
    m_choice = choice;
    EndDialog(IDOK);
}
