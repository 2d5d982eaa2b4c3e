// Settings that survive a restart, and tone files from the main dialog.
#include <gtest/gtest.h>
#include <sys/resource.h>

#include <sys/stat.h>
#include <QCheckBox>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QRadioButton>
#include <QScreen>
#include <csignal>
#include <filesystem>
#include <fstream>
#include <functional>

#include "app/aerolyre_dlg.h"
#include "platform/qt/file_dialog.h"
#include "platform/registry.h"
#include "platform/wave_out.h"
#include "tests/support/file_size_limit.h"
#include "tests/support/message_recorder.h"
#include "tests/support/temp_dir.h"
#include "tests/support/wav_builder.h"
#include "tests/ui/ui_test_support.h"

namespace {

class SettingsTest : public ::testing::Test {
protected:
    void SetUp() override {
        ::setenv("XDG_CONFIG_HOME", m_dir.Path("config").c_str(), 1);
        std::filesystem::create_directories(m_dir.Path("config"));
    }
    void TearDown() override { SetFileDialogResponder(nullptr); }

    std::string RegistryText() {
        std::ifstream in(RegistryFilePath());
        return std::string((std::istreambuf_iterator<char>(in)), {});
    }
    void WriteRegistry(const std::string& values) {
        std::filesystem::create_directories(std::filesystem::path(RegistryFilePath()).parent_path());
        std::ofstream(RegistryFilePath())
            << "REGEDIT4\n\n[HKEY_CURRENT_USER\\Software\\Velmora\\Aerolyre\\AppInfo]\n"
            << values;
    }
    // Runs a main dialog through its whole life, with the test's steps while it is open.
    void RunMain(const std::function<void(CAerolyreDlg&)>& steps) {
        CAerolyreDlg dlg;
        RunModal(dlg, [&] { steps(dlg); });
    }
    // The next file dialog is answered with this path (empty: Cancel).
    void AnswerFileDialog(const std::string& path) {
        SetFileDialogResponder([path](const FileDialogRequest&, std::string& chosen) {
            chosen = path;
            return !path.empty();
        });
    }

    TempDir m_dir;
    MessageRecorder m_messages;
};

}  // namespace

TEST_F(SettingsTest, FirstRunCreatesTheKeyAndSavesThirteenValues) {
    RunMain([&](CAerolyreDlg& dlg) {
        EXPECT_EQ(dlg.m_editBuffer->text(), "400");
        EXPECT_EQ(dlg.m_listOvercycle->item(dlg.GetOverCycleTopIndex())->text(), "x1");
        EXPECT_EQ(dlg.m_editCache->text(), "64");
        // Centred on the screen's work area.
        const QRect work = dlg.screen()->availableGeometry();
        EXPECT_NEAR(dlg.frameGeometry().center().x(), work.center().x(), 1);
        EXPECT_NEAR(dlg.frameGeometry().center().y(), work.center().y(), 1);
        // The restore created the key.
        EXPECT_NE(RegistryText().find("[HKEY_CURRENT_USER\\Software\\Velmora\\Aerolyre\\AppInfo]"),
                  std::string::npos);
    });
    const std::string text = RegistryText();
    for (const char* name : {"Process_Overcycle", "Process_BufSize", "Process_CacheSize", "Nerio_Path",
                             "Fir_Path", "MainDlgL", "MainDlgT", "MainDlgB", "MainDlgR"}) {
        EXPECT_NE(text.find(std::string("\"") + name + "\"="), std::string::npos) << name;
    }
    for (const char* name : {"EnsouDlgL", "EnsouDlgT", "EnsouDlgB", "EnsouDlgR"}) {
        EXPECT_NE(text.find(std::string("\"") + name + "\"=dword:00000000"), std::string::npos) << name;
    }
    EXPECT_NE(text.find("\"Process_BufSize\"=\"400\""), std::string::npos);

    // A second run with those zeros: the board rectangle is the empty all-zero one.
    RunMain([&](CAerolyreDlg& dlg) {
        EXPECT_EQ(dlg.m_rectBoard, (RECT{0, 0, 0, 0}));
        EXPECT_TRUE(dlg.m_rectBoard.IsEmpty());
    });
}

