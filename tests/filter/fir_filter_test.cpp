// The filter object: taps and their magnitude sum, and its stream form.
#include "filter/fir_filter.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <vector>

#include "platform/file.h"
#include "tests/support/temp_dir.h"

namespace {

std::vector<char> ReadAll(const std::string& path) {
    CFile f;
    EXPECT_TRUE(f.Open(path.c_str(), CFile::modeRead));
    std::vector<char> bytes(f.GetLength());
    f.Read(bytes.data(), static_cast<UINT>(bytes.size()));
    return bytes;
}

void WriteBytes(const std::string& path, const std::vector<unsigned char>& bytes) {
    CFile f;
    ASSERT_TRUE(f.Open(path.c_str(), CFile::modeCreate | CFile::modeWrite));
    f.Write(bytes.data(), static_cast<UINT>(bytes.size()));
    f.Close();
}

std::vector<unsigned char> LittleEndian32(std::uint32_t v) {
    return {static_cast<unsigned char>(v), static_cast<unsigned char>(v >> 8),
            static_cast<unsigned char>(v >> 16), static_cast<unsigned char>(v >> 24)};
}

}  // namespace

TEST(FirFilter, NewFilterIsTheIdentity) {
    CFirFilter f;
    ASSERT_EQ(f.m_nTaps, 1);
    EXPECT_EQ(f.m_pTaps[0], 1.0f);
    EXPECT_EQ(f.m_fSumAbs, 1.0f);
    EXPECT_FALSE(f.m_bInitialized);
}

TEST(FirFilter, SetTapsCopiesAndSumsMagnitudes) {
    CFirFilter f;
    float values[] = {0.5f, -0.25f, 0.0f, -1.0f, 2.0f};
    ASSERT_TRUE(f.SetTaps(values, 5));
    values[0] = 99.0f;  // the caller's array stays the caller's
    EXPECT_EQ(f.m_nTaps, 5);
    EXPECT_EQ(f.m_pTaps[0], 0.5f);
    EXPECT_EQ(f.m_pTaps[3], -1.0f);
    EXPECT_EQ(f.m_fSumAbs, 3.75f);
}

TEST(FirFilter, SetTapsFromItsOwnTapsIsSafe) {
    CFirFilter f;
    const float values[] = {1.0f, 2.0f, 3.0f};
    ASSERT_TRUE(f.SetTaps(values, 3));
    ASSERT_TRUE(f.SetTaps(f.m_pTaps, f.m_nTaps));
    EXPECT_EQ(f.m_pTaps[2], 3.0f);
    EXPECT_EQ(f.m_fSumAbs, 6.0f);
}

TEST(FirFilter, SetTapsRefusesAnEmptyCountAndKeepsTheFilter) {
    CFirFilter f;
    EXPECT_FALSE(f.SetTaps(f.m_pTaps, 0));
    EXPECT_FALSE(f.SetTaps(nullptr, 3));
    ASSERT_EQ(f.m_nTaps, 1);
    EXPECT_EQ(f.m_pTaps[0], 1.0f);
}

TEST(FirFilter, SaveThenLoadIsBitForBit) {
    TempDir dir;
    const std::string path = dir.Path("filter.bin");
    CFirFilter a;
    const float values[] = {1.5f, -0.0f, 3.0e-39f, -32768.0f, 1e30f, 0.1f, NAN};
    ASSERT_TRUE(a.SetTaps(values, 7));
    {
        CFile f;
        ASSERT_TRUE(f.Open(path.c_str(), CFile::modeCreate | CFile::modeWrite));
        ASSERT_TRUE(a.Save(&f));
    }
    const std::vector<char> bytes = ReadAll(path);
    ASSERT_EQ(bytes.size(), 4u + 4u * 7u);
    EXPECT_EQ(bytes[0], 7);
    EXPECT_EQ(bytes[1], 0);

    CFirFilter b;
    CFile f;
    ASSERT_TRUE(f.Open(path.c_str(), CFile::modeRead));
    ASSERT_TRUE(b.Load(&f));
    ASSERT_EQ(b.m_nTaps, 7);
    EXPECT_EQ(std::memcmp(a.m_pTaps, b.m_pTaps, sizeof values), 0);
    // The record is the whole of what was written: nothing is left to read.
    char extra;
    EXPECT_EQ(f.Read(&extra, 1), 0u);
}

TEST(FirFilter, LoadRefusesBadCountsAndShortStreams) {
    TempDir dir;
    const float tap = 0.25f;
    std::vector<unsigned char> tapBytes(4);
    std::memcpy(tapBytes.data(), &tap, 4);

    struct Case {
        const char* what;
        std::vector<unsigned char> bytes;
    };
    std::vector<Case> cases;
    cases.push_back({"empty stream", {}});
    cases.push_back({"count cut short", {1, 0}});
    cases.push_back({"count 0", LittleEndian32(0)});
    cases.push_back({"negative count", LittleEndian32(0xFFFFFFFFu)});
    cases.push_back({"count above one second", LittleEndian32(44101)});
    std::vector<unsigned char> shortTaps = LittleEndian32(2);
    shortTaps.insert(shortTaps.end(), tapBytes.begin(), tapBytes.end());
    cases.push_back({"taps cut short", shortTaps});

    for (const Case& c : cases) {
        const std::string path = dir.Path("bad.bin");
        WriteBytes(path, c.bytes);
        CFirFilter filter;
        CFile f;
        ASSERT_TRUE(f.Open(path.c_str(), CFile::modeRead));
        EXPECT_FALSE(filter.Load(&f)) << c.what;
        ASSERT_EQ(filter.m_nTaps, 1) << c.what;
        EXPECT_EQ(filter.m_pTaps[0], 1.0f) << c.what;
    }
}

TEST(FirFilter, LoadAcceptsTheLongestWaveform) {
    TempDir dir;
    const std::string path = dir.Path("long.bin");
    std::vector<float> taps(kMaxFirTaps, 0.5f);
    CFirFilter a;
    ASSERT_TRUE(a.SetTaps(taps.data(), kMaxFirTaps));
    {
        CFile f;
        ASSERT_TRUE(f.Open(path.c_str(), CFile::modeCreate | CFile::modeWrite));
        ASSERT_TRUE(a.Save(&f));
    }
    CFirFilter b;
    CFile f;
    ASSERT_TRUE(f.Open(path.c_str(), CFile::modeRead));
    ASSERT_TRUE(b.Load(&f));
    EXPECT_EQ(b.m_nTaps, kMaxFirTaps);
}
