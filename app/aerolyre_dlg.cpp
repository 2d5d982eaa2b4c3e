// The main dialog: construction, initialisation, the enabling rules, the system menu, and the
// settings a session reads.
#include "app/aerolyre_dlg.h"

#include <unistd.h>
#include <QCheckBox>
#include <QContextMenuEvent>
#include <QDir>
#include <QFileInfo>
#include <QKeyEvent>
#include <QLineEdit>
#include <QListWidget>
#include <QMenu>
#include <QPushButton>
#include <QScrollBar>
#include <climits>

#include <cerrno>
#include <cstdio>
#include <filesystem>
#include "app/about_dlg.h"
#include "app/device_dlg.h"
#include "app/language.h"
#include "app/tuning_dlg.h"
#include "board/board_dlg.h"
#include "engine/parameter_derivation.h"
#include "engine/take_writer.h"
#include "engine/tone_parameters.h"
#include "engine/tone_texts.h"
#include "files/takes.h"
#include "platform/file.h"
#include "platform/message_service.h"
#include "platform/qt/file_dialog.h"
#include "platform/qt/icons.h"
#include "platform/shown_text.h"
#include "platform/wave_out.h"
#include "res/dialog_templates.h"
#include "res/message_box.h"
#include "res/string_table.h"

namespace {

const char* const kOverCycleTexts[] = {"x1", "x2", "x4", "x8", "x16"};

}  // namespace

int GetCheck(const QCheckBox* pBox) {
    switch (pBox->checkState()) {
        case Qt::Checked: return 1;
        case Qt::PartiallyChecked: return 2;
        default: return 0;
    }
}

void SetCheck(QCheckBox* pBox, int nState) {
    pBox->setTristate(nState == 2);
    pBox->setCheckState(nState == 1 ? Qt::Checked : nState == 2 ? Qt::PartiallyChecked : Qt::Unchecked);
    if (nState == 2) {
        // An automatic check box leaves the third state on its first click (to checked) and never
        // comes back to it by clicking.
        QObject::connect(
            pBox, &QAbstractButton::clicked, pBox, [pBox] { pBox->setTristate(false); },
            Qt::SingleShotConnection);
    }
}

std::string HomeFolder() { return QDir::homePath().toStdString(); }

std::string ExamplesFolder() {
    // Beside an installed program first (a package unpacked anywhere), then where the build installs.
    const std::string strBeside = ProgramFolder() + "/../share/doc/aerolyre/examples";
    if (QFileInfo(QString::fromStdString(strBeside)).isDir())
        return QDir(QString::fromStdString(strBeside)).canonicalPath().toStdString();
    return AEROLYRE_EXAMPLES_DIR;
}

std::string ProgramFolder() {
    char buf[4096];
    const ssize_t n = ::readlink("/proc/self/exe", buf, sizeof buf - 1);
    if (n <= 0) return ".";
    const std::string path(buf, static_cast<std::size_t>(n));
    const std::size_t slash = path.rfind('/');
    return slash == std::string::npos ? "." : path.substr(0, slash);
}

CAerolyreDlg::CAerolyreDlg(QWidget* pParent) : CDialog(GetDialogTemplate(IDD_AEROLYRE_DIALOG), pParent) {
    m_editModRatio = Item<QLineEdit>(1006);
    m_editModDepth = Item<QLineEdit>(1007);
    m_editFeedback = Item<QLineEdit>(1010);
    m_editDistortion = Item<QLineEdit>(1011);
    m_checkDetune = Item<QCheckBox>(1003);
    m_checkFir = Item<QCheckBox>(1021);
    m_btnFirSettings = Item<QPushButton>(1022);
    m_editRange = Item<QLineEdit>(1004);
    m_editRangeAdjust = Item<QLineEdit>(1019);
    m_editLeftShift = Item<QLineEdit>(1012);
    m_editRightShift = Item<QLineEdit>(1013);
    m_editBuffer = Item<QLineEdit>(1002);
    m_listOvercycle = Item<QListWidget>(1009);
    m_editCache = Item<QLineEdit>(1035);
    m_checkRecord = Item<QCheckBox>(1016);
    m_btnRecordSettings = Item<QPushButton>(1020);
    m_checkAccomp = Item<QCheckBox>(1017);
    m_btnAccompSettings = Item<QPushButton>(1029);
    m_hIcon = AppIcon();

    OnCommand(1000, &CAerolyreDlg::OnPlay);
    OnCommand(1014, &CAerolyreDlg::OnLoadTone);
    OnCommand(1015, &CAerolyreDlg::OnSaveTone);
    OnCommand(1021, &CAerolyreDlg::OnCheckFir);
    OnCommand(1016, &CAerolyreDlg::OnCheckRecord);
    OnCommand(1017, &CAerolyreDlg::OnCheckAccomp);
    OnCommand(1022, &CAerolyreDlg::OnFirSettings);
    OnCommand(1029, &CAerolyreDlg::OnAccompSettings);
    OnCommand(1020, &CAerolyreDlg::OnRecordSettings);
}

