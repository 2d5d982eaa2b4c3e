// The main dialog as the player meets it: controls, defaults, focus, enabling rules, the
// over-cycle spin list, the system menu's About box, message box captions.
#include "app/aerolyre_dlg.h"
#include "platform/qt/file_dialog.h"

#include <gtest/gtest.h>

#include <QCheckBox>
#include <QDir>
#include <QFileInfo>
#include <QGroupBox>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMenu>
#include <QMessageBox>
#include <QPushButton>
#include <QRadioButton>
#include <QScrollBar>

#include "app/about_dlg.h"
#include "platform/qt/dialog.h"
#include "platform/qt/message_box.h"
#include "res/dialog_templates.h"
#include "tests/ui/ui_test_support.h"

namespace {

QString Utf8(const char* s) { return QString::fromUtf8(s); }

}  // namespace

TEST(MainDialog, EveryControlHasItsIdKindTextAndDefault) {
    CAerolyreDlg dlg;
    RunModal(dlg, [&] {
        const struct {
            int nId;
            const char* kind;
            const char* text;  // an edit's default text, a button's caption
        } controls[] = {
            {1006, "QLineEdit", "1"},
            {1007, "QLineEdit", "20"},
            {1010, "QLineEdit", "0"},
            {1011, "QLineEdit", "0"},
            {1004, "QLineEdit", "5"},
            {1019, "QLineEdit", "0"},
            {1012, "QLineEdit", "2"},
            {1013, "QLineEdit", "5"},
            {1002, "QLineEdit", "400"},
            {1035, "QLineEdit", "64"},
            {1003, "QCheckBox", "ディチューン"},
            {1021, "QCheckBox", "FIRフィルタ使用"},
            {1016, "QCheckBox", "ファイルへのダイレクト録音"},
            {1017, "QCheckBox", "伴奏付き"},
            {1022, "QPushButton", "フィルタの設定..."},
            {1020, "QPushButton", "設定..."},
            {1029, "QPushButton", "設定..."},
            {1014, "QPushButton", "音色の読み込み..."},
            {1015, "QPushButton", "音色の書き出し..."},
            {1000, "QPushButton", "演奏"},
        };
        for (const auto& c : controls) {
            QWidget* w = dlg.GetDlgItem(c.nId);
            ASSERT_NE(w, nullptr) << c.nId;
            EXPECT_STREQ(w->metaObject()->className(), c.kind) << c.nId;
            if (auto* e = qobject_cast<QLineEdit*>(w)) {
                EXPECT_EQ(e->text(), Utf8(c.text)) << c.nId;
            }
            if (auto* b = qobject_cast<QAbstractButton*>(w)) {
                EXPECT_EQ(b->text(), Utf8(c.text)) << c.nId;
            }
        }
        for (int nId : {1003, 1021, 1016, 1017}) EXPECT_EQ(GetCheck(dlg.Item<QCheckBox>(nId)), 0);
        for (int nId : {1022, 1020, 1029}) EXPECT_FALSE(dlg.GetDlgItem(nId)->isEnabled()) << nId;
        EXPECT_EQ(dlg.windowTitle(), "Aerolyre");
        // Items and their data; the list shows x1.
        QListWidget* list = dlg.m_listOvercycle;
        ASSERT_EQ(list->count(), 5);
        EXPECT_EQ(list->item(4)->text(), "x16");
        EXPECT_EQ(dlg.GetOverCycleTopIndex(), 0);
        EXPECT_EQ(dlg.GetOverCycleItemData(), 1u);
        // Value members.
        EXPECT_EQ(dlg.m_nAccompRatio, 50);
        EXPECT_EQ(dlg.m_nFirInputVolume, 100);
        EXPECT_EQ(dlg.m_nFirDelay, 1);
        EXPECT_EQ(dlg.m_firFilter1.m_nTaps, 1);
        EXPECT_TRUE(dlg.m_rectBoard.IsEmpty());
        EXPECT_EQ(dlg.m_strTonePath, QDir::homePath().toStdString()) << "not the program's folder: /usr/bin";
        EXPECT_EQ(dlg.m_strAppDir,
                  QFileInfo(QCoreApplication::applicationFilePath()).absolutePath().toStdString());
    });
}

