#include "tools/gesture_script.h"

#include <gtest/gtest.h>

#include <sstream>

TEST(GestureScript, ReadsRowsCommentsAndBlankLines) {
    std::istringstream in(
        "# sample,x,y,left,right\n\n0,0.5,0.25,0,1\r\n 100 , 1 , 0 , 1 , 0 \n100,0,0,0,0\n");
    std::vector<GestureRow> rows;
    std::string err;
    ASSERT_TRUE(ParseGestureScript(in, rows, err)) << err;
    ASSERT_EQ(rows.size(), 3u);
    EXPECT_EQ(rows[0].dY, 0.25);
    EXPECT_TRUE(rows[0].bRight);
    EXPECT_EQ(rows[1].nSample, 100u);
    EXPECT_TRUE(rows[1].bLeft);
}

TEST(GestureScript, RefusesWhatItCannotRead) {
    const char* bad[] = {
        "",                         // no rows
        "0,0.5,0.5,0\n",            // four fields
        "-1,0.5,0.5,0,0\n",         // negative sample
        "1.5,0.5,0.5,0,0\n",        // fractional sample
        "0,x,0.5,0,0\n",            // not a number
        "0,nan,0.5,0,0\n",          // not finite
        "0,0.5,0.5,2,0\n",          // button neither 0 nor 1
        "10,0,0,0,0\n5,0,0,0,0\n",  // decreasing
        "0,1e308,0.5,0,0\n",        // far off the board
        "0,0.5,-0.01,0,0\n",        // above the top edge
        "0,1.0000001,0.5,0,0\n",    // past the right edge
        "0,0.5,0.5,0,0,1.5\n",      // a timbre above the tone's strength
        "0,0.5,0.5,0,0,-0.1\n",     // a negative timbre
        "0,0.5,0.5,0,0,nan\n",      // a timbre that is no number
        "0,0.5,0.5,0,0,1,1\n",      // seven fields
    };
    for (const char* text : bad) {
        std::istringstream in(text);
        std::vector<GestureRow> rows;
        std::string err;
        EXPECT_FALSE(ParseGestureScript(in, rows, err)) << text;
        EXPECT_FALSE(err.empty());
    }
}

TEST(GestureScript, NamesTheLineOfAPointerOffTheBoard) {
    std::istringstream in("# a comment\n0,0,0,0,0\n100,1,1,0,0\n\n200,2,0.5,0,0\n300,0,0,0,0\n");
    std::vector<GestureRow> rows;
    std::string err;
    ASSERT_FALSE(ParseGestureScript(in, rows, err));
    EXPECT_EQ(err, "line 5: x and y must lie between 0 and 1");
}

TEST(GestureScript, CorrectionRowsSwitchWithoutMovingThePointer) {
    std::istringstream in("0,correction,off\n0,0.5,0.1,0,0\n 500 , correction , on \n1000,0.5,0.1,0,0\n");
    std::vector<GestureRow> rows;
    std::string err;
    ASSERT_TRUE(ParseGestureScript(in, rows, err)) << err;
    ASSERT_EQ(rows.size(), 4u);
    EXPECT_EQ(rows[0].nCorrection, 0);
    EXPECT_EQ(rows[1].nCorrection, -1);
    EXPECT_EQ(rows[2].nCorrection, 1);
    EXPECT_EQ(rows[2].nSample, 500u);
    for (const char* text :
         {"0,correction,maybe\n", "x,correction,on\n", "0,correction\n", "0,correction,on,1\n"}) {
        std::istringstream bad(text);
        EXPECT_FALSE(ParseGestureScript(bad, rows, err)) << text;
    }
}

TEST(GestureScript, ASixthFieldIsThePensTimbreAndDefaultsToTheWholeStrength) {
    std::istringstream in("0,0.25,0.1,0,1,0.375\n100,0.25,0.1,0,1\n");
    std::vector<GestureRow> rows;
    std::string err;
    ASSERT_TRUE(ParseGestureScript(in, rows, err)) << err;
    ASSERT_EQ(rows.size(), 2u);
    EXPECT_EQ(rows[0].dModScale, 0.375);
    EXPECT_TRUE(rows[0].bRight);
    EXPECT_EQ(rows[1].dModScale, 1.0);
}