BOOL CAerolyreDlg::OnInitDialog() {
    CDialog::OnInitDialog();

    m_strAppDir = ProgramFolder();
    // The program's folder is /usr/bin once installed: the first file dialogs open at home.
    m_strTonePath = HomeFolder();
    m_strFirPath = m_strTonePath;

    setWindowIcon(m_hIcon);

    const ParameterTexts t = StartupParameterTexts();
    const ToneEditArray edits = ToneEdits();
    for (std::size_t i = 0; i < edits.size(); ++i)
        edits[i]->setText(QString::fromStdString(t.*kToneTextFields[i].pText));
    m_editBuffer->setText(QString::fromStdString(t.strBuffer));
    m_editCache->setText(QString::fromStdString(DefaultText(ToneParameterOf(ToneParam::Cache))));

    // One item fills the list's height exactly, so the list works as a spin control.
    const int nRowHeight = m_listOvercycle->height() - 2 * m_listOvercycle->frameWidth();
    for (int i = 0; i < 5; ++i) {
        auto* pItem = new QListWidgetItem(kOverCycleTexts[i], m_listOvercycle);
        pItem->setData(Qt::UserRole, static_cast<qulonglong>(kOverCycleItemData[i]));
        pItem->setSizeHint(QSize(0, nRowHeight));
    }
    SetOverCycleTopIndex(0);

    RestoreSettings();
    // MIDI out as last time, or as --midi asks for this run (MPE unless a mode was chosen before);
    // the settings keep what they had unless the menu changes it.
    if (s_bMidiGiven && m_nMidiMode == 0) {
        m_nMidiModeKept = 0;
        const bool bStored = m_bMidiStored;
        SetMidiMode(1);
        m_bMidiStored = bStored;
    } else if (m_nMidiMode != 0) {
        SetMidiMode(m_nMidiMode);
    }
    // MIDI in as last time; --midi-in opens it for this run without changing the setting.
    if (m_bMidiIn || s_bMidiInGiven) {
        const bool bSetting = m_bMidiIn, bStored = m_bMidiInStored;
        SetMidiIn(true);
        m_bMidiIn = bSetting;
        m_bMidiInStored = bStored;
    }

    m_strAccompFile.clear();
    m_bAccompLoop = 0;
    m_nAccompRatio = 50;
    m_strFirFile1.clear();
    m_nRecordFormat = 0;
    m_bRecordAccomp = 0;
    m_nFirFilter2Volume = 100;
    m_nFirInputVolume = 100;
    m_strFirFile2.clear();
    m_nFirDelay = 1;
    m_nFirFeedback = 0;
    if (!s_strStartTone.empty()) LoadTone(s_strStartTone);
    return TRUE;
}

void CAerolyreDlg::OnDestroy() { SaveSettings(); }

int CAerolyreDlg::GetOverCycleTopIndex() const { return m_listOvercycle->verticalScrollBar()->value(); }

void CAerolyreDlg::SetOverCycleTopIndex(int nIndex) {
    // The scroll range exists once the view has laid out its items.
    m_listOvercycle->doItemsLayout();
    m_listOvercycle->verticalScrollBar()->setValue(nIndex);
}

DWORD_PTR CAerolyreDlg::GetOverCycleItemData() const {
    const QListWidgetItem* pItem = m_listOvercycle->item(GetOverCycleTopIndex());
    return pItem != nullptr ? static_cast<DWORD_PTR>(pItem->data(Qt::UserRole).toULongLong()) : 0;
}

