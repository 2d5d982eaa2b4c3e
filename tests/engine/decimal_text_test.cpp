#include "engine/decimal_text.h"

#include <gtest/gtest.h>

#include <climits>

TEST(DecimalText, ReadsLikeAtoi) {
    struct Case {
        const char* text;
        int expected;
    };
    const Case cases[] = {
        {"", 0},     {"abc", 0},      {"400", 400}, {"  42", 42}, {"\t\n-7", -7},
        {"+15", 15}, {"150abc", 150}, {" 12 ", 12}, {"- 5", 0},   {"--5", 0},
        {"0x10", 0}, {"007", 7},      {"1e3", 1},   {"-0", 0},    {"１２", 0},
    };
    for (const Case& c : cases) EXPECT_EQ(AtoiSaturating(c.text), c.expected) << '"' << c.text << '"';
}

TEST(DecimalText, SaturatesInsteadOfWrapping) {
    EXPECT_EQ(AtoiSaturating("2147483647"), INT_MAX);
    EXPECT_EQ(AtoiSaturating("-2147483648"), INT_MIN);
    EXPECT_EQ(AtoiSaturating("2147483648"), INT_MAX);
    EXPECT_EQ(AtoiSaturating("-2147483649"), INT_MIN);
    // glibc's atoi reads this as 1.
    EXPECT_EQ(AtoiSaturating("4294967297"), INT_MAX);
    EXPECT_EQ(AtoiSaturating("99999999999999999999999999999"), INT_MAX);
    EXPECT_EQ(AtoiSaturating("-99999999999999999999999999999"), INT_MIN);
}
