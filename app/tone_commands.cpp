// Tone files from the main dialog: saving the tone texts, the two tone check boxes and the filter
// settings, and loading them back field by field.
#include <QCheckBox>
#include <QLineEdit>
#include <QPushButton>

#include "app/aerolyre_dlg.h"
#include "engine/tone_texts.h"
#include "files/tone_file.h"
#include "platform/atomic_file.h"
#include "platform/file.h"
#include "platform/qt/file_dialog.h"
#include "res/message_box.h"
#include "res/resource.h"
#include "res/string_table.h"

namespace {

constexpr const char* kToneFilter = "Aerolyre設定ﾌｧｲﾙ(*.aly)|*.aly||";

std::string Text(const QLineEdit* p) { return p->text().toStdString(); }
void SetText(QLineEdit* p, const std::string& s) { p->setText(QString::fromStdString(s)); }

}  // namespace

CAerolyreDlg::ToneEditArray CAerolyreDlg::ToneEdits() const {
    return {m_editRange,    m_editRangeAdjust, m_editLeftShift, m_editRightShift,
            m_editModRatio, m_editModDepth,    m_editFeedback,  m_editDistortion};
}

bool CAerolyreDlg::FillToneData(ToneData& tone) const {
    const ToneEditArray edits = ToneEdits();
    for (std::size_t i = 0; i < edits.size(); ++i) tone.*kToneTextFields[i].pTone = Text(edits[i]);
    tone.nCheckDetune = GetCheck(m_checkDetune);
    tone.nCheckFir = GetCheck(m_checkFir);
    tone.nFirInputVolume = m_nFirInputVolume;
    tone.nFirFilter2Volume = m_nFirFilter2Volume;
    tone.strFirFile1 = m_strFirFile1;
    tone.strFirFile2 = m_strFirFile2;
    if (!tone.firFilter1.SetTaps(m_firFilter1.m_pTaps, m_firFilter1.m_nTaps) ||
        !tone.firFilter2.SetTaps(m_firFilter2.m_pTaps, m_firFilter2.m_nTaps)) {
        return false;
    }
    tone.nFirDelay = m_nFirDelay;
    tone.nFirFeedback = m_nFirFeedback;
    return true;
}

bool SaveToneFile(const std::string& strPath, ToneData& tone, std::string* pstrError) {
    auto fail = [&](const CFileException& e) {
        if (pstrError != nullptr) {
            *pstrError = e.GetErrorMessage();
        } else {
            ReportFileError(e);
        }
        return false;
    };
    // Written beside the target and renamed over it only when every field is written and on the
    // disk, so a failed save never destroys the tone file that was there.
    CAtomicFileReplace replace;
    int nError = 0;
    if (!replace.Begin(strPath, nError))
        return fail(CFileException(CFileException::accessDenied, nError, strPath));
    CFile file;
    CFileException e;
    if (!file.Open(replace.TempPath().c_str(), CFile::modeCreate | CFile::modeWrite | CFile::shareExclusive,
                   &e)) {
        return fail(e);
    }
    auto writeFailed = [&] {
        if (pstrError != nullptr) *pstrError = strPath + ": " + ResString(IDS_ERR_TONE_WRITE);
        return false;
    };
    if (!WriteToneFile(file, tone)) return writeFailed();
    try {
        file.Close();
    } catch (const CFileException&) {
        return writeFailed();
    }
    if (!replace.Commit(nError))
        return fail(CFileException(CFileException::genericException, nError, strPath));
    return true;
}

void CAerolyreDlg::OnSaveTone() {
    CFileDialog dlg(false, ".aly", m_strTonePath, OFN_OVERWRITEPROMPT | OFN_HIDEREADONLY, kToneFilter, this);
    if (dlg.DoModal() != IDOK) return;
    m_strTonePath = dlg.GetPathName();

    ToneData tone;
    if (!FillToneData(tone)) {
        AfxMessageBox(IDS_ERR_OUT_OF_MEMORY);
        return;
    }
    if (!SaveToneFile(m_strTonePath, tone)) AfxMessageBox(IDS_ERR_TONE_WRITE);
}

void CAerolyreDlg::OnLoadTone() {
    CFileDialog dlg(true, ".aly", m_strTonePath, OFN_FILEMUSTEXIST | OFN_HIDEREADONLY, kToneFilter, this);
    dlg.AddPlace(ExamplesFolder() + "/tones");
    if (dlg.DoModal() != IDOK) return;
    m_strTonePath = dlg.GetPathName();
    LoadTone(m_strTonePath);
}

void CAerolyreDlg::LoadTone(const std::string& strPath) {
    CFile file;
    if (!file.Open(strPath.c_str(), CFile::modeRead | CFile::shareExclusive)) {
        AfxMessageBox(IDS_ERR_TONE_READ);
        return;
    }
    ToneData tone;
    const int nFields = ReadToneFile(file, tone);
    file.Abort();

    // Every field read before a failure is applied, in file order.
    const ToneEditArray edits = ToneEdits();
    // Field 1 is the version; the texts are fields 2 to 9.
    for (std::size_t i = 0; i < edits.size() && static_cast<int>(2 + i) <= nFields; ++i) {
        SetText(edits[i], tone.*kToneTextFields[i].pTone);
    }
    if (nFields >= 10) SetCheck(m_checkDetune, tone.nCheckDetune);
    if (nFields >= 11) {
        SetCheck(m_checkFir, tone.nCheckFir);
        m_btnFirSettings->setEnabled(tone.nCheckFir == 1);
    }
    if (nFields >= 12) m_nFirInputVolume = tone.nFirInputVolume;
    if (nFields >= 13) m_nFirFilter2Volume = tone.nFirFilter2Volume;
    if (nFields >= 14) m_strFirFile1 = tone.strFirFile1;
    if (nFields >= 15) m_strFirFile2 = tone.strFirFile2;
    if (nFields >= 16) m_firFilter1.SetTaps(tone.firFilter1.m_pTaps, tone.firFilter1.m_nTaps);
    if (nFields >= 17) m_firFilter2.SetTaps(tone.firFilter2.m_pTaps, tone.firFilter2.m_nTaps);
    if (nFields >= 18) m_nFirDelay = tone.nFirDelay;
    if (nFields >= 19) m_nFirFeedback = tone.nFirFeedback;
    if (nFields < kToneFieldCount) AfxMessageBox(IDS_ERR_TONE_READ);
}