void CAerolyreDlg::OnCheckFir() { m_btnFirSettings->setEnabled(GetCheck(m_checkFir) == 1); }

void CAerolyreDlg::OnCheckRecord() { m_btnRecordSettings->setEnabled(GetCheck(m_checkRecord) == 1); }

void CAerolyreDlg::OnCheckAccomp() { m_btnAccompSettings->setEnabled(GetCheck(m_checkAccomp) == 1); }

void CAerolyreDlg::OnSysCommand(UINT nID) {
    // The low four bits are the system's own; 16 to 31 all mean the About box.
    if ((nID & 0xFFF0) == IDM_ABOUTBOX) {
        CAboutDlg about(this);
        about.DoModal();
    }
}

void CAerolyreDlg::OnDeviceSettings() {
    CDeviceDlg dlg(this, ListWaveOutDevices(), m_strWaveDevice);
    if (dlg.DoModal() != IDOK) return;
    // The choice made now wins over the command line and the environment for the rest of the run.
    m_strWaveDevice = dlg.m_strDevice;
    SetWaveOutDevice(m_strWaveDevice);
}

void CAerolyreDlg::OnTuningSettings() {
    CTuningDlg dlg(this, m_tuningChoice);
    if (dlg.DoModal() != IDOK) return;
    m_tuningChoice = dlg.m_choice;
    m_bTuningStored = true;
}

void CAerolyreDlg::SetMidiMode(int nMode) {
    m_nMidiMode = nMode;
    m_bMidiStored = true;
    if (nMode == 0) {
        m_pMidi.reset();
        return;
    }
    if (m_pMidi) return;
    m_pMidi = std::make_unique<CMidiOut>();
    std::string strError;
    if (!m_pMidi->Open(strError)) {
        LogLine("MIDI out could not be opened: " + strError);
        m_pMidi.reset();
    }
}

void CAerolyreDlg::SetMidiIn(bool bOn) {
    m_bMidiIn = bOn;
    m_bMidiInStored = true;
    if (!bOn) {
        m_pMidiIn.reset();
        return;
    }
    if (m_pMidiIn) return;
    m_pMidiIn = std::make_unique<CMidiIn>();
    std::string strError;
    if (!m_pMidiIn->Open(strError)) {
        LogLine("MIDI in could not be opened: " + strError);
        m_pMidiIn.reset();
    }
}

