// The note guide and pitch correction dialog: guides on the board, correction of held notes, and
// the scale they use (12-TET or a Scala file with an optional keyboard mapping), with its
// reference frequency.
#pragma once

#include "engine/tuning.h"
#include "platform/qt/dialog.h"

class QCheckBox;
class QLineEdit;
class QRadioButton;

class CTuningDlg : public CDialog {
public:
    CTuningDlg(QWidget* pParent, const TuningChoice& choice);

    TuningChoice m_choice;  // the choice shown; on OK the one made

protected:
    BOOL OnInitDialog() override;
    // Checks the reference and reads the scale; a refusal keeps the dialog open.
    void OnOK() override;

private:
    void OnChooseScale();
    void OnChooseKbm();
    void OnClearKbm();
    void EnableScaleFiles();

    QCheckBox* m_checkGuides;
    QCheckBox* m_checkQuantise;
    QRadioButton* m_radioTet;
    QRadioButton* m_radioScala;
    QLineEdit* m_editReference;
    QLineEdit* m_editScale;
    QLineEdit* m_editKbm;
    QLineEdit* m_editStrength;
};
