// Tone files: the bytes of each field, and how far a damaged file is read.
#include "files/tone_file.h"

#include <gtest/gtest.h>

#include <cstring>

#include "platform/file.h"
#include "tests/support/temp_dir.h"
#include "tests/support/wav_builder.h"

namespace {

void SetStartupTexts(ToneData& t) {
    t.strRange = "5";
    t.strRangeAdjust = "0";
    t.strLeftShift = "2";
    t.strRightShift = "5";
    t.strModRatio = "1";
    t.strModDepth = "20";
    t.strFeedback = "0";
    t.strDistortion = "0";
}

// Field bytes built by hand.
struct Bytes {
    std::vector<unsigned char> v;
    Bytes& Int(std::int32_t n) {
        for (int i = 0; i < 4; ++i)
            v.push_back(static_cast<unsigned char>(static_cast<std::uint32_t>(n) >> (8 * i)));
        return *this;
    }
    Bytes& Str(const std::string& s) {
        Int(static_cast<std::int32_t>(s.size() + 1));
        v.insert(v.end(), s.begin(), s.end());
        v.push_back(0);
        return *this;
    }
    Bytes& Raw(const std::vector<unsigned char>& r) {
        v.insert(v.end(), r.begin(), r.end());
        return *this;
    }
    Bytes& Identity() {
        Int(1);
        const float one = 1.0f;
        unsigned char b[4];
        std::memcpy(b, &one, 4);
        v.insert(v.end(), b, b + 4);
        return *this;
    }
};

Bytes StartupFile() {
    Bytes b;
    b.Int(1).Str("5").Str("0").Str("2").Str("5").Str("1").Str("20").Str("0").Str("0");
    b.Int(0).Int(0).Int(100).Int(100).Str("").Str("").Identity().Identity().Int(1).Int(0);
    return b;
}

class ToneFileTest : public ::testing::Test {
protected:
    std::vector<unsigned char> Save(ToneData& tone) {
        const std::string path = m_dir.Path("t.aly");
        {
            CFile f;
            EXPECT_TRUE(f.Open(path.c_str(), CFile::modeCreate | CFile::modeWrite));
            EXPECT_TRUE(WriteToneFile(f, tone));
        }
        return WavBytes::ReadFile(path);
    }
    int Load(const std::vector<unsigned char>& bytes, ToneData& tone) {
        const std::string path = m_dir.Path("l.aly");
        WavBytes::Write(path, bytes);
        CFile f;
        EXPECT_TRUE(f.Open(path.c_str(), CFile::modeRead));
        return ReadToneFile(f, tone);
    }
    TempDir m_dir;
};

}  // namespace

TEST_F(ToneFileTest, StartupToneIs103Bytes) {
    ToneData tone;
    SetStartupTexts(tone);
    const std::vector<unsigned char> bytes = Save(tone);
    EXPECT_EQ(bytes.size(), 103u);
    EXPECT_EQ(bytes, StartupFile().v);
}

TEST_F(ToneFileTest, EveryFieldRoundTrips) {
    ToneData a;
    SetStartupTexts(a);
    a.strRange = "7";
    a.strRangeAdjust = "-24";
    a.strModDepth = "";
    a.strFeedback = " 12abc";
    a.nCheckDetune = 2;
    a.nCheckFir = 1;
    a.nFirInputVolume = -5;
    a.nFirFilter2Volume = 2001;
    a.strFirFile1 = "インパルス.wav";
    a.strFirFile2 = "b.wav";
    const float taps[] = {0.5f, -0.25f, 3.0f};
    a.firFilter1.SetTaps(taps, 3);
    a.nFirDelay = 0;
    a.nFirFeedback = 1000;

    ToneData b;
    ASSERT_EQ(Load(Save(a), b), kToneFieldCount);
    EXPECT_EQ(b.strRange, "7");
    EXPECT_EQ(b.strRangeAdjust, "-24");
    EXPECT_EQ(b.strModDepth, "");
    EXPECT_EQ(b.strFeedback, " 12abc");
    EXPECT_EQ(b.nCheckDetune, 2);
    EXPECT_EQ(b.nCheckFir, 1);
    EXPECT_EQ(b.nFirInputVolume, -5);
    EXPECT_EQ(b.nFirFilter2Volume, 2001);
    EXPECT_EQ(b.strFirFile1, "インパルス.wav");
    EXPECT_EQ(b.strFirFile2, "b.wav");
    ASSERT_EQ(b.firFilter1.m_nTaps, 3);
    EXPECT_EQ(b.firFilter1.m_pTaps[1], -0.25f);
    EXPECT_EQ(b.firFilter2.m_nTaps, 1);
    EXPECT_EQ(b.nFirDelay, 0);
    EXPECT_EQ(b.nFirFeedback, 1000);
}