void CAerolyreDlg::ShowSystemMenu(const QPoint& globalPos) {
    const std::string strAbout = ResString(IDS_ABOUTBOX);
    if (strAbout.empty()) return;
    QMenu menu(this);
    menu.addSeparator();
    QAction* pAbout = menu.addAction(QString::fromStdString(strAbout));
    pAbout->setObjectName("IDM_ABOUTBOX");
    QObject::connect(pAbout, &QAction::triggered, this, [this] { OnSysCommand(IDM_ABOUTBOX); });
    QAction* pTuning = menu.addAction(QString::fromStdString(ResString(IDS_TUNING_MENU)));
    pTuning->setObjectName("IDM_TUNING");
    QObject::connect(pTuning, &QAction::triggered, this, [this] { OnTuningSettings(); });
    QMenu* pMidi = menu.addMenu(QString::fromStdString(ResString(IDS_MIDI_MENU)));
    pMidi->setObjectName("IDM_MIDI");
    const UINT aMidiTexts[] = {IDS_MIDI_OFF, IDS_MIDI_MPE, IDS_MIDI_SINGLE};
    for (int nMode = 0; nMode < 3; ++nMode) {
        QAction* pMode = pMidi->addAction(QString::fromStdString(ResString(aMidiTexts[nMode])));
        pMode->setCheckable(true);
        pMode->setChecked(m_nMidiMode == nMode);
        QObject::connect(pMode, &QAction::triggered, this, [this, nMode] {
            m_nMidiModeKept = -1;
            SetMidiMode(nMode);
        });
    }
    pMidi->addSeparator();
    QAction* pUnlimited = pMidi->addAction(QString::fromStdString(ResString(IDS_MIDI_UNLIMITED)));
    pUnlimited->setObjectName("IDM_MIDI_UNLIMITED");
    pUnlimited->setCheckable(true);
    pUnlimited->setChecked(m_bMidiUnlimited);
    QObject::connect(pUnlimited, &QAction::triggered, this, [this](bool bChecked) {
        m_bMidiUnlimited = bChecked;
        m_bMidiStored = true;
    });
    QAction* pMidiIn = menu.addAction(QString::fromStdString(ResString(IDS_MIDI_IN)));
    pMidiIn->setObjectName("IDM_MIDI_IN");
    pMidiIn->setCheckable(true);
    pMidiIn->setChecked(m_pMidiIn != nullptr);
    QObject::connect(pMidiIn, &QAction::triggered, this, [this](bool bChecked) { SetMidiIn(bChecked); });
    QMenu* pTablet = menu.addMenu(QString::fromStdString(ResString(IDS_TABLET_MENU)));
    pTablet->setObjectName("IDM_TABLET");
    for (int nMode = 0; nMode < kTabletModeCount; ++nMode) {
        QAction* pMode = pTablet->addAction(QString::fromStdString(ResString(IDS_TABLET_OFF + nMode)));
        pMode->setCheckable(true);
        pMode->setChecked(static_cast<int>(m_tabletMode) == nMode);
        QObject::connect(pMode, &QAction::triggered, this, [this, nMode] {
            m_tabletMode = static_cast<TabletMode>(nMode);
            m_bTabletStored = true;
        });
    }
    QAction* pDevice = menu.addAction(QString::fromStdString(ResString(IDS_DEVICE_MENU)));
    pDevice->setObjectName("IDM_DEVICE");
    QObject::connect(pDevice, &QAction::triggered, this, [this] { OnDeviceSettings(); });
    // Each language by its own name, so a player who reads only one finds it.
    QMenu* pLanguage = menu.addMenu(QString::fromStdString(ResString(IDS_LANGUAGE_MENU)));
    pLanguage->setObjectName("IDM_LANGUAGE");
    const std::string strChosen = ChosenLanguage();
    for (const auto& [nText, pszCode] :
         {std::pair{IDS_LANGUAGE_JA, "ja"}, std::pair{IDS_LANGUAGE_EN, "en"}}) {
        QAction* pChoice = pLanguage->addAction(QString::fromStdString(ResString(nText)));
        pChoice->setObjectName(QString("IDM_LANGUAGE_") + pszCode);
        pChoice->setCheckable(true);
        pChoice->setChecked(strChosen == pszCode);
        QObject::connect(pChoice, &QAction::triggered, this,
                         [this, strCode = std::string(pszCode)] { SetLanguage(strCode); });
    }
    menu.exec(globalPos);
}

std::string CAerolyreDlg::ChosenLanguage() const {
    return m_strLanguage.empty() ? ShownLanguage() : m_strLanguage;
}

void CAerolyreDlg::SetLanguage(const std::string& strLanguage) {
    const std::string strBefore = ChosenLanguage();
    m_strLanguage = strLanguage;
    // The dialogs are built in one language; the word comes in the language just chosen.
    if (strLanguage != strBefore)
        AfxMessageBox(TextIn(strLanguage, LoadResStringAsWritten(IDS_LANGUAGE_NEXT_START)));
}

void CAerolyreDlg::contextMenuEvent(QContextMenuEvent* pEvent) { ShowSystemMenu(pEvent->globalPos()); }

void CAerolyreDlg::keyPressEvent(QKeyEvent* pEvent) {
    // The background menu from the keyboard: Alt+Space as designed, and F10, Shift+F10 and the
    // menu key, which desktops leave to the window.
    const int nKey = pEvent->key();
    const Qt::KeyboardModifiers mods = pEvent->modifiers();
    if ((nKey == Qt::Key_Space && mods == Qt::AltModifier) ||
        (nKey == Qt::Key_F10 && mods == Qt::NoModifier) ||
        (nKey == Qt::Key_F10 && mods == Qt::ShiftModifier) || nKey == Qt::Key_Menu) {
        ShowSystemMenu(mapToGlobal(QPoint(0, 0)));
        return;
    }
    CDialog::keyPressEvent(pEvent);
}

