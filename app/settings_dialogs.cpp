// The launchers of the three settings dialogs: copy the main dialog's members in, run the dialog,
// commit them all together on OK.
#include "app/aerolyre_dlg.h"
#include "engine/decimal_text.h"
#include "options/accomp_dlg.h"
#include "options/fir_dlg.h"
#include "options/record_dlg.h"

void CAerolyreDlg::OnFirSettings() {
    CFirDlg dlg(this);
    dlg.m_filter1.SetTaps(m_firFilter1.m_pTaps, m_firFilter1.m_nTaps);
    dlg.m_filter2.SetTaps(m_firFilter2.m_pTaps, m_firFilter2.m_nTaps);
    dlg.m_strPath = m_strFirPath;
    dlg.m_strInputVolume = std::to_string(m_nFirInputVolume);
    dlg.m_strFilter2Volume = std::to_string(m_nFirFilter2Volume);
    dlg.m_strFile1 = m_strFirFile1;
    dlg.m_strFile2 = m_strFirFile2;
    dlg.m_nDelay = m_nFirDelay;
    dlg.m_nFeedback = m_nFirFeedback;
    if (dlg.DoModal() != IDOK) return;

    m_nFirInputVolume = AtoiSaturating(dlg.m_strInputVolume);
    m_nFirFilter2Volume = AtoiSaturating(dlg.m_strFilter2Volume);
    m_strFirFile1 = dlg.m_strFile1;
    m_strFirFile2 = dlg.m_strFile2;
    m_firFilter1.SetTaps(dlg.m_filter1.m_pTaps, dlg.m_filter1.m_nTaps);
    m_firFilter2.SetTaps(dlg.m_filter2.m_pTaps, dlg.m_filter2.m_nTaps);
    m_strFirPath = dlg.m_strPath;
    m_nFirDelay = dlg.m_nDelay;
    m_nFirFeedback = dlg.m_nFeedback;
}

void CAerolyreDlg::OnAccompSettings() {
    CAccompDlg dlg(this);
    dlg.m_nRatio = m_nAccompRatio;
    dlg.m_bRepeat = m_bAccompLoop != 0 ? 1 : 0;
    dlg.m_strFile = m_strAccompFile;
    if (dlg.DoModal() != IDOK) return;
    m_nAccompRatio = dlg.m_nRatio;
    m_bAccompLoop = dlg.m_bRepeat == 1 ? 1 : 0;
    m_strAccompFile = dlg.m_strFile;
}

void CAerolyreDlg::OnRecordSettings() {
    CRecordDlg dlg(this);
    dlg.m_nFormat = m_nRecordFormat;
    dlg.m_bWithAccomp = m_bRecordAccomp;
    if (dlg.DoModal() != IDOK) return;
    m_nRecordFormat = dlg.m_nFormat;
    m_bRecordAccomp = dlg.m_bWithAccomp != 0 ? 1 : 0;
}