TEST_F(ToneFileTest, EmptyTextIsALengthOfOne) {
    ToneData a;
    SetStartupTexts(a);
    a.strRange = "";
    const std::vector<unsigned char> bytes = Save(a);
    EXPECT_EQ(WavBytes::U32At(bytes, 4), 1u);
    EXPECT_EQ(bytes[8], 0);
}

TEST_F(ToneFileTest, TextsUpTo1023BytesLoad) {
    ToneData a;
    SetStartupTexts(a);
    a.strRightShift = std::string(1023, '9');
    ToneData b;
    EXPECT_EQ(Load(Save(a), b), kToneFieldCount);
    EXPECT_EQ(b.strRightShift.size(), 1023u);

    a.strRightShift = std::string(1024, '9');  // saved, but refused at that field
    ToneData c;
    EXPECT_EQ(Load(Save(a), c), 4);
    EXPECT_EQ(c.strLeftShift, "2");
}

TEST_F(ToneFileTest, TextStopsAtTheFirstZero) {
    Bytes b = StartupFile();
    // The range field "5" becomes "4\0x" with its last byte zero.
    Bytes f;
    f.Int(1).Int(4).Raw({'4', 0, 'x', 0});
    f.v.insert(f.v.end(), b.v.begin() + 10, b.v.end());
    ToneData t;
    EXPECT_EQ(Load(f.v, t), kToneFieldCount);
    EXPECT_EQ(t.strRange, "4");
}

TEST_F(ToneFileTest, StringWithoutFinalZeroOrOutOfRangeLengthFails) {
    for (std::int32_t n : {0, -1, 1025}) {
        Bytes f;
        f.Int(1).Int(n).Raw(std::vector<unsigned char>(8, 0));
        ToneData t;
        EXPECT_EQ(Load(f.v, t), 1) << n;
    }
    Bytes f;
    f.Int(1).Int(2).Raw({'5', '5'});
    ToneData t;
    EXPECT_EQ(Load(f.v, t), 1);
}

TEST_F(ToneFileTest, OtherVersionsAreRefusedWithNothingRead) {
    Bytes b = StartupFile();
    b.v[0] = 2;
    ToneData t;
    t.strRange = "untouched";
    EXPECT_EQ(Load(b.v, t), 0);
    EXPECT_EQ(t.strRange, "untouched");
}

TEST_F(ToneFileTest, FailureAtFieldElevenKeepsWhatCameBefore) {
    Bytes b;
    b.Int(1).Str("3").Str("-5").Str("1").Str("2").Str("4").Str("30").Str("10").Str("500");
    b.Int(1).Int(3);  // FIR check state 3: out of range
    ToneData t;
    EXPECT_EQ(Load(b.v, t), 10);
    EXPECT_EQ(t.strRange, "3");
    EXPECT_EQ(t.strDistortion, "500");
    EXPECT_EQ(t.nCheckDetune, 1);
    EXPECT_EQ(t.nCheckFir, 0);
}

TEST_F(ToneFileTest, FileThatEndsEarlyFailsAtTheFieldItCuts) {
    const Bytes full = StartupFile();
    // Cut inside filter 1 (field 16), and inside the last int.
    ToneData t;
    EXPECT_EQ(Load({full.v.begin(), full.v.begin() + 82}, t), 15);
    EXPECT_EQ(Load({full.v.begin(), full.v.end() - 1}, t), 18);
}

TEST_F(ToneFileTest, ShiftJisTextsFromTheWindowsProgramAreRead) {
    // "音色.wav" in CP932: 89 B9 90 46 2E 77 61 76
    Bytes b;
    b.Int(1);
    for (int i = 0; i < 8; ++i) b.Str("1");
    b.Int(0).Int(1).Int(100).Int(100);
    b.Int(9).Raw({0x89, 0xB9, 0x90, 0x46, '.', 'w', 'a', 'v', 0});
    b.Str("").Identity().Identity().Int(1).Int(0);
    ToneData t;
    ASSERT_EQ(Load(b.v, t), kToneFieldCount);
    EXPECT_EQ(t.strFirFile1, "音色.wav");
}