SessionSettings CAerolyreDlg::GetSessionSettings() const {
    SessionSettings s;
    s.texts.strBuffer = m_editBuffer->text().toStdString();
    const ToneEditArray edits = ToneEdits();
    for (std::size_t i = 0; i < edits.size(); ++i)
        s.texts.*kToneTextFields[i].pText = edits[i]->text().toStdString();
    s.nCheckDetune = GetCheck(m_checkDetune);
    s.dwOverCycleData = GetOverCycleItemData();
    s.strCache = m_editCache->text().toStdString();
    s.fir = {GetCheck(m_checkFir), &m_firFilter1, &m_firFilter2, m_nFirInputVolume,
             m_nFirFilter2Volume,  m_nFirDelay,   m_nFirFeedback};
    s.nCheckAccomp = GetCheck(m_checkAccomp);
    s.strAccompFile = m_strAccompFile;
    s.bAccompLoop = m_bAccompLoop != 0;
    s.nAccompRatio = m_nAccompRatio;
    s.nCheckRecord = GetCheck(m_checkRecord);
    s.nRecordFormat = m_nRecordFormat;
    s.bRecordAccomp = m_bRecordAccomp != 0;
    return s;
}

bool CAerolyreDlg::StartTake(CTakeWriter& take, const std::string& strPath, const TuningChoice& tuning,
                             std::string& strError, bool bNew) {
    ToneData tone;
    if (!FillToneData(tone)) {
        strError = "the tone could not be read";
        return false;
    }
    const int nTop = GetOverCycleTopIndex();
    const char* pszOverCycle = kOverCycleNames[nTop >= 0 && nTop < kOverCycleChoices ? nTop : 0];
    // Absolute paths, so the command works from any folder; the scale and map as copies beside the
    // take, so a later edit of them leaves the take as it was played.
    std::string strRender = "aerolyre-render --tone " + ShellQuoted(TakeTonePath(strPath)) + " " +
                            RenderOption(ToneParam::OverCycle, pszOverCycle) + " " +
                            RenderOption(ToneParam::Buffer, ShellQuoted(m_editBuffer->text().toStdString()));
    std::vector<std::pair<std::string, std::string>> copies;  // from, to: made once the name is ours
    if (tuning.InUse()) {
        const auto copy = [&](const std::string& strFrom, const char* pszExt, const char* pszOption) {
            const std::string strTo = TakeSiblingPath(strPath, pszExt);
            copies.emplace_back(strFrom, strTo);
            strRender += std::string(" ") + pszOption + " " + ShellQuoted(strTo);
        };
        if (tuning.strScale.empty()) {
            strRender += " --quantise";
        } else {
            copy(tuning.strScale, ".scl", "--scale");
            if (!tuning.strKbm.empty()) copy(tuning.strKbm, ".kbm", "--kbm");
        }
        char sz[64];
        if (tuning.dReference > 0) {
            std::snprintf(sz, sizeof sz, " --reference %.17g", tuning.dReference);
            strRender += sz;
        }
        if (tuning.nStrength != 100)
            strRender += " --correction-strength " + std::to_string(tuning.nStrength);
    }
    std::string strHeader =
        "aerolyre take\nrender again: " + strRender + " " + ShellQuoted(strPath) + " OUT.wav";
    if (GetCheck(m_checkAccomp) == 1) {
        strHeader += "\naccompaniment: " + m_strAccompFile + ", ratio " + std::to_string(m_nAccompRatio) +
                     (m_bAccompLoop ? ", looped" : "");
    }
    // The script first: a new name is ours once it exists, and only then are its siblings written.
    if (!take.Start(strPath, strHeader, bNew)) {
        strError = CFileException(CFileException::genericException, errno, strPath).GetErrorMessage();
        return false;
    }
    bool bOk = SaveToneFile(TakeTonePath(strPath), tone, &strError);
    for (const auto& [strFrom, strTo] : copies) {
        std::error_code ec;
        if (!bOk) break;
        std::filesystem::copy_file(strFrom, strTo, std::filesystem::copy_options::overwrite_existing, ec);
        if (ec) strError = strFrom + ": " + ec.message();
        bOk = !ec;
    }
    if (!bOk) {
        take.Stop();
        std::remove(strPath.c_str());
        for (const char* ext : {".aly", ".scl", ".kbm"}) std::remove(TakeSiblingPath(strPath, ext).c_str());
        return false;
    }
    return true;
}