// Dialog units through the font's base units: a wrong conversion puts controls off the window
// or on top of each other.
TEST(Dialogs, EveryControlLiesInsideItsDialogWithoutOverlappingAnother) {
    for (int nId : {IDD_ABOUTBOX, IDD_AEROLYRE_DIALOG, IDD_FIR, IDD_ACCOMP, IDD_RECORD}) {
        CDialog dlg(GetDialogTemplate(nId), nullptr);
        const QRect inside(QPoint(0, 0), dlg.size());
        std::vector<QRect> placed;
        for (const ControlTemplate& c : dlg.Template()->controls) {
            // Labels share one id; group boxes frame others by design.
            if (c.kind == ControlKind::Static || c.kind == ControlKind::Icon ||
                c.kind == ControlKind::GroupBox)
                continue;
            QWidget* w = dlg.GetDlgItem(c.nId);
            ASSERT_NE(w, nullptr) << nId << " control " << c.nId;
            EXPECT_TRUE(inside.contains(w->geometry())) << nId << " control " << c.nId;
            placed.push_back(w->geometry());
        }
        for (std::size_t i = 0; i < placed.size(); ++i) {
            for (std::size_t j = i + 1; j < placed.size(); ++j) {
                EXPECT_FALSE(placed[i].intersects(placed[j])) << nId << ": controls " << i << " and " << j;
            }
        }
    }
}

// Every label shows its whole text and lies clear of every other control and label, in every
// dialog: a longer translation must not run under the field it names.
TEST(Dialogs, EveryLabelShowsItsWholeTextClearOfOtherControls) {
    for (int nId :
         {IDD_ABOUTBOX, IDD_AEROLYRE_DIALOG, IDD_FIR, IDD_ACCOMP, IDD_RECORD, IDD_DEVICE, IDD_TUNING}) {
        CDialog dlg(GetDialogTemplate(nId), nullptr);
        const QRect inside(QPoint(0, 0), dlg.size());
        std::vector<QWidget*> others;
        for (QWidget* w : dlg.findChildren<QWidget*>(Qt::FindDirectChildrenOnly)) {
            if (qobject_cast<QGroupBox*>(w) == nullptr) others.push_back(w);
        }
        for (QLabel* l : dlg.findChildren<QLabel*>(Qt::FindDirectChildrenOnly)) {
            const std::string text = l->text().toStdString();
            if (text.empty()) continue;  // the icon
            EXPECT_GE(l->width(), l->sizeHint().width()) << nId << " " << text;
            EXPECT_TRUE(inside.contains(l->geometry())) << nId << " " << text;
            for (QWidget* w : others) {
                if (w == l) continue;
                EXPECT_FALSE(l->geometry().intersects(w->geometry()))
                    << nId << " " << text << " and " << w->objectName().toStdString() << " "
                    << w->property("text").toString().toStdString();
            }
        }
    }
}

TEST(Dialogs, NoCheckBoxOrRadioButtonCutsOffItsText) {
    for (int nId : {IDD_ABOUTBOX, IDD_AEROLYRE_DIALOG, IDD_FIR, IDD_ACCOMP, IDD_RECORD}) {
        CDialog dlg(GetDialogTemplate(nId), nullptr);
        QList<QAbstractButton*> buttons;
        for (auto* p : dlg.findChildren<QCheckBox*>()) buttons << p;
        for (auto* p : dlg.findChildren<QRadioButton*>()) buttons << p;
        for (QAbstractButton* b : buttons) {
            EXPECT_GE(b->width(), b->sizeHint().width()) << nId << " " << b->text().toStdString();
            EXPECT_LE(b->geometry().right(), dlg.width()) << nId << " " << b->text().toStdString();
        }
    }
}

TEST(MainDialog, TabOrderStartsAtModulatorFrequencyWhichHasTheFocus) {
    CAerolyreDlg dlg;
    RunModal(dlg, [&] {
        EXPECT_EQ(dlg.focusWidget(), dlg.GetDlgItem(1006));
        const int order[] = {1006, 1007, 1010, 1011, 1003, 1021, 1004, 1019, 1012,
                             1013, 1014, 1015, 1002, 1009, 1035, 1016, 1017, 1000};
        QWidget* w = dlg.GetDlgItem(order[0]);
        for (std::size_t i = 1; i < std::size(order); ++i) {
            // Disabled buttons are passed over, as the dialog manager does.
            do {
                w = w->nextInFocusChain();
            } while (!(w->focusPolicy() & Qt::TabFocus) || !w->isEnabled());
            EXPECT_EQ(w->objectName(), QString::number(order[i])) << i;
        }
    });
}

TEST(MainDialog, CheckBoxesEnableTheirSettingsButtons) {
    CAerolyreDlg dlg;
    RunModal(dlg, [&] {
        const struct { int nBox, nButton; } pairs[] = {{1021, 1022}, {1016, 1020}, {1017, 1029}};
        for (const auto& p : pairs) {
            auto* box = dlg.Item<QCheckBox>(p.nBox);
            box->click();
            EXPECT_TRUE(dlg.GetDlgItem(p.nButton)->isEnabled()) << p.nBox;
            box->click();
            EXPECT_FALSE(dlg.GetDlgItem(p.nButton)->isEnabled()) << p.nBox;
        }
    });
}