TEST_F(SettingsTest, SavedTextsAndListPositionComeBack) {
    RunMain([&](CAerolyreDlg& dlg) {
        dlg.m_editBuffer->setText("abc");
        dlg.m_editCache->setText(" 128x");
        dlg.SetOverCycleTopIndex(3);
        dlg.m_strTonePath = "/some/where/tone.aly";
    });
    RunMain([&](CAerolyreDlg& dlg) {
        EXPECT_EQ(dlg.m_editBuffer->text(), "abc");
        EXPECT_EQ(dlg.m_editCache->text(), " 128x");
        EXPECT_EQ(dlg.GetOverCycleTopIndex(), 3);
        EXPECT_EQ(dlg.m_strTonePath, "/some/where/tone.aly");
        // Play reads the restored text and refuses it.
        dlg.OnPlay();
        EXPECT_TRUE(m_messages.ShownOnly(1000));
    });
}

TEST_F(SettingsTest, MainWindowRestoreRules) {
    const struct {
        const char* what;
        const char* values;
        bool bCentred;
        QPoint at;
    } cases[] = {
        {"saved at the origin",
         "\"MainDlgL\"=dword:00000000\n\"MainDlgT\"=dword:00000000\n\"MainDlgB\"=dword:"
         "000001f4\n\"MainDlgR\"=dword:00000258\n",
         true,
         {}},
        {"right side missing",
         "\"MainDlgL\"=dword:00000032\n\"MainDlgT\"=dword:0000003c\n\"MainDlgB\"=dword:000001f4\n",
         false,
         {50, 60}},
        {"nothing saved", "", true, {}},
        {"only the right side", "\"MainDlgR\"=dword:00000258\n", true, {}},
    };
    for (const auto& c : cases) {
        WriteRegistry(c.values);
        RunMain([&](CAerolyreDlg& dlg) {
            if (c.bCentred) {
                const QRect work = dlg.screen()->availableGeometry();
                EXPECT_NEAR(dlg.frameGeometry().center().x(), work.center().x(), 1) << c.what;
            } else {
                EXPECT_EQ(dlg.frameGeometry().topLeft(), c.at) << c.what;
            }
        });
    }
}

TEST_F(SettingsTest, ValuesOfTheWrongKindOrSizeCountAsMissing) {
    WriteRegistry("\"Process_Overcycle\"=\"3\"\n\"Process_BufSize\"=\"" + std::string(256, '7') +
                  "\"\n\"Process_CacheSize\"=\"" + std::string(255, '8') + "\"\n\"EnsouDlgL\"=\"5\"\n");
    RunMain([&](CAerolyreDlg& dlg) {
        EXPECT_EQ(dlg.GetOverCycleTopIndex(), 0) << "a DWORD stored as text is ignored";
        EXPECT_EQ(dlg.m_editBuffer->text(), "400") << "256 bytes do not fit the buffer";
        EXPECT_EQ(dlg.m_editCache->text().size(), 255);
    });
    WriteRegistry("\"Process_Overcycle\"=dword:00000007\n");
    RunMain([&](CAerolyreDlg& dlg) { EXPECT_EQ(dlg.GetOverCycleTopIndex(), 0); });
}

TEST_F(SettingsTest, DamagedRegistryFileGivesDefaults) {
    std::filesystem::create_directories(std::filesystem::path(RegistryFilePath()).parent_path());
    std::ofstream(RegistryFilePath(), std::ios::binary)
        << std::string("\x01\x02[HKEY\n\"x\"=\xff\xfe\n\0\0", 16);
    RunMain([&](CAerolyreDlg& dlg) {
        EXPECT_EQ(dlg.m_editBuffer->text(), "400");
        EXPECT_EQ(dlg.GetOverCycleTopIndex(), 0);
        dlg.m_editBuffer->setText("800");
    });
    RunMain([&](CAerolyreDlg& dlg) { EXPECT_EQ(dlg.m_editBuffer->text(), "800"); });
}

