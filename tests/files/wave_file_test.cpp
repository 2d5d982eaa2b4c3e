// The WAV header parser and the filter waveform loader, on files built byte by byte.
#include "files/wave_file.h"

#include <gtest/gtest.h>

#include <cmath>

#include "files/filter_wave.h"
#include "filter/fir_filter.h"
#include "platform/file.h"
#include "tests/support/message_recorder.h"
#include "tests/support/temp_dir.h"
#include "tests/support/wav_builder.h"

namespace {

struct HeaderResult {
    BOOL bOk;
    WAVEFORMATEX format;
    DWORD dwDataSize;
    std::uint64_t nPosition;
    std::string strError;
};

HeaderResult ParseHeader(const std::vector<unsigned char>& bytes) {
    TempDir dir;
    const std::string path = dir.Path("h.wav");
    WavBytes::Write(path, bytes);
    CFile f;
    EXPECT_TRUE(f.Open(path.c_str(), CFile::modeRead));
    HeaderResult r{};
    r.bOk = ReadWaveHeader(r.format, f, r.strError, r.dwDataSize);
    r.nPosition = f.GetPosition();
    return r;
}

const std::vector<unsigned char> kTenSamples = WavBytes::Int16({0, 1, -1, 100, -100, 32767, -32768, 5, 6, 7});

}  // namespace

TEST(WaveHeader, ReadsACanonicalFile) {
    const HeaderResult r = ParseHeader(WavBytes::Make({}, kTenSamples));
    ASSERT_TRUE(r.bOk);
    EXPECT_EQ(r.dwDataSize, 20u);
    EXPECT_EQ(r.nPosition, 44u);
    EXPECT_EQ(r.format.wFormatTag, 1);
    EXPECT_EQ(r.format.nChannels, 1);
    EXPECT_EQ(r.format.nSamplesPerSec, 44100u);
    EXPECT_EQ(r.format.nAvgBytesPerSec, 88200u);
    EXPECT_EQ(r.format.nBlockAlign, 2);
    EXPECT_EQ(r.format.wBitsPerSample, 16);
}

TEST(WaveHeader, LongerFormatChunksAreSkipped) {
    for (std::uint32_t nFmt : {18u, 40u}) {
        WavLayout s;
        s.nFmtSize = nFmt;
        const HeaderResult r = ParseHeader(WavBytes::Make(s, kTenSamples));
        ASSERT_TRUE(r.bOk) << nFmt;
        EXPECT_EQ(r.dwDataSize, 20u);
        EXPECT_EQ(r.nPosition, 28u + nFmt) << "left at the first sample byte";
    }
}

TEST(WaveHeader, RefusesWhatItDoesNotRead) {
    struct Case {
        const char* what;
        WavLayout layout;
    };
    std::vector<Case> cases;
    WavLayout s;
    s.wFormatTag = 0xFFFE;
    cases.push_back({"extensible format", s});
    s = {};
    s.wFormatTag = 3;
    s.wBitsPerSample = 64;
    cases.push_back({"64-bit float", s});
    s = {};
    s.wFormatTag = 2;
    cases.push_back({"ADPCM", s});
    s = {};
    s.nAvgBytesPerSec = 88201;
    cases.push_back({"bytes per second that do not add up", s});
    s = {};
    s.nFmtSize = 14;
    cases.push_back({"format chunk too short", s});
    s = {};
    s.strChunkBeforeData = "LIST";
    cases.push_back({"chunk between fmt and data", s});
    s = {};
    s.strChunkBeforeData = "fact";
    cases.push_back({"fact chunk", s});
    for (const Case& c : cases) {
        const HeaderResult r = ParseHeader(WavBytes::Make(c.layout, kTenSamples));
        EXPECT_FALSE(r.bOk) << c.what;
        EXPECT_EQ(r.strError, ResString(2201)) << c.what;
    }
}

TEST(WaveHeader, EveryTruncationFails) {
    const std::vector<unsigned char> good = WavBytes::Make({}, kTenSamples);
    for (std::size_t n = 0; n < 44; ++n) {
        const HeaderResult r = ParseHeader({good.begin(), good.begin() + n});
        EXPECT_FALSE(r.bOk) << n;
    }
    std::vector<unsigned char> badTag = good;
    badTag[8] = 'w';
    EXPECT_FALSE(ParseHeader(badTag).bOk);
}

TEST(WaveHeader, HugeSizesAreSizesNotAllocations) {
    WavLayout s;
    s.nFmtSize = 0xFFFFFFF0u;  // skipped by seeking: the file then ends, so "data" is missing
    EXPECT_FALSE(ParseHeader(WavBytes::Make(s, kTenSamples)).bOk);

    s = {};
    s.nDeclaredDataSize = 0xFFFFFFFFu;  // a size like any other, not a failure value
    const HeaderResult r = ParseHeader(WavBytes::Make(s, kTenSamples));
    ASSERT_TRUE(r.bOk);
    EXPECT_EQ(r.dwDataSize, 0xFFFFFFFFu);
}

TEST(SampleEncoding, EdgeValues) {
    EXPECT_EQ(Decode8Bit(0), -32768);
    EXPECT_EQ(Decode8Bit(128), 0);
    EXPECT_EQ(Decode8Bit(255), 32512);
    EXPECT_EQ(DecodeStereo(-1, 0), -1);
    EXPECT_EQ(DecodeStereo(1, 0), 0);
    EXPECT_EQ(DecodeStereo(-32768, -32768), -32768);
    EXPECT_EQ(EncodeRecord16(40000.0), 32767);
    EXPECT_EQ(EncodeRecord16(-40000.0), -32768);
    EXPECT_EQ(EncodeRecord16(-0.9), 0);
    EXPECT_EQ(EncodeRecord16(123.99), 123);
    EXPECT_EQ(EncodeRecord16(NAN), 0);
    EXPECT_FLOAT_EQ(EncodeRecordFloat(40000.0), 1.2207031f);
    EXPECT_EQ(EncodeRecordFloat(-32768.0), -1.0f);
}

