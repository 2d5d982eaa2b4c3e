#include "res/string_table.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cerrno>
#include <fstream>
#include <regex>
#include <string>
#include <string_view>

#include "platform/file.h"
#include "platform/shown_text.h"

// Every message id the code names has a text: a new id without one would show an empty box.
TEST(StringTable, EveryNamedMessageHasItsText) {
    std::ifstream in(std::string(AEROLYRE_SOURCE_DIR) + "/res/resource.h");
    ASSERT_TRUE(in);
    const std::regex named(R"(constexpr unsigned (IDS_\w+|AFX_IDP_\w+) = (\d+);)");
    int nNamed = 0;
    for (std::string line; std::getline(in, line);) {
        std::smatch m;
        if (!std::regex_search(line, m, named)) continue;
        ++nNamed;
        const auto nId = static_cast<UINT>(std::stoul(m[2]));
        ASSERT_NE(LoadResString(nId), nullptr) << m[1];
        EXPECT_STRNE(LoadResString(nId), "") << m[1];
    }
    EXPECT_GT(nNamed, 30);
    // The one text no message uses stays empty, as the table has always had it.
    EXPECT_STREQ(LoadResString(1004), "");
}

TEST(StringTable, UnknownIdsAreMissing) {
    EXPECT_EQ(LoadResString(213), nullptr);
    EXPECT_EQ(LoadResString(0), nullptr);
    EXPECT_EQ(LoadResString(99999), nullptr);
    EXPECT_EQ(ResString(213), "");
}

TEST(StringTable, GuideTextsKeepTheirSpacing) {
    const std::string ascii2 = "  ";
    const std::string ideographicSpace = "\xE3\x80\x80";              // U+3000
    const std::string dots = "\xE3\x83\xBB\xE3\x83\xBB\xE3\x83\xBB";  // three U+30FB
    EXPECT_EQ(ResString(2000), "[ESC]" + ascii2 + dots + ideographicSpace + "演奏盤を閉じる");
    EXPECT_EQ(ResString(2001),
              "[マウスを左に移動]" + ideographicSpace + dots + ideographicSpace + "音程を下げる");
    EXPECT_EQ(ResString(2002),
              "[マウスを右に移動]" + ideographicSpace + dots + ideographicSpace + "音程を上げる");
    EXPECT_EQ(ResString(2003), "[マウスを下に移動]" + ascii2 + dots + ideographicSpace + "音量を小さくする");
    EXPECT_EQ(ResString(2004), "[マウスを上に移動]" + ascii2 + dots + ideographicSpace + "音量を大きくする");
}

TEST(StringTable, MessagesUseFullWidthDigitsWhereTheProgramDoes) {
    // "１" (U+FF11) and "７" (U+FF17) in the buffer and range messages, ASCII elsewhere.
    EXPECT_EQ(ResString(1000), "バッファのサイズは\xEF\xBC\x91～10000にして下さい");
    EXPECT_EQ(ResString(1001), "音域は\xEF\xBC\x91～\xEF\xBC\x97オクターブにして下さい");
    EXPECT_EQ(ResString(200), "Software\\Velmora\\Aerolyre\\AppInfo");
}

// With translations installed, what the program shows changes; the settings' own names and the
// texts as written do not. Without, every text is shown as written.
TEST(StringTable, TranslationsChangeShownTextsButNeverTheSettingsNames) {
    EXPECT_EQ(ShownLanguage(), "ja");
    const std::string strSubKey = ResString(IDS_REG_SUBKEY);
    InstallTranslations("en", {{"メモリ不足です", "Out of memory"},
                               {strSubKey, "translated"},
                               {"ファイルまたはフォルダが見つかりません", "No such file or folder"}});
    EXPECT_EQ(ResString(3000), "Out of memory");
    EXPECT_STREQ(LoadResStringAsWritten(3000), "メモリ不足です");
    EXPECT_EQ(ResString(IDS_REG_SUBKEY), strSubKey);
    EXPECT_EQ(ResString(2200), "ファイルを開けませんでした") << "an untranslated text shows as written";
    EXPECT_EQ(CFileException(CFileException::fileNotFound, ENOENT, "a.wav").GetErrorMessage(),
              "a.wav: No such file or folder");
    InstallTranslations("ja", {});
    EXPECT_EQ(ResString(3000), "メモリ不足です");
    EXPECT_EQ(ShownLanguage(), "ja");
    // What the translations cover: every shown entry, no settings name.
    const std::vector<const char*> texts = ShownTableTexts();
    EXPECT_NE(std::find(texts.begin(), texts.end(), std::string_view("メモリ不足です")), texts.end());
    EXPECT_EQ(std::find(texts.begin(), texts.end(), std::string_view(strSubKey)), texts.end());
}
