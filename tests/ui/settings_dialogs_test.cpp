// The three settings dialogs: what they show, what they refuse, what they commit, and that the
// committed values reach the sound.
#include <gtest/gtest.h>
#include <sndfile.h>

#include <QCheckBox>
#include <QDir>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QSlider>
#include <cmath>
#include <cstring>

#include "app/aerolyre_dlg.h"
#include "options/accomp_dlg.h"
#include "options/fir_dlg.h"
#include "options/record_dlg.h"
#include "platform/qt/file_dialog.h"
#include "tests/support/message_recorder.h"
#include "tests/support/session_support.h"
#include "tests/support/sound_file.h"
#include "tests/support/temp_dir.h"
#include "tests/support/wav_builder.h"
#include "tests/ui/ui_test_support.h"

namespace {

class DialogsTest : public ::testing::Test {
protected:
    void SetUp() override { ::setenv("XDG_CONFIG_HOME", m_dir.Path("config").c_str(), 1); }
    void TearDown() override { SetFileDialogResponder(nullptr); }

    // Opens a settings dialog from the main dialog through its launcher and runs steps in it.
    template <class Dlg>
    void InLauncher(CAerolyreDlg& main, void (CAerolyreDlg::*launcher)(),
                    const std::function<void(Dlg&)>& steps) {
        Later([&] {
            auto* dlg = dynamic_cast<Dlg*>(QApplication::activeModalWidget());
            ASSERT_NE(dlg, nullptr);
            steps(*dlg);
            if (dlg->isVisible()) dlg->EndDialog(IDCANCEL);
        });
        (main.*launcher)();
    }
    void RunMain(const std::function<void(CAerolyreDlg&)>& steps) {
        CAerolyreDlg dlg;
        RunModal(dlg, [&] { steps(dlg); });
    }
    void Answer(const std::string& path) {
        SetFileDialogResponder([path](const FileDialogRequest&, std::string& chosen) {
            chosen = path;
            return !path.empty();
        });
    }
    std::string WriteWave(const char* name, const WavLayout& layout, const std::vector<unsigned char>& data) {
        const std::string path = m_dir.Path(name);
        WavBytes::Write(path, WavBytes::Make(layout, data));
        return path;
    }
    static void SetText(CDialog& d, int nId, const char* text) {
        d.Item<QLineEdit>(nId)->setText(QString::fromUtf8(text));
    }
    static QString Text(CDialog& d, int nId) { return d.Item<QLineEdit>(nId)->text(); }
    static void ClickOk(CDialog& d) { d.Item<QPushButton>(IDOK)->click(); }

    TempDir m_dir;
    MessageRecorder m_messages;
};

}  // namespace

TEST_F(DialogsTest, FirDialogShowsTheDefaults) {
    RunMain([&](CAerolyreDlg& main) {
        InLauncher<CFirDlg>(main, &CAerolyreDlg::OnFirSettings, [&](CFirDlg& d) {
            EXPECT_EQ(d.windowTitle(), QString::fromUtf8("FIRフィルタの設定"));
            EXPECT_EQ(Text(d, 1033), "100");
            EXPECT_EQ(Text(d, 1035), "1");
            EXPECT_EQ(Text(d, 1037), "0");
            EXPECT_EQ(Text(d, 1034), "100");
            EXPECT_EQ(Text(d, 1026), "");
            EXPECT_EQ(Text(d, 1027), "");
            EXPECT_EQ(Text(d, 1025), "1");
        });
    });
}

TEST_F(DialogsTest, FirVolumesAreCheckedFirst) {
    const struct {
        const char* input;
        const char* filter2;
        const char* delay;
        bool bAccepted;
        int nCommitted;
    } cases[] = {
        {"0", "100", "1", false, 0},   {"2001", "100", "1", false, 0},  {"", "100", "1", false, 0},
        {"abc", "100", "1", false, 0}, {" 150", "100", "1", true, 150}, {"150abc", "100", "1", true, 150},
        {"100", "0", "1", false, 0},   {"0", "0", "1", false, 0},       {"0", "100", "0", false, 0},
    };
    for (const auto& c : cases) {
        m_messages.Clear();
        RunMain([&](CAerolyreDlg& main) {
            InLauncher<CFirDlg>(main, &CAerolyreDlg::OnFirSettings, [&](CFirDlg& d) {
                SetText(d, 1033, c.input);
                SetText(d, 1034, c.filter2);
                SetText(d, 1035, c.delay);
                ClickOk(d);
                EXPECT_EQ(d.isVisible(), !c.bAccepted) << c.input;
                if (!c.bAccepted) {
                    // One message, for the first bad volume, before any delay message.
                    EXPECT_TRUE(m_messages.ShownOnly(1012)) << c.input << " " << c.filter2;
                }
            });
            EXPECT_EQ(main.m_nFirInputVolume, c.bAccepted ? c.nCommitted : 100) << c.input;
            if (c.bAccepted) {
                // Shown as committed when the dialog is next opened.
                InLauncher<CFirDlg>(main, &CAerolyreDlg::OnFirSettings,
                                    [&](CFirDlg& d) { EXPECT_EQ(Text(d, 1033), "150"); });
            }
        });
    }
}

