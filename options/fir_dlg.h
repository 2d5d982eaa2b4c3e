// The FIR filter settings dialog: the two filter waveforms, filter 1's input volume, the feedback
// delay and the feedback, and filter 2's volume. It works on copies; the launcher commits them on
// OK.
#pragma once

#include <string>

#include "filter/fir_filter.h"
#include "platform/qt/dialog.h"

class QLineEdit;

class CFirDlg : public CDialog {
public:
    explicit CFirDlg(QWidget* pParent);

    void OnLoadFilter1();
    void OnLoadFilter2();
    void OnResetFilter1();
    void OnResetFilter2();

    CFirFilter m_filter1;
    CFirFilter m_filter2;
    QLineEdit* m_editFilter2Volume;
    QLineEdit* m_editInputVolume;
    QLineEdit* m_editTotalLength;
    QLineEdit* m_editFile2;
    QLineEdit* m_editFile1;
    std::string m_strFile1;
    std::string m_strFile2;
    std::string m_strInputVolume;
    std::string m_strFilter2Volume;
    std::string m_strPath;
    int m_nDelay = 0;
    int m_nFeedback = 0;

protected:
    BOOL OnInitDialog() override;
    void DoDataExchange(CDataExchange* pDX) override;
    void OnOK() override;

private:
    void LoadFilter(CFirFilter& filter, std::string& strFile, QLineEdit* pEdit);
    void ResetFilter(CFirFilter& filter, std::string& strFile, QLineEdit* pEdit);
    void ShowTotalLength();
};
