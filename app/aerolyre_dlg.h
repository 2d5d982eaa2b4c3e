// The main dialog: the settings hub of the instrument. Tone and processing settings are the texts
// and states of its controls; the filter, accompaniment and recording settings are plain members
// that the settings dialogs edit. It launches the play session, the tone files, the settings
// dialogs and the About box; its initialisation restores and its destruction saves the settings
// kept in the registry.
#pragma once

#include <QIcon>
#include <array>
#include <memory>
#include <string>

#include "board/board_dlg.h"
#include "engine/session.h"
#include "engine/tone_texts.h"
#include "engine/tuning.h"
#include "files/tone_file.h"
#include "filter/fir_filter.h"
#include "platform/midi_in.h"
#include "platform/midi_out.h"
#include "platform/qt/dialog.h"

class CTakeWriter;
class QCheckBox;
class QLineEdit;
class QListWidget;
class QPushButton;

constexpr UINT IDM_ABOUTBOX = 0x0010;

class CAerolyreDlg : public CDialog {
public:
    explicit CAerolyreDlg(QWidget* pParent = nullptr);

    // Handlers.
    void OnPlay();
    void OnLoadTone();
    void OnSaveTone();
    void OnCheckFir();
    void OnCheckRecord();
    void OnCheckAccomp();
    void OnFirSettings();
    void OnAccompSettings();
    void OnRecordSettings();
    void OnSysCommand(UINT nID);
    void OnDeviceSettings();
    void OnTuningSettings();
    // The substitute for the window manager's system menu: the appended separator and the About
    // entry, shown on right-click on the background and on Alt+Space.
    void ShowSystemMenu(const QPoint& globalPos);

    // The over-cycle list is read and set through its top visible item, never its selection.
    int GetOverCycleTopIndex() const;
    void SetOverCycleTopIndex(int nIndex);
    DWORD_PTR GetOverCycleItemData() const;

    // The settings a play session reads, from the controls and members.
    SessionSettings GetSessionSettings() const;
    // The tone as a tone file holds it, from the controls and members; false without memory.
    bool FillToneData(ToneData& tone) const;
    // The edits of the tone texts, in the order of kToneTextFields.
    using ToneEditArray = std::array<QLineEdit*, kToneTextFields.size()>;
    ToneEditArray ToneEdits() const;

    // Controls.
    QLineEdit* m_editModRatio;
    QLineEdit* m_editModDepth;
    QLineEdit* m_editFeedback;
    QLineEdit* m_editDistortion;
    QCheckBox* m_checkDetune;
    QCheckBox* m_checkFir;
    QPushButton* m_btnFirSettings;
    QLineEdit* m_editRange;
    QLineEdit* m_editRangeAdjust;
    QLineEdit* m_editLeftShift;
    QLineEdit* m_editRightShift;
    QLineEdit* m_editBuffer;
    QListWidget* m_listOvercycle;
    QLineEdit* m_editCache;
    QCheckBox* m_checkRecord;
    QPushButton* m_btnRecordSettings;
    QCheckBox* m_checkAccomp;
    QPushButton* m_btnAccompSettings;

    // Values.
    QIcon m_hIcon;
    std::string m_strAppDir;
    std::string m_strTonePath;
    std::string m_strFirPath;
    RECT m_rectBoard;
    std::string m_strAccompFile;
    BYTE m_bAccompLoop = 0;
    int m_nAccompRatio = 50;
    int m_nRecordFormat = 0;
    BYTE m_bRecordAccomp = 0;
    CFirFilter m_firFilter1;
    CFirFilter m_firFilter2;
    int m_nFirInputVolume = 100;
    int m_nFirFilter2Volume = 100;
    int m_nFirDelay = 1;
    int m_nFirFeedback = 0;
    std::string m_strFirFile1;
    std::string m_strFirFile2;
    // The sound device chosen in the device dialog ("" = the default), and whether the settings
    // file has the value (it is written only once there is something to keep).
    std::string m_strWaveDevice;
    bool m_bWaveDeviceStored = false;
    // A device given on the command line wins over the saved choice for this run.
    static inline bool s_bDeviceGiven = false;
    // The note guides and pitch correction, and the tuning a play session uses; the values are
    // written to the settings file once there is something to keep.
    TuningChoice m_tuningChoice;
    CTuning m_tuning;
    bool m_bTuningStored = false;
    // MIDI out: 0 off, 1 MPE, 2 single channel; the ports while it is on.
    int m_nMidiMode = 0;
    bool m_bMidiStored = false;
    bool m_bMidiUnlimited = false;  // no DIN rate limit
    std::unique_ptr<CMidiOut> m_pMidi;
    int m_nMidiModeKept = -1;  // the mode the settings keep while --midi overrides it (-1: none)
    void SetMidiMode(int nMode);
    // MIDI in: the ports while it is on (a menu choice, kept in the settings; --midi-in turns it
    // on for one run).
    bool m_bMidiIn = false;
    bool m_bMidiInStored = false;
    std::unique_ptr<CMidiIn> m_pMidiIn;
    void SetMidiIn(bool bOn);
    static inline bool s_bMidiInGiven = false;
    // Pen tablets: how a pen plays the board (a menu choice, kept in the settings once chosen).
    TabletMode m_tabletMode = TabletMode::Off;
    bool m_bTabletStored = false;
    // The language chosen in the menu ("ja", "en"; empty: none yet), kept in the settings and
    // spoken from the next start; --language and AEROLYRE_LANGUAGE choose for one run.
    std::string m_strLanguage;
    void SetLanguage(const std::string& strLanguage);
    // The menu's choice, or this run's language while none was made.
    std::string ChosenLanguage() const;
    // Starts the take's script and tone; false with the reason in strError.
    bool StartTake(CTakeWriter& take, const std::string& strPath, const TuningChoice& tuning,
                   std::string& strError, bool bNew);
    // --midi on the command line; --take FILE.csv: the next sessions' take goes there.
    static inline bool s_bMidiGiven = false;
    static inline std::string s_strTakePath;
    // A tone named on the command line, loaded at the start (its folder is not remembered).
    static inline std::string s_strStartTone;
    // Reads a tone file into the dialog: every field read before a failure is applied, and a
    // failure shows the tone file's message.
    void LoadTone(const std::string& strPath);

protected:
    BOOL OnInitDialog() override;
    void OnDestroy() override;
    void contextMenuEvent(QContextMenuEvent* pEvent) override;
    void keyPressEvent(QKeyEvent* pEvent) override;

private:
    void RestoreSettings();
    void SaveSettings();
};

// Saves a tone file whole (a failure leaves the file that was there); false after a failure, with
// the file's error shown, or, given pstrError, handed back there instead (for the take's tone,
// which is no business of a message box).
bool SaveToneFile(const std::string& strPath, ToneData& tone, std::string* pstrError = nullptr);

// A check box's state as Windows reports it: 0, 1 (checked) or 2 (indeterminate).
int GetCheck(const QCheckBox* pBox);
void SetCheck(QCheckBox* pBox, int nState);

// The folder of the program file, without a trailing separator.
std::string ProgramFolder();
// The user's home folder, where file dialogs first open.
std::string HomeFolder();
// The installed examples (tones, impulse responses, gestures), offered in the tone dialogs.
std::string ExamplesFolder();
