#include "res/string_table.h"

#include <gtest/gtest.h>

#include <string>

TEST(StringTable, HoldsEveryIdTheProgramUses) {
    std::vector<UINT> ids = {101, 214, 2005, 2100, 2101, 2200, 2201, 2202, 2203, 3000, 61712, 61714};
    for (UINT id = 200; id <= 212; ++id) ids.push_back(id);
    for (UINT id = 1000; id <= 1012; ++id) ids.push_back(id);
    for (UINT id = 2000; id <= 2004; ++id) ids.push_back(id);
    for (UINT id : ids) EXPECT_NE(LoadResString(id), nullptr) << id;
    // Only 1004, which no check uses, is empty.
    for (UINT id : ids) {
        if (id != 1004) {
            EXPECT_STRNE(LoadResString(id), "") << id;
        }
    }
}

TEST(StringTable, UnknownIdsAreMissing) {
    EXPECT_EQ(LoadResString(213), nullptr);
    EXPECT_EQ(LoadResString(0), nullptr);
    EXPECT_EQ(LoadResString(99999), nullptr);
    EXPECT_EQ(ResString(213), "");
}

TEST(StringTable, GuideTextsKeepTheirSpacing) {
    const std::string ascii2 = "  ";
    const std::string ideographicSpace = "\xE3\x80\x80";  // U+3000
    const std::string dots = "\xE3\x83\xBB\xE3\x83\xBB\xE3\x83\xBB";  // three U+30FB
    EXPECT_EQ(ResString(2000), "[ESC]" + ascii2 + dots + ideographicSpace + "演奏盤を閉じる");
    EXPECT_EQ(ResString(2001), "[マウスを左に移動]" + ideographicSpace + dots + ideographicSpace +
                                   "音程を下げる");
    EXPECT_EQ(ResString(2002), "[マウスを右に移動]" + ideographicSpace + dots + ideographicSpace +
                                   "音程を上げる");
    EXPECT_EQ(ResString(2003), "[マウスを下に移動]" + ascii2 + dots + ideographicSpace +
                                   "音量を小さくする");
    EXPECT_EQ(ResString(2004), "[マウスを上に移動]" + ascii2 + dots + ideographicSpace +
                                   "音量を大きくする");
}

TEST(StringTable, MessagesUseFullWidthDigitsWhereTheProgramDoes) {
    // "１" (U+FF11) and "７" (U+FF17) in the buffer and range messages, ASCII elsewhere.
    EXPECT_EQ(ResString(1000), "バッファのサイズは\xEF\xBC\x91～10000にして下さい");
    EXPECT_EQ(ResString(1001), "音域は\xEF\xBC\x91～\xEF\xBC\x97オクターブにして下さい");
    EXPECT_EQ(ResString(200), "Software\\Velmora\\Aerolyre\\AppInfo");
}