class FilterWave : public ::testing::Test {
protected:
    std::string Write(const WavLayout& s, const std::vector<unsigned char>& data) {
        const std::string path = m_dir.Path("f.wav");
        WavBytes::Write(path, WavBytes::Make(s, data));
        return path;
    }
    // Loads into a filter holding three known taps; checks they survive a refusal.
    void ExpectRefused(const std::string& path, unsigned nMessage, const char* what) {
        const float taps[] = {1.0f, 2.0f, 3.0f};
        m_filter.SetTaps(taps, 3);
        m_messages.Clear();
        EXPECT_FALSE(LoadFilterWave(m_filter, path)) << what;
        EXPECT_TRUE(m_messages.ShownOnly(nMessage)) << what;
        EXPECT_EQ(m_filter.m_nTaps, 3) << what;
        EXPECT_EQ(m_filter.m_pTaps[2], 3.0f) << what;
    }

    TempDir m_dir;
    MessageRecorder m_messages;
    CFirFilter m_filter;
};

TEST_F(FilterWave, SixteenBitSamplesBecomeTapsUnscaled) {
    ASSERT_TRUE(LoadFilterWave(m_filter, Write({}, WavBytes::Int16({-32768, 0, 32767, 7}))));
    ASSERT_EQ(m_filter.m_nTaps, 4);
    EXPECT_EQ(m_filter.m_pTaps[0], -32768.0f);
    EXPECT_EQ(m_filter.m_pTaps[2], 32767.0f);
    EXPECT_EQ(m_filter.m_pTaps[3], 7.0f);
    EXPECT_TRUE(m_messages.Messages().empty());
}

TEST_F(FilterWave, FloatSamplesAreTakenAsTheyAre) {
    WavLayout s;
    s.wFormatTag = 3;
    s.wBitsPerSample = 32;
    ASSERT_TRUE(LoadFilterWave(m_filter, Write(s, WavBytes::Float32({0.25f, -1.5f, 1e-3f}))));
    ASSERT_EQ(m_filter.m_nTaps, 3);
    EXPECT_EQ(m_filter.m_pTaps[1], -1.5f);
    EXPECT_EQ(m_filter.m_fSumAbs, 0.25f + 1.5f + 1e-3f);
}

TEST_F(FilterWave, RefusesFormatsOtherThanMono44kOf16BitOrFloat) {
    WavLayout s;
    s.wBitsPerSample = 8;
    ExpectRefused(Write(s, {1, 2, 3, 4}), 2203, "8-bit");
    s.wBitsPerSample = 24;
    ExpectRefused(Write(s, std::vector<unsigned char>(12, 1)), 2203, "24-bit");
    s = {};
    s.nSamplesPerSec = 48000;
    ExpectRefused(Write(s, kTenSamples), 2203, "48 kHz");
    s = {};
    s.nChannels = 2;
    ExpectRefused(Write(s, kTenSamples), 2203, "stereo");
    s = {};
    s.nBlockAlign = 4;
    s.nAvgBytesPerSec = 88200;
    ExpectRefused(Write(s, kTenSamples), 2203, "16-bit with a block align of 4");
}

TEST_F(FilterWave, OneSecondIsTheLongest) {
    ASSERT_TRUE(LoadFilterWave(m_filter, Write({}, std::vector<unsigned char>(2 * 44100, 1))));
    EXPECT_EQ(m_filter.m_nTaps, 44100);
    ExpectRefused(Write({}, std::vector<unsigned char>(2 * 44101, 1)), 2203, "44101 samples");
    WavLayout s;
    s.nDeclaredDataSize = 0xFFFFFFFEu;
    ExpectRefused(Write(s, kTenSamples), 2203, "a declared size of 4 GiB");
}

TEST_F(FilterWave, ShortDataLoadsTheWholeSamplesItHolds) {
    WavLayout s;
    s.nDeclaredDataSize = 200;  // 100 samples declared
    ASSERT_TRUE(LoadFilterWave(m_filter, Write(s, std::vector<unsigned char>(120, 1))));
    EXPECT_EQ(m_filter.m_nTaps, 60);

    ExpectRefused(Write(s, std::vector<unsigned char>(121, 1)), 2201, "60.5 samples");
    ExpectRefused(Write(s, {}), 2201, "no samples");
    s.nDeclaredDataSize = 0;
    ExpectRefused(Write(s, kTenSamples), 2201, "data size 0");
    ExpectRefused(Write({}, {}), 2201, "empty data chunk");
}

TEST_F(FilterWave, BadHeaderGivesItsMessage) {
    WavLayout s;
    s.wFormatTag = 0xFFFE;
    ExpectRefused(Write(s, kTenSamples), 2201, "extensible");
}

TEST_F(FilterWave, MissingFileGivesTheFileErrorNamingIt) {
    const std::string path = m_dir.Path("どこにもない.wav");
    EXPECT_FALSE(LoadFilterWave(m_filter, path));
    const std::vector<std::string> m = m_messages.Messages();
    ASSERT_EQ(m.size(), 1u);
    EXPECT_NE(m[0].find(path), std::string::npos);
    EXPECT_NE(m[0].find("ファイルまたはフォルダが見つかりません"), std::string::npos);
    EXPECT_EQ(m_filter.m_nTaps, 1);
}