TEST_F(DialogsTest, FirDelayAndFeedbackAreIntegersInTheirRanges) {
    const struct {
        int nEdit;
        const char* text;
        const char* message;  // empty: accepted
    } cases[] = {
        {1035, "0", "1 から 44100 までの整数を入力してください。"},
        {1035, "44101", "1 から 44100 までの整数を入力してください。"},
        {1035, "12abc", "整数を入力してください。"},
        {1035, " 12 ", ""},
        {1035, "44100", ""},
        {1037, "-1", "0 から 1000 までの整数を入力してください。"},
        {1037, "1001", "0 から 1000 までの整数を入力してください。"},
        {1037, "1000", ""},
    };
    for (const auto& c : cases) {
        m_messages.Clear();
        RunMain([&](CAerolyreDlg& main) {
            InLauncher<CFirDlg>(main, &CAerolyreDlg::OnFirSettings, [&](CFirDlg& d) {
                SetText(d, c.nEdit, c.text);
                ClickOk(d);
                const std::vector<std::string> m = m_messages.Messages();
                if (*c.message == '\0') {
                    EXPECT_FALSE(d.isVisible()) << c.text;
                    EXPECT_TRUE(m.empty()) << c.text;
                } else {
                    EXPECT_TRUE(d.isVisible()) << c.text;
                    ASSERT_EQ(m.size(), 1u) << c.text;
                    EXPECT_EQ(m[0], c.message);
                    // The offending edit has the focus with its whole text selected.
                    auto* edit = d.Item<QLineEdit>(c.nEdit);
                    EXPECT_EQ(d.focusWidget(), edit) << c.text;
                    EXPECT_EQ(edit->selectedText(), edit->text()) << c.text;
                }
            });
            if (std::string(c.text) == " 12 ") {
                EXPECT_EQ(main.m_nFirDelay, 12);
            }
        });
    }
}

TEST_F(DialogsTest, FirWaveformsLoadResetAndCommitOnlyOnOk) {
    const std::string second = WriteWave("impulse.wav", {}, std::vector<unsigned char>(2 * 44100, 1));
    WavLayout stereo;
    stereo.nChannels = 2;
    const std::string bad = WriteWave("stereo.wav", stereo, std::vector<unsigned char>(400, 1));
    RunMain([&](CAerolyreDlg& main) {
        // Cancel after a load: nothing of the main dialog changes.
        InLauncher<CFirDlg>(main, &CAerolyreDlg::OnFirSettings, [&](CFirDlg& d) {
            Answer(second);
            d.OnLoadFilter1();
            EXPECT_EQ(Text(d, 1026), "impulse.wav") << "the name with its extension only";
            EXPECT_EQ(Text(d, 1025), "44100");
            d.Item<QPushButton>(IDCANCEL)->click();
        });
        EXPECT_EQ(main.m_firFilter1.m_nTaps, 1);
        EXPECT_EQ(main.m_strFirFile1, "");
        EXPECT_EQ(main.m_strFirPath, QDir::homePath().toStdString());

        InLauncher<CFirDlg>(main, &CAerolyreDlg::OnFirSettings, [&](CFirDlg& d) {
            Answer(second);
            d.OnLoadFilter1();
            // A refused file changes nothing in the dialog.
            Answer(bad);
            m_messages.Clear();
            d.OnLoadFilter2();
            EXPECT_TRUE(m_messages.ShownOnly(2203));
            EXPECT_EQ(Text(d, 1027), "");
            EXPECT_EQ(Text(d, 1025), "44100");
            EXPECT_EQ(d.m_strPath, second);
            // Reset of filter 2 leaves filter 1 and the path.
            d.OnResetFilter2();
            EXPECT_EQ(Text(d, 1025), "44100");
            EXPECT_EQ(d.m_strPath, second);
            ClickOk(d);
        });
        EXPECT_EQ(main.m_firFilter1.m_nTaps, 44100);
        EXPECT_EQ(main.m_strFirFile1, "impulse.wav");
        EXPECT_EQ(main.m_strFirPath, second);

        InLauncher<CFirDlg>(main, &CAerolyreDlg::OnFirSettings, [&](CFirDlg& d) {
            EXPECT_EQ(Text(d, 1025), "44100");
            d.OnResetFilter1();
            EXPECT_EQ(Text(d, 1025), "1");
            EXPECT_EQ(Text(d, 1026), "");
        });
        // The next file dialog starts from the last loaded file.
        std::string initial;
        SetFileDialogResponder([&](const FileDialogRequest& r, std::string&) {
            initial = r.strFileName;
            EXPECT_EQ(r.strFilter, "ﾌｨﾙﾀ波形ﾌｧｲﾙ(wav)|*.wav||");
            return false;
        });
        InLauncher<CFirDlg>(main, &CAerolyreDlg::OnFirSettings, [&](CFirDlg& d) { d.OnLoadFilter2(); });
        EXPECT_EQ(initial, second);
    });
}