TEST_F(SettingsTest, ToneRoundTripsEveryFieldThroughTheDialog) {
    const std::string path = m_dir.Path("mine.aly");
    const float taps[] = {0.5f, -1.0f, 0.25f};
    RunMain([&](CAerolyreDlg& dlg) {
        dlg.m_editRange->setText("7");
        dlg.m_editRangeAdjust->setText("-3");
        dlg.m_editLeftShift->setText("12");
        dlg.m_editRightShift->setText("-12");
        dlg.m_editModRatio->setText("9");
        dlg.m_editModDepth->setText("999");
        dlg.m_editFeedback->setText("abc");
        dlg.m_editDistortion->setText("");
        SetCheck(dlg.m_checkDetune, 1);
        SetCheck(dlg.m_checkFir, 1);
        dlg.m_nFirInputVolume = 150;
        dlg.m_nFirFilter2Volume = 2000;
        dlg.m_strFirFile1 = "一.wav";
        dlg.m_strFirFile2 = "two.wav";
        dlg.m_firFilter1.SetTaps(taps, 3);
        dlg.m_nFirDelay = 44100;
        dlg.m_nFirFeedback = 75;
        AnswerFileDialog(path);
        dlg.OnSaveTone();
        EXPECT_EQ(dlg.m_strTonePath, path);
    });
    EXPECT_TRUE(m_messages.Messages().empty());
    RunMain([&](CAerolyreDlg& dlg) {
        dlg.m_editBuffer->setText("1234");
        SetCheck(dlg.m_checkRecord, 1);
        dlg.m_nAccompRatio = 77;
        AnswerFileDialog(path);
        dlg.OnLoadTone();
        EXPECT_TRUE(m_messages.Messages().empty());
        EXPECT_EQ(dlg.m_editRange->text(), "7");
        EXPECT_EQ(dlg.m_editRangeAdjust->text(), "-3");
        EXPECT_EQ(dlg.m_editLeftShift->text(), "12");
        EXPECT_EQ(dlg.m_editRightShift->text(), "-12");
        EXPECT_EQ(dlg.m_editModRatio->text(), "9");
        EXPECT_EQ(dlg.m_editModDepth->text(), "999");
        EXPECT_EQ(dlg.m_editFeedback->text(), "abc");
        EXPECT_EQ(dlg.m_editDistortion->text(), "");
        EXPECT_EQ(GetCheck(dlg.m_checkDetune), 1);
        EXPECT_EQ(GetCheck(dlg.m_checkFir), 1);
        EXPECT_TRUE(dlg.m_btnFirSettings->isEnabled());
        EXPECT_EQ(dlg.m_nFirInputVolume, 150);
        EXPECT_EQ(dlg.m_nFirFilter2Volume, 2000);
        EXPECT_EQ(dlg.m_strFirFile1, "一.wav");
        EXPECT_EQ(dlg.m_strFirFile2, "two.wav");
        ASSERT_EQ(dlg.m_firFilter1.m_nTaps, 3);
        EXPECT_EQ(dlg.m_firFilter1.m_pTaps[1], -1.0f);
        EXPECT_EQ(dlg.m_nFirDelay, 44100);
        EXPECT_EQ(dlg.m_nFirFeedback, 75);
        // What a tone file does not hold stays as it was.
        EXPECT_EQ(dlg.m_editBuffer->text(), "1234");
        EXPECT_EQ(GetCheck(dlg.m_checkRecord), 1);
        EXPECT_EQ(dlg.m_nAccompRatio, 77);
    });
}