TEST(MainDialog, OverCycleIsTheTopItemWhateverTheSelection) {
    CAerolyreDlg dlg;
    RunModal(dlg, [&] {
        QScrollBar* bar = dlg.m_listOvercycle->verticalScrollBar();
        const char* texts[] = {"x1", "x2", "x4", "x8", "x16"};
        const DWORD_PTR data[] = {1, 102, 204, 308, 416};
        dlg.m_listOvercycle->setCurrentRow(0);
        for (int i = 0; i < 5; ++i) {
            EXPECT_EQ(dlg.GetOverCycleTopIndex(), i);
            EXPECT_EQ(dlg.m_listOvercycle->item(dlg.GetOverCycleTopIndex())->text(), texts[i]);
            EXPECT_EQ(dlg.GetSessionSettings().dwOverCycleData, data[i]);
            bar->triggerAction(QAbstractSlider::SliderSingleStepAdd);  // the down arrow
        }
        EXPECT_EQ(dlg.GetOverCycleTopIndex(), 4) << "x16 is the last";
        bar->triggerAction(QAbstractSlider::SliderSingleStepSub);
        EXPECT_EQ(dlg.GetOverCycleTopIndex(), 3);
    });
}

TEST(MainDialog, SystemMenuOpensTheAboutBox) {
    CAerolyreDlg dlg;
    bool bSawAbout = false;
    RunModal(dlg, [&] {
        Later([&] {
            auto* menu = qobject_cast<QMenu*>(QApplication::activePopupWidget());
            ASSERT_NE(menu, nullptr);
            if (menu == nullptr || menu->actions().size() != 8) {  // the separator and the seven entries
                ADD_FAILURE() << "not the background menu";
                if (menu != nullptr) menu->close();
                return;
            }
            EXPECT_TRUE(menu->actions()[0]->isSeparator());
            EXPECT_EQ(menu->actions()[1]->text(), QString::fromUtf8("Aerolyreのﾊﾞｰｼﾞｮﾝ情報(&A)..."));
            EXPECT_EQ(menu->actions()[2]->text(), QString::fromUtf8("音程ガイドと音程補正の設定(&T)..."));
            EXPECT_EQ(menu->actions()[3]->text(), QString::fromUtf8("MIDI出力(&M)"));
            ASSERT_NE(menu->actions()[3]->menu(), nullptr);
            const QList<QAction*> midi = menu->actions()[3]->menu()->actions();
            ASSERT_EQ(midi.size(), 5) << "off, MPE, single channel, the rate limit";
            EXPECT_TRUE(midi[3]->isSeparator());
            EXPECT_EQ(midi[4]->text(), QString::fromUtf8("速度制限なし (仮想ポート用)"));
            EXPECT_TRUE(midi[4]->isCheckable());
            EXPECT_FALSE(midi[4]->isChecked()) << "the DIN rate by default";
            EXPECT_EQ(menu->actions()[4]->text(), QString::fromUtf8("MIDI入力 (ポート aerolyre)(&I)"));
            EXPECT_TRUE(menu->actions()[4]->isCheckable());
            EXPECT_FALSE(menu->actions()[4]->isChecked()) << "no MIDI in by default";
            EXPECT_EQ(menu->actions()[5]->text(), QString::fromUtf8("ペンタブレット(&P)"));
            ASSERT_NE(menu->actions()[5]->menu(), nullptr);
            const QList<QAction*> tablet = menu->actions()[5]->menu()->actions();
            ASSERT_EQ(tablet.size(), 4) << "off and three pressure curves";
            EXPECT_TRUE(tablet[0]->isChecked()) << "a pen is a mouse by default";
            EXPECT_EQ(menu->actions()[6]->text(), QString::fromUtf8("サウンドデバイスの設定(&D)..."));
            EXPECT_EQ(menu->actions()[7]->text(), QString::fromUtf8("言語 (Language)(&L)"));
            Later([&] {
                auto* about = ActiveModal<QDialog>();
                ASSERT_NE(about, nullptr);
                EXPECT_EQ(about->windowTitle(), QString::fromUtf8("Aerolyreのﾊﾞｰｼﾞｮﾝ情報"));
                auto* ok = about->findChild<QPushButton*>("1");
                ASSERT_NE(ok, nullptr);
                bSawAbout = true;
                ok->click();
            });
            menu->actions()[1]->trigger();
            menu->close();
        });
        dlg.ShowSystemMenu(dlg.mapToGlobal(QPoint(10, 10)));
    });
    EXPECT_TRUE(bSawAbout);
}