TEST_F(DialogsTest, AccompanimentRatioTextAndCommit) {
    RunMain([&](CAerolyreDlg& main) {
        InLauncher<CAccompDlg>(main, &CAerolyreDlg::OnAccompSettings, [&](CAccompDlg& d) {
            EXPECT_EQ(d.m_sliderRatio->value(), 50);
            d.m_sliderRatio->repaint();
            EXPECT_EQ(Text(d, 1031), "50:50");
            EXPECT_EQ(Text(d, 1037), "");
            EXPECT_FALSE(d.m_checkLoop->isChecked());
            d.m_sliderRatio->setValue(0);
            EXPECT_EQ(Text(d, 1031), "0:100");
            d.m_sliderRatio->setValue(100);
            EXPECT_EQ(Text(d, 1031), "100:0");
            d.m_checkLoop->click();
            Answer(m_dir.Path("song.wav"));
            d.OnChooseFile();
            EXPECT_EQ(Text(d, 1037).toStdString(), m_dir.Path("song.wav")) << "the whole path";
            d.Item<QPushButton>(IDCANCEL)->click();
        });
        EXPECT_EQ(main.m_nAccompRatio, 50);
        EXPECT_EQ(main.m_bAccompLoop, 0);
        EXPECT_EQ(main.m_strAccompFile, "");

        std::string initial = "unset";
        SetFileDialogResponder([&](const FileDialogRequest& r, std::string& p) {
            initial = r.strFileName;
            p = m_dir.Path("song.wav");
            return true;
        });
        InLauncher<CAccompDlg>(main, &CAerolyreDlg::OnAccompSettings, [&](CAccompDlg& d) {
            d.OnChooseFile();
            d.m_sliderRatio->setValue(0);
            d.m_checkLoop->click();
            ClickOk(d);
        });
        EXPECT_EQ(initial, "") << "no initial name while none was chosen";
        EXPECT_EQ(main.m_nAccompRatio, 0);
        EXPECT_EQ(main.m_bAccompLoop, 1);
        EXPECT_EQ(main.m_strAccompFile, m_dir.Path("song.wav"));
        InLauncher<CAccompDlg>(main, &CAerolyreDlg::OnAccompSettings,
                               [&](CAccompDlg& d) { d.OnChooseFile(); });
        EXPECT_EQ(initial, m_dir.Path("song.wav"));
    });
}

