// English on request: the translations cover every text the instrument shows, the choice is made
// and kept as a player expects, and an English run speaks English everywhere but the settings.
// The English.* cases run in a process started with AEROLYRE_LANGUAGE=en (ui.InEnglish).
#include <gtest/gtest.h>

#include <QAction>
#include <QLabel>
#include <QMenu>
#include <QPushButton>
#include <QTranslator>
#include <cerrno>
#include <filesystem>
#include <fstream>
#include <regex>

#include "app/aerolyre_dlg.h"
#include "app/language.h"
#include "platform/file.h"
#include "platform/registry.h"
#include "platform/shown_text.h"
#include "res/dialog_templates.h"
#include "res/string_table.h"
#include "tests/support/message_recorder.h"
#include "tests/support/temp_dir.h"
#include "tests/ui/ui_test_support.h"

namespace {

// Kana, kanji, and the full- and half-width forms: what an English reader cannot read.
bool HasJapanese(const QString& text) {
    for (const QChar c : text) {
        const char16_t u = c.unicode();
        if ((u >= 0x3000 && u <= 0x9FFF) || (u >= 0xFF00 && u <= 0xFFEF)) return true;
    }
    return false;
}

bool IsAscii(const char* psz) {
    for (; *psz != '\0'; ++psz) {
        if (static_cast<unsigned char>(*psz) >= 0x80) return false;
    }
    return true;
}

// The accelerator marks and the %1-style places of a text, in order: a translation keeps both.
std::vector<std::string> Marks(const std::string& text) {
    static const std::regex marks("&[^&]|%[0-9]");
    std::vector<std::string> found;
    for (std::sregex_iterator it(text.begin(), text.end(), marks), end; it != end; ++it)
        found.push_back(it->str()[0] == '&' ? "&" : it->str());
    return found;
}

// Every text the instrument shows in its own words.
std::vector<const char*> EveryShownText() {
    std::vector<const char*> texts = ShownTableTexts();
    for (const char* psz : DialogTexts()) texts.push_back(psz);
    for (const char* psz : CFileException::CauseTexts()) texts.push_back(psz);
    return texts;
}

}  // namespace

TEST(Language, EveryShownTextHasAnEnglishTranslation) {
    QTranslator english;
    ASSERT_TRUE(english.load(":/i18n/aerolyre_en.qm")) << "the translations are built into the program";
    const std::string strOwnName = LoadResStringAsWritten(IDS_LANGUAGE_JA);
    int nChecked = 0;
    for (const char* psz : EveryShownText()) {
        // Texts in ASCII (numbers, OK, English) read the same in both languages.
        if (IsAscii(psz)) continue;
        ++nChecked;
        const QString translation = english.translate("Aerolyre", psz);
        ASSERT_FALSE(translation.isEmpty()) << "no English for: " << psz;
        // Japanese names itself in its own words in both menus.
        if (psz != strOwnName) {
            EXPECT_FALSE(HasJapanese(translation)) << psz;
        }
        EXPECT_EQ(Marks(translation.toStdString()), Marks(psz)) << psz;
    }
    EXPECT_GT(nChecked, 120);
    // The settings' own names are never translated, in whatever language.
    EXPECT_TRUE(english.translate("Aerolyre", LoadResStringAsWritten(IDS_REG_SUBKEY)).isEmpty());
}

TEST(Language, ChosenByCommandLineThenEnvironmentThenTheKeptChoice) {
    EXPECT_EQ(ChooseLanguage("", nullptr, ""), "ja") << "Japanese whatever the locale";
    EXPECT_EQ(ChooseLanguage("", nullptr, "en"), "en");
    EXPECT_EQ(ChooseLanguage("", "en", "ja"), "en");
    EXPECT_EQ(ChooseLanguage("ja", "en", "en"), "ja");
    EXPECT_EQ(ChooseLanguage("", "en_GB.UTF-8", ""), "en") << "a locale's name will do";
    EXPECT_EQ(ChooseLanguage("", "", "en"), "en") << "an empty variable is no choice";
    testing::internal::CaptureStderr();
    EXPECT_EQ(ChooseLanguage("", "fr", "en"), "en");
    EXPECT_EQ(testing::internal::GetCapturedStderr(),
              "aerolyre: AEROLYRE_LANGUAGE=fr names no language of the program's (ja, en)\n");
    EXPECT_EQ(LanguageOf("english"), "");
    EXPECT_EQ(LanguageOf("ja_JP.UTF-8"), "ja");
    EXPECT_EQ(LanguageOf(""), "");
}