void CAerolyreDlg::OnPlay() {
    CBoardDlg board(this);
    board.m_rectPlace = m_rectBoard;
    const auto askRecordPath = [this](std::string& strPath) {
        // No initial name: the dialog starts in the current folder.
        CFileDialog dlg(false, ".wav", "",
                        OFN_OVERWRITEPROMPT | OFN_HIDEREADONLY | OFN_PATHMUSTEXIST | OFN_NONETWORKBUTTON,
                        "録音ﾌｧｲﾙ(wav)|*.wav||", this);
        if (dlg.DoModal() != IDOK) return false;
        strPath = dlg.GetPathName();
        return true;
    };
    SessionSettings settings = GetSessionSettings();
    // The board always has the tuning, so G shows guides at any time; the voice follows it only
    // when the guides or the correction were in use at the start (Q then works), so the
    // per-sample path is as it always was otherwise.
    std::string strError;
    if (!m_tuningChoice.Build(m_tuning, strError)) {
        AfxMessageBox(ResString(IDS_ERR_TUNING_SCALE) + "\n" + strError);
        m_tuning = CTuning::EqualTemperament();
    }
    // What the voice plays in: 12-TET when the chosen scale could not be read.
    TuningChoice played = m_tuningChoice;
    if (!strError.empty()) {
        played.strScale.clear();
        played.strKbm.clear();
        played.dReference = 0;
    }
    settings.pQuantise = m_tuningChoice.InUse() ? &m_tuning : nullptr;
    settings.bQuantise = m_tuningChoice.bQuantise;
    settings.dQuantiseStrength = m_tuningChoice.nStrength / 100.0;
    if (m_pMidi) {
        settings.pMidiQueue = &m_pMidi->Queue();
        settings.nMidiMode = m_nMidiMode == 2 ? 1 : 0;
        settings.bMidiNoRateLimit = m_bMidiUnlimited;
    }
    if (m_pMidiIn) {
        m_pMidiIn->BeginSession();
        settings.apMidiIn[0] = m_pMidiIn->Queue(0);
        settings.apMidiIn[1] = m_pMidiIn->Queue(1);
    }
    // The take: what the audio thread plays, as a script that renders the session again.
    CTakeWriter take;
    std::string strTakeError;
    // A new name another program took in the same second: the next one.
    std::string strTake;
    for (int nTry = 0; nTry < 8 && settings.pTakeQueue == nullptr; ++nTry) {
        strTake = s_strTakePath.empty() ? NewTakePath(strTakeError)
                                        : std::filesystem::absolute(s_strTakePath).string();
        errno = 0;
        if (!strTake.empty() && StartTake(take, strTake, played, strTakeError, s_strTakePath.empty()))
            settings.pTakeQueue = &take.Queue();
        if (errno != EEXIST || !s_strTakePath.empty()) break;
    }
    // Play goes on without it; the player learns once why there will be no take.
    if (settings.pTakeQueue == nullptr) LogLine("no take of this performance is kept: " + strTakeError);
    if (!StartSession(settings, askRecordPath)) {
        take.Stop();
        std::remove(strTake.c_str());
        for (const char* ext : {".aly", ".scl", ".kbm"}) std::remove(TakeSiblingPath(strTake, ext).c_str());
        return;
    }
    // MIDI is sent when its sample sounds: after the ring of blocks ahead of the device.
    if (m_pMidi)
        m_pMidi->BeginSession(kBlockCount * PerformanceState.nBlockSamples /
                              static_cast<double>(kSampleRate));
    board.m_pTuningChoice = &m_tuningChoice;
    board.m_tabletMode = m_tabletMode;
    board.m_pTuning = &m_tuning;
    // The audio thread renders while the board is up; when it returns the thread has ended.
    board.DoModal();
    // What reached the MIDI ports, told as the sound device's underruns are.
    if (m_pMidi) LogLine(m_pMidi->EndSession());
    m_rectBoard = board.m_rectPlace;
    // The keys may have changed the choice: keep it.
    m_bTuningStored = m_bTuningStored || m_tuningChoice.InUse();
    if (settings.pTakeQueue != nullptr) {
        if (!take.Stop()) LogLine("the take " + strTake + " is incomplete");
        if (s_strTakePath.empty()) PruneTakes(TakeFolder());
    }
}
