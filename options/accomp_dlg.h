// The accompaniment settings dialog: the WAV file mixed into the output, the volume ratio between
// accompaniment and performance, and whether the accompaniment repeats.
#pragma once

#include <string>

#include "platform/qt/dialog.h"

class QCheckBox;
class QLineEdit;
class QPushButton;
class QSlider;

class CAccompDlg : public CDialog {
public:
    explicit CAccompDlg(QWidget* pParent);

    void OnChooseFile();
    // Refreshes the ratio text, "accompaniment:performance", whenever the trackbar paints.
    void OnCustomDrawRatio();

    QCheckBox* m_checkLoop;
    QPushButton* m_btnFile;
    QLineEdit* m_editFile;
    QLineEdit* m_editRatio;
    QSlider* m_sliderRatio;
    int m_nRatio = 0;
    std::string m_strFile;
    int m_bRepeat = 0;

protected:
    void DoDataExchange(CDataExchange* pDX) override;
    bool eventFilter(QObject* pWatched, QEvent* pEvent) override;
};