TEST(MainDialog, AnySystemCommandFrom16To31IsTheAboutBox) {
    CAerolyreDlg dlg;
    int nOpened = 0;
    for (UINT nID : {16u, 17u, 31u, 32u, 0xF060u}) {
        Later([&] {
            if (auto* about = ActiveModal<QDialog>(); about != nullptr && about != &dlg) {
                ++nOpened;
                about->reject();
            }
        });
        dlg.OnSysCommand(nID);
        QApplication::processEvents();
    }
    EXPECT_EQ(nOpened, 3);
}

TEST(MessageBox, CaptionIsTheProgramFileBaseName) {
    std::string caption;
    Later([&] {
        auto* box = ActiveModal<QMessageBox>();
        ASSERT_NE(box, nullptr);
        caption = box->windowTitle().toStdString();
        EXPECT_EQ(box->text(), QString::fromUtf8("メモリ不足です"));
        box->accept();
    });
    ShowMessageBoxNow("メモリ不足です", MessageIcon::None);
    char buf[4096] = {};
    const ssize_t n = ::readlink("/proc/self/exe", buf, sizeof buf - 1);
    ASSERT_GT(n, 0);
    EXPECT_EQ(caption, QFileInfo(QString::fromUtf8(buf)).completeBaseName().toStdString());
}

TEST(MainDialog, ThirdStateFromAToneFileLeavesOnTheFirstClickForGood) {
    CAerolyreDlg dlg;
    RunModal(dlg, [&] {
        for (QCheckBox* pBox : {dlg.m_checkFir, dlg.m_checkDetune}) {
            SetCheck(pBox, 2);
            EXPECT_EQ(GetCheck(pBox), 2);
            std::vector<int> states;
            for (int i = 0; i < 5; ++i) {
                pBox->click();
                states.push_back(GetCheck(pBox));
            }
            EXPECT_EQ(states, (std::vector<int>{1, 0, 1, 0, 1})) << pBox->objectName().toStdString();
        }
        dlg.reject();
    });
}

TEST(MainDialog, QtsOwnDialogsSpeakJapaneseAndFiltersShowTheirPatternOnce) {
    // The standard dialogs' and buttons' texts come from Qt's Japanese translation.
    EXPECT_EQ(QCoreApplication::translate("QPlatformTheme", "Cancel"), QString::fromUtf8("キャンセル"));
    EXPECT_EQ(QCoreApplication::translate("QFileDialog", "Look in:"), QString::fromUtf8("アドレス:"));
    EXPECT_EQ(CFileDialog::QtFilter("Aerolyre設定ﾌｧｲﾙ(*.aly)|*.aly||"), "Aerolyre設定ﾌｧｲﾙ(*.aly)");
    EXPECT_EQ(CFileDialog::QtFilter("録音ﾌｧｲﾙ(wav)|*.wav||"), "録音ﾌｧｲﾙ(wav) (*.wav)");
    // Message boxes use the dialogs' font.
    EXPECT_EQ(QApplication::font().family(), QFont(QString::fromUtf8("ＭＳ Ｐゴシック")).family());
}

// The background menu is a key away, as the About box says: F10, Shift+F10 and the menu key.
TEST(MainDialog, F10AndTheMenuKeyOpenTheBackgroundMenu) {
    CAerolyreDlg dlg;
    int nOpened = 0;
    RunModal(dlg, [&] {
        for (auto [nKey, mods] :
             {std::pair{Qt::Key_F10, Qt::NoModifier}, std::pair{Qt::Key_F10, Qt::ShiftModifier},
              std::pair{Qt::Key_Menu, Qt::NoModifier}}) {
            Later([&] {
                auto* menu = qobject_cast<QMenu*>(QApplication::activePopupWidget());
                if (menu != nullptr && menu->findChild<QMenu*>("IDM_MIDI") != nullptr) ++nOpened;
                if (menu != nullptr) menu->close();
            });
            QKeyEvent key(QEvent::KeyPress, nKey, mods);
            QApplication::sendEvent(&dlg, &key);
        }
    });
    EXPECT_EQ(nOpened, 3);
    const DialogTemplate& about = GetDialogTemplate(IDD_ABOUTBOX);
    bool bNamed = false;
    for (const auto& c : about.controls)
        bNamed = bNamed || std::string(c.pszText).find("F10") != std::string::npos;
    EXPECT_TRUE(bNamed) << "the About box names the key";
}