// The menu's choice is kept in the settings, answered in the language just chosen, and spoken
// from the next start; this run's dialogs stay as they were built.
TEST(Language, MenuChoiceIsKeptAndAnsweredInTheLanguageChosen) {
    if (ShownLanguage() != "ja") GTEST_SKIP() << "for the Japanese run";
    TempDir dir;
    const std::string strConfigBefore =
        std::getenv("XDG_CONFIG_HOME") != nullptr ? std::getenv("XDG_CONFIG_HOME") : "";
    struct Restore {
        std::string str;
        ~Restore() { ::setenv("XDG_CONFIG_HOME", str.c_str(), 1); }
    } restore{strConfigBefore};
    ::setenv("XDG_CONFIG_HOME", dir.Path("config").c_str(), 1);
    std::filesystem::create_directories(dir.Path("config"));
    EXPECT_EQ(KeptLanguage(), "");
    MessageRecorder messages;
    auto choose = [&](const char* pszAction) {
        CAerolyreDlg dlg;
        RunModal(dlg, [&] {
            Later([&] {
                auto* menu = qobject_cast<QMenu*>(QApplication::activePopupWidget());
                ASSERT_NE(menu, nullptr);
                auto* language = menu->findChild<QMenu*>("IDM_LANGUAGE");
                ASSERT_NE(language, nullptr);
                EXPECT_EQ(language->title(), QString::fromUtf8("言語 (Language)(&L)"));
                const QList<QAction*> choices = language->actions();
                ASSERT_EQ(choices.size(), 2);
                EXPECT_EQ(choices[0]->text(), QString::fromUtf8("日本語"));
                EXPECT_EQ(choices[1]->text(), "English");
                for (QAction* a : choices) {
                    if (a->objectName() == pszAction) a->trigger();
                }
                menu->close();
            });
            dlg.ShowSystemMenu(QPoint(0, 0));
            EXPECT_EQ(dlg.GetDlgItem(1000)->property("text").toString(), QString::fromUtf8("演奏"));
        });
    };
    choose("IDM_LANGUAGE_en");
    ASSERT_EQ(messages.Messages().size(), 1u);
    EXPECT_EQ(messages.Messages()[0], "The language changes the next time Aerolyre starts.");
    EXPECT_EQ(KeptLanguage(), "en");
    std::ifstream in(RegistryFilePath());
    const std::string registry((std::istreambuf_iterator<char>(in)), {});
    EXPECT_NE(registry.find("\"Language\"=\"en\""), std::string::npos) << registry;
    EXPECT_EQ(ChooseLanguage("", nullptr, KeptLanguage()), "en");

    // Back: the word comes in Japanese; choosing what is already chosen says nothing.
    messages.Clear();
    choose("IDM_LANGUAGE_ja");
    choose("IDM_LANGUAGE_ja");
    ASSERT_EQ(messages.Messages().size(), 1u);
    EXPECT_EQ(messages.Messages()[0], "言語の変更は次回の起動から有効になります。");
    EXPECT_EQ(KeptLanguage(), "ja");
}

// In English: the dialogs, the menu, the messages and the file errors; the settings' names stay.
TEST(English, DialogsMenusAndMessagesSpeakEnglish) {
    if (ShownLanguage() != "en") GTEST_SKIP() << "for the English run (ui.InEnglish)";
    for (const char* psz : EveryShownText()) {
        const std::string shown = ShownText(psz);
        if (psz != std::string(LoadResStringAsWritten(IDS_LANGUAGE_JA))) {
            EXPECT_FALSE(HasJapanese(QString::fromStdString(shown))) << psz << " shows as " << shown;
        }
    }
    EXPECT_EQ(ResString(IDS_ERR_BUFFER), "Enter a buffer size from 1 to 10000");
    EXPECT_EQ(ResString(IDS_REG_SUBKEY), "Software\\Velmora\\Aerolyre\\AppInfo");
    EXPECT_EQ(CFileException(CFileException::fileNotFound, ENOENT, "/x/tone.aly").GetErrorMessage(),
              "/x/tone.aly: No such file or folder");

    CAerolyreDlg dlg;
    RunModal(dlg, [&] {
        for (QWidget* w : dlg.findChildren<QWidget*>()) {
            for (const char* pszProperty : {"text", "title"}) {
                const QString text = w->property(pszProperty).toString();
                EXPECT_FALSE(HasJapanese(text)) << text.toStdString();
            }
        }
        EXPECT_EQ(qobject_cast<QPushButton*>(dlg.GetDlgItem(1000))->text(), "Play");
        Later([&] {
            auto* menu = qobject_cast<QMenu*>(QApplication::activePopupWidget());
            ASSERT_NE(menu, nullptr);
            EXPECT_EQ(menu->actions()[1]->text(), "&About Aerolyre...");
            QList<QMenu*> menus = menu->findChildren<QMenu*>();
            menus.push_back(menu);
            for (QMenu* m : menus) {
                for (QAction* a : m->actions()) {
                    if (a->objectName() != "IDM_LANGUAGE_ja") {
                        EXPECT_FALSE(HasJapanese(a->text())) << a->text().toStdString();
                    }
                }
            }
            auto* language = menu->findChild<QMenu*>("IDM_LANGUAGE");
            ASSERT_NE(language, nullptr);
            EXPECT_TRUE(language->actions()[1]->isChecked()) << "this run's language is the one checked";
            menu->close();
        });
        dlg.ShowSystemMenu(QPoint(0, 0));
    });
}
