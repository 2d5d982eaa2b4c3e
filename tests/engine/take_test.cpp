// Takes: what the audio thread used, written as a script that renders the same sound again.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "engine/take_writer.h"
#include "files/takes.h"
#include "tests/support/session_support.h"
#include "tests/support/temp_dir.h"

TEST(Take, ScriptRendersTheSessionAgainSampleForSample) {
    TempDir dir;
    const std::string path = dir.Path("take.csv");
    // Values that only survive with all their digits, a button, and many small moves.
    std::vector<GestureRow> rows;
    for (std::uint64_t n = 0; n < 30000; n += 37) {
        rows.push_back({n, 0.1 + n / 30000.0 * 0.7 + 1e-13, 0.2 + 0.1 / 3, (n / 5000) % 2 == 1, n > 20000});
    }
    rows.push_back({30000, 0.5, 0.5, false, false});
    std::vector<std::int16_t> live, again;
    {
        CTakeWriter take;
        ASSERT_TRUE(take.Start(path, "a test take\nsecond line"));
        SessionSettings s = StartupSession();
        s.pTakeQueue = &take.Queue();
        s.dwOverCycleData = kOverCycleItemData[2];
        ASSERT_TRUE(RenderSession(s, rows, nullptr, live));
        ASSERT_TRUE(take.Stop());
    }
    std::ifstream in(path);
    std::string first;
    std::getline(in, first);
    EXPECT_EQ(first, "# a test take");
    in.seekg(0);
    std::vector<GestureRow> script;
    std::string err;
    ASSERT_TRUE(ParseGestureScript(in, script, err)) << err;
    EXPECT_EQ(script.back().nSample, 30000u);
    SessionSettings s = StartupSession();
    s.dwOverCycleData = kOverCycleItemData[2];
    ASSERT_TRUE(RenderSession(s, script, nullptr, again));
    EXPECT_EQ(again, live);
    EXPECT_LT(script.size(), 2 * rows.size()) << "a row where something changed, not one per sample";
}

TEST(Take, OnlyTheNewestHundredAreKept) {
    TempDir dir;
    for (int i = 0; i < 105; ++i) {
        char name[32];
        std::snprintf(name, sizeof name, "2026-01-01_00-00-%03d", i);
        std::ofstream(dir.Path(std::string(name) + ".csv")) << "0,0,1,0,0\n";
        std::ofstream(dir.Path(std::string(name) + ".aly")) << "x";
    }
    std::ofstream(dir.Path("notes.txt")) << "mine";
    PruneTakes(dir.Root().string());
    int nCsv = 0, nAly = 0;
    for (const auto& e : std::filesystem::directory_iterator(dir.Root())) {
        nCsv += e.path().extension() == ".csv";
        nAly += e.path().extension() == ".aly";
    }
    EXPECT_EQ(nCsv, 100);
    EXPECT_EQ(nAly, 100);
    EXPECT_FALSE(std::filesystem::exists(dir.Path("2026-01-01_00-00-004.csv")));
    EXPECT_TRUE(std::filesystem::exists(dir.Path("2026-01-01_00-00-005.aly")));
    EXPECT_TRUE(std::filesystem::exists(dir.Path("notes.txt")));
}