TEST_F(DialogsTest, RecordingFormatAndBoxAreCommittedAndShownAgain) {
    RunMain([&](CAerolyreDlg& main) {
        InLauncher<CRecordDlg>(main, &CAerolyreDlg::OnRecordSettings, [&](CRecordDlg& d) {
            EXPECT_TRUE(d.Item<QRadioButton>(1034)->isChecked());
            EXPECT_FALSE(d.Item<QRadioButton>(1035)->isChecked());
            EXPECT_FALSE(d.Item<QCheckBox>(1032)->isChecked());
            d.Item<QRadioButton>(1035)->click();
            d.Item<QCheckBox>(1032)->click();
            d.Item<QPushButton>(IDCANCEL)->click();
        });
        EXPECT_EQ(main.m_nRecordFormat, 0);
        InLauncher<CRecordDlg>(main, &CAerolyreDlg::OnRecordSettings, [&](CRecordDlg& d) {
            d.Item<QRadioButton>(1035)->click();
            d.Item<QCheckBox>(1032)->click();
            ClickOk(d);
        });
        EXPECT_EQ(main.m_nRecordFormat, 1);
        EXPECT_EQ(main.m_bRecordAccomp, 1);
        InLauncher<CRecordDlg>(main, &CAerolyreDlg::OnRecordSettings, [&](CRecordDlg& d) {
            EXPECT_TRUE(d.Item<QRadioButton>(1035)->isChecked());
            EXPECT_FALSE(d.Item<QRadioButton>(1034)->isChecked());
            EXPECT_TRUE(d.Item<QCheckBox>(1032)->isChecked());
        });
    });
}

TEST_F(DialogsTest, CommittedSettingsReachTheSound) {
    const std::string accomp = WriteWave("steady.wav", {}, WavBytes::Int16(std::vector<int>(30000, 1234)));
    // Filter 2: a two-tap average, so the output is the mean of neighbouring input samples.
    const std::string avg = WriteWave("avg.wav", {}, WavBytes::Int16({1000, 1000}));
    const std::string rec = m_dir.Path("rec.wav");
    RunMain([&](CAerolyreDlg& main) {
        main.Item<QCheckBox>(1017)->click();
        main.Item<QCheckBox>(1016)->click();
        main.Item<QCheckBox>(1021)->click();
        InLauncher<CAccompDlg>(main, &CAerolyreDlg::OnAccompSettings, [&](CAccompDlg& d) {
            Answer(accomp);
            d.OnChooseFile();
            d.m_sliderRatio->setValue(100);
            ClickOk(d);
        });
        InLauncher<CRecordDlg>(main, &CAerolyreDlg::OnRecordSettings, [&](CRecordDlg& d) {
            d.Item<QRadioButton>(1035)->click();
            ClickOk(d);
        });
        InLauncher<CFirDlg>(main, &CAerolyreDlg::OnFirSettings, [&](CFirDlg& d) {
            Answer(avg);
            d.OnLoadFilter2();
            ClickOk(d);
        });
        std::vector<std::int16_t> out;
        ASSERT_TRUE(RenderSession(main.GetSessionSettings(), Hold(0.7, 0.0, 8000), RecordTo(rec), out));
        // Ratio 100: the accompaniment alone.
        for (std::int16_t v : out) ASSERT_EQ(v, 1234);
        // The float format, holding the filtered performance alone.
        SF_INFO info{};
        const std::vector<float> r = ReadSoundFile(rec, &info);
        EXPECT_EQ(info.format, SF_FORMAT_WAV | SF_FORMAT_FLOAT);
        ASSERT_EQ(r.size(), out.size());
        // The same performance without the filter, rendered alone: the recording is its two-tap mean.
        SessionSettings plain = main.GetSessionSettings();
        plain.fir.nCheckFir = 0;
        plain.nCheckAccomp = 0;
        plain.nCheckRecord = 0;
        std::vector<std::int16_t> voice;
        ASSERT_TRUE(RenderSession(plain, Hold(0.7, 0.0, 8000), nullptr, voice));
        for (std::size_t n = 1000; n < voice.size(); ++n) {
            const double expected = (voice[n] + voice[n - 1]) / 2.0;
            ASSERT_NEAR(r[n] * 32768.0, expected, 1.5) << n;
        }
    });
}

// The tone dialogs open at home the first time, and the load dialog offers the installed examples.
TEST_F(DialogsTest, ToneDialogsStartAtHomeAndOfferTheExamples) {
    RunMain([&](CAerolyreDlg& main) {
        FileDialogRequest seen{};
        SetFileDialogResponder([&](const FileDialogRequest& r, std::string&) {
            seen = r;
            return false;
        });
        main.OnLoadTone();
        EXPECT_EQ(seen.strFileName, QDir::homePath().toStdString());
        EXPECT_EQ(seen.strPlace, ExamplesFolder() + "/tones");
        EXPECT_NE(seen.strPlace.find("share/doc/aerolyre/examples/tones"), std::string::npos);
        main.OnSaveTone();
        EXPECT_EQ(seen.strFileName, QDir::homePath().toStdString());
        EXPECT_EQ(seen.strPlace, "") << "a save goes where the player's own tones are";
    });
}