TEST_F(SettingsTest, RefusedToneFilesChangeOnlyWhatCameBeforeTheFailure) {
    // Version 2: nothing changes.
    std::vector<unsigned char> v2 = {2, 0, 0, 0, 2, 0, 0, 0, '7', 0};
    const std::string bad = m_dir.Path("bad.aly");
    WavBytes::Write(bad, v2);
    RunMain([&](CAerolyreDlg& dlg) {
        AnswerFileDialog(bad);
        dlg.OnLoadTone();
        EXPECT_TRUE(m_messages.ShownOnly(2101));
        EXPECT_EQ(dlg.m_editRange->text(), "5");
        EXPECT_EQ(dlg.m_strTonePath, bad);
    });
    // A FIR state of 3 at field 11: the eight texts and the detune state are kept.
    std::vector<unsigned char> f;
    auto i32 = [&](int n) {
        for (int k = 0; k < 4; ++k) f.push_back(static_cast<unsigned char>(n >> (8 * k)));
    };
    auto str = [&](const char* s) {
        i32(static_cast<int>(std::strlen(s)) + 1);
        f.insert(f.end(), s, s + std::strlen(s) + 1);
    };
    i32(1);
    for (const char* s : {"3", "4", "5", "6", "7", "8", "9", "10"}) str(s);
    i32(1);
    i32(3);
    WavBytes::Write(bad, f);
    m_messages.Clear();
    RunMain([&](CAerolyreDlg& dlg) {
        AnswerFileDialog(bad);
        dlg.OnLoadTone();
        EXPECT_TRUE(m_messages.ShownOnly(2101));
        EXPECT_EQ(dlg.m_editRange->text(), "3");
        EXPECT_EQ(dlg.m_editDistortion->text(), "10");
        EXPECT_EQ(GetCheck(dlg.m_checkDetune), 1);
        EXPECT_EQ(GetCheck(dlg.m_checkFir), 0);
    });
    // A file that cannot be opened.
    m_messages.Clear();
    RunMain([&](CAerolyreDlg& dlg) {
        AnswerFileDialog(m_dir.Path("nowhere.aly"));
        dlg.OnLoadTone();
        EXPECT_TRUE(m_messages.ShownOnly(2101));
        EXPECT_EQ(dlg.m_strTonePath, m_dir.Path("nowhere.aly"));
    });
}

TEST_F(SettingsTest, FailedSaveLeavesThePreviousFileByteForByte) {
    const std::string path = m_dir.Path("keep.aly");
    const std::vector<unsigned char> previous(300, 0x5A);
    WavBytes::Write(path, previous);
    RunMain([&](CAerolyreDlg& dlg) {
        // Files may grow to 50 bytes at most: the tone file's writes fail part way.
        const FileSizeLimit limit(50);
        AnswerFileDialog(path);
        dlg.OnSaveTone();
    });
    EXPECT_TRUE(m_messages.ShownOnly(2100));
    EXPECT_EQ(WavBytes::ReadFile(path), previous);
    int n = 0;
    for (const auto& e : std::filesystem::directory_iterator(m_dir.Root()))
        n += e.path().filename().string().rfind("keep.aly", 0) == 0;
    EXPECT_EQ(n, 1) << "the temporary file is removed";
}

// Whatever keeps the settings from their file, the save says so on stderr (and the message log).
TEST_F(SettingsTest, EveryFailedSettingsSaveSaysSo) {
    const std::string config = m_dir.Path("config");
    const std::string folder = config + "/Velmora/Aerolyre";
    const struct {
        const char* name;
        std::function<void()> spoil;
    } kCases[] = {
        {"the config folder is a file",
         [&] {
             std::filesystem::remove_all(config);
             WavBytes::Write(config, {1});
         }},
        {"the settings file is a folder",
         [&] { std::filesystem::create_directories(folder + "/registry.reg"); }},
        {"the settings file is a pipe",
         [&] {
             std::filesystem::create_directories(folder);
             ASSERT_EQ(::mkfifo((folder + "/registry.reg").c_str(), 0600), 0);
         }},
        {"the disk is full", [] {}},
    };
    for (const auto& c : kCases) {
        std::filesystem::remove_all(config);
        std::filesystem::create_directories(config);
        c.spoil();
        const bool bFull = std::string(c.name) == "the disk is full";
        testing::internal::CaptureStderr();
        RunMain([&](CAerolyreDlg&) {});
        if (bFull) {
            const FileSizeLimit limit(200);  // under the settings file, over the captured line
            RunMain([&](CAerolyreDlg& dlg) { dlg.m_editBuffer->setText("401"); });
        }
        const std::string err = testing::internal::GetCapturedStderr();
        EXPECT_NE(err.find("the settings were not saved"), std::string::npos) << c.name << ": " << err;
    }
    std::filesystem::remove_all(config);
    std::filesystem::create_directories(config);
}

TEST_F(SettingsTest, LoadedFirStateSetsTheFilterButton) {
    for (int nState : {0, 1, 2}) {
        const std::string path = m_dir.Path("fir.aly");
        RunMain([&](CAerolyreDlg& dlg) {
            SetCheck(dlg.m_checkFir, nState);
            AnswerFileDialog(path);
            dlg.OnSaveTone();
        });
        RunMain([&](CAerolyreDlg& dlg) {
            AnswerFileDialog(path);
            dlg.OnLoadTone();
            EXPECT_EQ(GetCheck(dlg.m_checkFir), nState);
            EXPECT_EQ(dlg.m_btnFirSettings->isEnabled(), nState == 1) << nState;
        });
    }
}

TEST_F(SettingsTest, DeviceChoiceIsOfferedSavedOnlyOnceMadeAndRestored) {
    // Unchosen: the file holds the thirteen values and no device.
    RunMain([](CAerolyreDlg&) {});
    EXPECT_EQ(RegistryText().find("WaveDevice"), std::string::npos);

    // The dialog offers the default first, then the system's devices, and keeps a chosen device
    // that is not there now.
    RunMain([](CAerolyreDlg& dlg) {
        Later([] {
            auto* pDlg = ActiveModal<QDialog>();
            ASSERT_NE(pDlg, nullptr);
            EXPECT_EQ(pDlg->windowTitle(), QString::fromUtf8("サウンドデバイスの設定"));
            auto* pList = pDlg->findChild<QListWidget*>("1041");
            ASSERT_NE(pList, nullptr);
            ASSERT_GE(pList->count(), 2);
            EXPECT_EQ(pList->item(0)->text(), QString::fromUtf8("既定のデバイス"));
            EXPECT_EQ(pList->currentRow(), 0);
            EXPECT_EQ(pList->item(pList->count() - 1)->text(), "null");
            pList->setCurrentRow(pList->count() - 1);
            pDlg->findChild<QPushButton*>("1")->click();
        });
        dlg.OnDeviceSettings();
        EXPECT_EQ(dlg.m_strWaveDevice, "null");
    });
    EXPECT_NE(RegistryText().find("\"WaveDevice\"=\"null\""), std::string::npos) << RegistryText();

    WriteRegistry("\"WaveDevice\"=\"jack:elsewhere\"\n");
    RunMain([](CAerolyreDlg& dlg) {
        EXPECT_EQ(dlg.m_strWaveDevice, "jack:elsewhere");
        Later([] {
            auto* pDlg = ActiveModal<QDialog>();
            ASSERT_NE(pDlg, nullptr);
            auto* pList = pDlg->findChild<QListWidget*>("1041");
            EXPECT_EQ(pList->currentItem()->text(), "jack:elsewhere");
            pList->setCurrentRow(0);  // back to the default
            pDlg->findChild<QPushButton*>("1")->click();
        });
        dlg.OnDeviceSettings();
        EXPECT_EQ(dlg.m_strWaveDevice, "");
    });
    // A value once written stays, now empty: the default.
    EXPECT_NE(RegistryText().find("\"WaveDevice\"=\"\""), std::string::npos) << RegistryText();
    ClearWaveOutDevice();
}

TEST_F(SettingsTest, TuningChoiceSurvivesARestartAndRefusesBadInput) {
    const std::string scl = m_dir.Path("5edo.scl");
    std::ofstream(scl) << "5-EDO\n5\n240.\n480.\n720.\n960.\n2/1\n";
    const std::string bad = m_dir.Path("bad.scl");
    std::ofstream(bad) << "broken\nmany\n";
    RunMain([](CAerolyreDlg&) {});
    EXPECT_EQ(RegistryText().find("Tuning_"), std::string::npos) << "nothing written until chosen";

    RunMain([&](CAerolyreDlg& dlg) {
        Later([&] {
            auto* pDlg = ActiveModal<QDialog>();
            ASSERT_NE(pDlg, nullptr);
            EXPECT_EQ(pDlg->windowTitle(), QString::fromUtf8("音程ガイドと音程補正の設定"));
            pDlg->findChild<QCheckBox*>("1051")->setChecked(true);
            pDlg->findChild<QCheckBox*>("1052")->setChecked(true);
            pDlg->findChild<QRadioButton*>("1054")->setChecked(true);
            auto* pRef = pDlg->findChild<QLineEdit*>("1055");
            pRef->setText("abc");
            auto* pOk = pDlg->findChild<QPushButton*>("1");
            // A text that is no frequency, then a damaged scale: each refused, the dialog stays.
            pOk->click();
            ASSERT_EQ(ActiveModal<QDialog>(), pDlg);
            pRef->setText("300");
            // The correction's strength: a whole percent from 0 to 100.
            auto* pStrength = pDlg->findChild<QLineEdit*>("1061");
            ASSERT_NE(pStrength, nullptr);
            EXPECT_EQ(pStrength->text(), "100");
            pStrength->setText("150");
            pOk->click();
            ASSERT_EQ(ActiveModal<QDialog>(), pDlg);
            pStrength->setText("80");
            AnswerFileDialog(bad);
            pDlg->findChild<QPushButton*>("1057")->click();
            pOk->click();
            ASSERT_EQ(ActiveModal<QDialog>(), pDlg);
            AnswerFileDialog(scl);
            pDlg->findChild<QPushButton*>("1057")->click();
            pOk->click();
        });
        dlg.OnTuningSettings();
        EXPECT_TRUE(dlg.m_tuningChoice.bGuides);
        EXPECT_EQ(dlg.m_tuningChoice.strScale, scl);
        EXPECT_EQ(dlg.m_tuningChoice.dReference, 300.0);
        EXPECT_EQ(dlg.m_tuningChoice.nStrength, 80);
    });
    const std::vector<std::string> m = m_messages.Messages();
    ASSERT_EQ(m.size(), 3u);
    EXPECT_EQ(m[0], ResString(2300));
    EXPECT_EQ(m[1], ResString(2302));
    EXPECT_EQ(m[2],
              ResString(2301) + "\n" + bad + " line 2: the note count must be a whole number from 1 to 1000");
    RunMain([&](CAerolyreDlg& dlg) {
        EXPECT_TRUE(dlg.m_tuningChoice.bGuides);
        EXPECT_TRUE(dlg.m_tuningChoice.bQuantise);
        EXPECT_EQ(dlg.m_tuningChoice.strScale, scl);
        EXPECT_EQ(dlg.m_tuningChoice.strKbm, "");
        EXPECT_EQ(dlg.m_tuningChoice.dReference, 300.0);
        EXPECT_EQ(dlg.m_tuningChoice.nStrength, 80);
    });
}
