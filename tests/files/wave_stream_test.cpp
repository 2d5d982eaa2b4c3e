// The streaming reader and writer: what the audio thread gets from an accompaniment and what a
// recording holds, compared sample by sample, with the smallest cache so the half handshake
// runs thousands of times.
#include "files/wave_stream.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sndfile.h>
#include <unistd.h>

#include <cstring>
#include <filesystem>
#include <memory>
#include <thread>

#include "files/wave_file.h"
#include "tests/support/file_size_limit.h"
#include "tests/support/message_recorder.h"
#include "tests/support/sample_pattern.h"
#include "tests/support/sound_file.h"
#include "tests/support/temp_dir.h"
#include "tests/support/wav_builder.h"

namespace {

constexpr DWORD kSmallestCache = 32768;  // cache setting 64 with both streams on

class WaveStreamTest : public ::testing::Test {
protected:
    std::string WriteWav(const WavLayout& s, const std::vector<unsigned char>& data,
                         const std::string& name = "accomp.wav") {
        const std::string path = m_dir.Path(name);
        WavBytes::Write(path, WavBytes::Make(s, data));
        return path;
    }

    TempDir m_dir;
    MessageRecorder m_messages;
};

struct SndFileContents {
    SF_INFO info{};
    std::vector<float> samples;
};

SndFileContents ReadWithSndFile(const std::string& path) {
    SndFileContents c;
    c.samples = ReadSoundFile(path, &c.info);
    return c;
}

}  // namespace

TEST_F(WaveStreamTest, DataAsLargeAsTheCacheIsHeldInMemory) {
    WavLayout s;
    s.wBitsPerSample = 8;
    {
        CWaveStream r;
        ASSERT_TRUE(
            r.OpenRead(WriteWav(s, std::vector<unsigned char>(kSmallestCache, 200)), kSmallestCache, false));
        EXPECT_EQ(r.GetState(), CWaveStream::StateInMemory);
        EXPECT_FALSE(r.m_hThread.joinable());
        EXPECT_FALSE(r.m_file.IsOpen());
    }
    CWaveStream r;
    ASSERT_TRUE(
        r.OpenRead(WriteWav(s, std::vector<unsigned char>(kSmallestCache + 1, 200)), kSmallestCache, false));
    EXPECT_EQ(r.GetState(), CWaveStream::StateStreaming);
    EXPECT_TRUE(r.m_hThread.joinable());
    EXPECT_EQ(r.ReadSample(), (200 - 128) * 256);
}

TEST_F(WaveStreamTest, DecodesEightBitAndStereo) {
    WavLayout s;
    s.wBitsPerSample = 8;
    {
        CWaveStream r;
        ASSERT_TRUE(r.OpenRead(WriteWav(s, {0, 255, 128}), kSmallestCache, false));
        EXPECT_EQ(r.ReadSample(), -32768);
        EXPECT_EQ(r.ReadSample(), 32512);
        EXPECT_EQ(r.ReadSample(), 0);
    }
    s.nChannels = 2;
    {
        CWaveStream r;
        ASSERT_TRUE(r.OpenRead(WriteWav(s, {0, 0, 255, 0}), kSmallestCache, false));
        EXPECT_EQ(r.ReadSample(), -32768);
        EXPECT_EQ(r.ReadSample(), (32512 - 32768) >> 1);
    }
    s.wBitsPerSample = 16;
    CWaveStream r;
    ASSERT_TRUE(r.OpenRead(WriteWav(s, WavBytes::Int16({-1, 0, 1, 0, 30000, 30001})), kSmallestCache, false));
    EXPECT_EQ(r.ReadSample(), -1);
    EXPECT_EQ(r.ReadSample(), 0);
    EXPECT_EQ(r.ReadSample(), 30000);
}

TEST_F(WaveStreamTest, InMemoryLoopReturnsFirstFrameRightAfterTheLast) {
    const std::vector<int> v = {11, 22, 33};
    for (bool bLoop : {false, true}) {
        CWaveStream r;
        ASSERT_TRUE(r.OpenRead(WriteWav({}, WavBytes::Int16(v)), kSmallestCache, bLoop));
        for (int round = 0; round < 4; ++round) {
            for (int x : v) EXPECT_EQ(r.ReadSample(), bLoop || round == 0 ? x : 0) << round;
        }
    }
}

TEST_F(WaveStreamTest, EmptyDataChunkIsSilenceForEver) {
    for (bool bLoop : {false, true}) {
        CWaveStream r;
        ASSERT_TRUE(r.OpenRead(WriteWav({}, {}), kSmallestCache, bLoop));
        for (int i = 0; i < 10; ++i) EXPECT_EQ(r.ReadSample(), 0);
    }
}

TEST_F(WaveStreamTest, RefusesAccompanimentFormats) {
    struct Case {
        const char* what;
        WavLayout layout;
    };
    std::vector<Case> cases;
    WavLayout s;
    s.wFormatTag = 3;
    s.wBitsPerSample = 32;
    cases.push_back({"float", s});
    s = {};
    s.wBitsPerSample = 24;
    cases.push_back({"24-bit", s});
    s = {};
    s.nSamplesPerSec = 48000;
    cases.push_back({"48 kHz", s});
    s = {};
    s.nChannels = 3;
    cases.push_back({"three channels", s});
    s = {};
    s.wFormatTag = 0xFFFE;
    cases.push_back({"extensible", s});
    for (const Case& c : cases) {
        m_messages.Clear();
        {
            CWaveStream r;
            EXPECT_FALSE(
                r.OpenRead(WriteWav(c.layout, std::vector<unsigned char>(24, 0)), kSmallestCache, false))
                << c.what;
            EXPECT_EQ(r.GetState(), CWaveStream::StateFailed);
            EXPECT_EQ(r.m_strError, ResString(2201));
            EXPECT_TRUE(m_messages.Messages().empty()) << "shown once, when the stream goes";
        }
        EXPECT_TRUE(m_messages.ShownOnly(2201)) << c.what;
    }
}

TEST_F(WaveStreamTest, MissingAccompanimentShowsTheFileErrorThenItsOwnMessage) {
    {
        CWaveStream r;
        EXPECT_FALSE(r.OpenRead(m_dir.Path("none.wav"), kSmallestCache, false));
        const std::vector<std::string> m = m_messages.Messages();
        ASSERT_EQ(m.size(), 1u);
        EXPECT_NE(m[0].find("none.wav"), std::string::npos);
    }
    const std::vector<std::string> m = m_messages.Messages();
    ASSERT_EQ(m.size(), 2u);
    EXPECT_EQ(m[1], ResString(2200));
}

TEST_F(WaveStreamTest, ErrorTextIsCutAtACharacterBoundary) {
    // Reading /proc/self/mem at offset 0 fails with an I/O error, whose text names the file.
    std::string name;
    for (int i = 0; i < 80; ++i) name += "あ";  // 240 bytes
    const std::string link = m_dir.Path(name);
    ASSERT_EQ(::symlink("/proc/self/mem", link.c_str()), 0);
    CWaveStream r;
    EXPECT_FALSE(r.OpenRead(link, kSmallestCache, false));
    EXPECT_LE(r.m_strError.size(), 254u);
    EXPECT_GT(r.m_strError.size(), 200u);
    // Whole characters only: the text is a prefix ending before a lead byte.
    const std::string full = link + ": Input/output error";
    ASSERT_EQ(full.compare(0, r.m_strError.size(), r.m_strError), 0);
    EXPECT_NE(static_cast<unsigned char>(full[r.m_strError.size()]) & 0xC0, 0x80);
    m_messages.Clear();
}

TEST_F(WaveStreamTest, StreamedReadMatchesTheFileSampleBySample) {
    // 16-bit stereo: 4096 frames per half, about 2000 handshakes.
    const std::size_t nFrames = 4096 * 2000 + 1234;
    std::vector<unsigned char> data(4 * nFrames);
    for (std::size_t i = 0; i < nFrames; ++i) {
        const std::int16_t l = Pattern(2 * i), r = Pattern(2 * i + 1);
        std::memcpy(&data[4 * i], &l, 2);
        std::memcpy(&data[4 * i + 2], &r, 2);
    }
    WavLayout s;
    s.nChannels = 2;
    CWaveStream r;
    ASSERT_TRUE(r.OpenRead(WriteWav(s, data), kSmallestCache, false));
    ASSERT_EQ(r.GetState(), CWaveStream::StateStreaming);
    for (std::size_t i = 0; i < nFrames; ++i) {
        const auto expected = static_cast<std::int16_t>((Pattern(2 * i) + Pattern(2 * i + 1)) >> 1);
        ASSERT_EQ(r.ReadSample(), expected) << i;
    }
    // Then silence, once the I/O thread has marked the end.
    for (int i = 0; i < 50000; ++i) ASSERT_EQ(r.ReadSample(), 0) << i;
    EXPECT_EQ(r.GetState(), CWaveStream::StateEnded);
}

TEST_F(WaveStreamTest, StreamedAccompanimentEndsInSilenceInEitherHalf) {
    // 8192 samples per half: ends inside the second half of the first round (3 halves read at
    // open and by the thread), and inside a first half.
    for (std::size_t nSamples : {16384u + 8192u + 100u, 16384u * 2 + 100u}) {
        CWaveStream r;
        ASSERT_TRUE(r.OpenRead(WriteWav({}, PatternData16(nSamples)), kSmallestCache, false));
        for (std::size_t i = 0; i < nSamples; ++i)
            ASSERT_EQ(r.ReadSample(), Pattern(i)) << nSamples << " " << i;
        for (int i = 0; i < 40000; ++i) ASSERT_EQ(r.ReadSample(), 0) << nSamples << " " << i;
    }
}

TEST_F(WaveStreamTest, StreamedLoopRestartsAtTheFirstSampleWithinTheHalf) {
    const std::size_t nSamples = 16384 + 5000;
    CWaveStream r;
    ASSERT_TRUE(r.OpenRead(WriteWav({}, PatternData16(nSamples)), kSmallestCache, true));
    for (std::size_t i = 0; i < 5 * nSamples; ++i) ASSERT_EQ(r.ReadSample(), Pattern(i % nSamples)) << i;
}

TEST_F(WaveStreamTest, CloseRightAfterOpenEndsTheThread) {
    const std::string path = WriteWav({}, PatternData16(40000));
    for (int i = 0; i < 50; ++i) {
        auto r = std::make_unique<CWaveStream>();
        ASSERT_TRUE(r->OpenRead(path, kSmallestCache, i % 2 == 0));
        r.reset();
        auto w = std::make_unique<CWaveStream>();
        ASSERT_TRUE(w->OpenWrite(m_dir.Path("rec.wav"), kSmallestCache, 1));
        w.reset();
    }
    EXPECT_TRUE(m_messages.Messages().empty());
}

TEST_F(WaveStreamTest, RecordingSizesAndSamples) {
    // 16-bit: 8192 samples per half. Counts around the half and cache boundaries, and many halves.
    for (int nFormat : {kRecordInt16, kRecordFloat32}) {
        const std::size_t nBytesPerSample = nFormat == kRecordInt16 ? 2 : 4;
        const std::size_t nHalf = kSmallestCache / 2 / nBytesPerSample;
        for (std::size_t n : {std::size_t{0}, std::size_t{1}, nHalf - 1, nHalf, nHalf + 100, 2 * nHalf,
                              2 * nHalf + 1, 1000 * nHalf + 77}) {
            const std::string path = m_dir.Path("rec.wav");
            {
                CWaveStream w;
                ASSERT_TRUE(w.OpenWrite(path, kSmallestCache, nFormat));
                for (std::size_t i = 0; i < n; ++i) w.WriteSample(Pattern(i));
            }
            const std::vector<unsigned char> bytes = WavBytes::ReadFile(path);
            ASSERT_EQ(bytes.size(), 44 + nBytesPerSample * n) << n;
            EXPECT_EQ(WavBytes::U32At(bytes, 4), 36 + nBytesPerSample * n);
            EXPECT_EQ(WavBytes::U32At(bytes, 40), nBytesPerSample * n);
            EXPECT_EQ(WavBytes::U32At(bytes, 16), 16u);
            EXPECT_EQ(WavBytes::U32At(bytes, 28), 44100u * nBytesPerSample);

            const SndFileContents c = ReadWithSndFile(path);
            ASSERT_EQ(c.info.frames, static_cast<sf_count_t>(n)) << n;
            EXPECT_EQ(c.info.samplerate, 44100);
            EXPECT_EQ(c.info.channels, 1);
            EXPECT_EQ(c.info.format,
                      SF_FORMAT_WAV | (nFormat == kRecordInt16 ? SF_FORMAT_PCM_16 : SF_FORMAT_FLOAT));
            for (std::size_t i = 0; i < n; ++i) {
                const float expected = nFormat == kRecordInt16 ? Pattern(i) : Pattern(i) / 32768.0f;
                ASSERT_EQ(c.samples[i], expected) << n << " " << i;
            }
        }
    }
}

TEST_F(WaveStreamTest, RecordingKeepsFloatPeaksAndClipsIntegers) {
    const std::string p16 = m_dir.Path("r16.wav"), pf = m_dir.Path("rf.wav");
    {
        CWaveStream w16, wf;
        ASSERT_TRUE(w16.OpenWrite(p16, kSmallestCache, kRecordInt16));
        ASSERT_TRUE(wf.OpenWrite(pf, kSmallestCache, kRecordFloat32));
        for (double v : {40000.0, -0.9, -40000.0}) {
            w16.WriteSample(v);
            wf.WriteSample(v);
        }
    }
    const SndFileContents c16 = ReadWithSndFile(p16), cf = ReadWithSndFile(pf);
    EXPECT_EQ(c16.samples, (std::vector<float>{32767.0f, 0.0f, -32768.0f}));
    ASSERT_EQ(cf.samples.size(), 3u);
    EXPECT_FLOAT_EQ(cf.samples[0], 1.2207031f);
    EXPECT_FLOAT_EQ(cf.samples[1], static_cast<float>(-0.9 / 32768.0));
    EXPECT_FLOAT_EQ(cf.samples[2], -1.2207031f);
}

TEST_F(WaveStreamTest, RecordingStopsTakingSamplesBeforeItsSizesWouldWrap) {
    const std::string path = m_dir.Path("cap.wav");
    {
        CWaveStream w;
        ASSERT_TRUE(w.OpenWrite(path, kSmallestCache, kRecordInt16));
        w.SetDataLimitForTesting(20001);  // room for 10000 whole samples
        for (int i = 0; i < 30000; ++i) w.WriteSample(Pattern(i));
    }
    const SndFileContents c = ReadWithSndFile(path);
    ASSERT_EQ(c.info.frames, 10000);
    EXPECT_EQ(c.samples[9999], Pattern(9999));
}

TEST_F(WaveStreamTest, RecordingOntoThePlayingAccompanimentIsRefused) {
    const std::vector<unsigned char> bytes = WavBytes::Make({}, PatternData16(100000));
    const std::string path = m_dir.Path("same.wav");
    WavBytes::Write(path, bytes);
    CWaveStream r;
    ASSERT_TRUE(r.OpenRead(path, kSmallestCache, false));
    {
        CWaveStream w;
        EXPECT_FALSE(w.OpenWrite(path, kSmallestCache, kRecordInt16));
        EXPECT_EQ(w.m_strError, ResString(2202));
    }
    const std::vector<std::string> m = m_messages.Messages();
    ASSERT_EQ(m.size(), 2u);  // the file error at once, then 2202 when the writer goes
    EXPECT_EQ(m[1], ResString(2202));
    EXPECT_EQ(WavBytes::ReadFile(path), bytes);
    for (std::size_t i = 0; i < 100; ++i) ASSERT_EQ(r.ReadSample(), Pattern(i));
}

TEST_F(WaveStreamTest, UnwritableRecordingFolderFails) {
    CWaveStream w;
    EXPECT_FALSE(w.OpenWrite(m_dir.Path("no/such/folder.wav"), kSmallestCache, kRecordInt16));
    EXPECT_EQ(w.GetState(), CWaveStream::StateFailed);
    w.WriteSample(1.0);  // a failed writer takes nothing and does not crash
    m_messages.Clear();
    w.m_strError.clear();
}

TEST_F(WaveStreamTest, WriterFailureWhileStreamingStopsOnlyTheRecording) {
    const std::string path = m_dir.Path("full.wav");
    CWaveStream w;
    ASSERT_TRUE(w.OpenWrite(path, kSmallestCache, kRecordInt16));
    // Redirect the file's descriptor to /dev/full so the I/O thread's next write fails.
    const int fdFull = ::open("/dev/full", O_WRONLY);
    ASSERT_GE(fdFull, 0);
    int fdTarget = -1;
    for (int fd = 3; fd < 1024 && fdTarget < 0; ++fd) {
        char target[512] = {};
        const std::string proc = "/proc/self/fd/" + std::to_string(fd);
        const ssize_t n = ::readlink(proc.c_str(), target, sizeof target - 1);
        if (n > 0 && std::string(target) == path) fdTarget = fd;
    }
    ASSERT_GE(fdTarget, 0);
    ASSERT_GE(::dup2(fdFull, fdTarget), 0);
    ::close(fdFull);
    for (int i = 0; i < 100000 && w.GetState() != CWaveStream::StateFailed; ++i) w.WriteSample(i);
    EXPECT_EQ(w.GetState(), CWaveStream::StateFailed);
    const std::vector<std::string> m = m_messages.Messages();
    ASSERT_EQ(m.size(), 1u);
    EXPECT_NE(m[0].find("ディスクの空き容量が足りません"), std::string::npos);
    w.WriteSample(1.0);  // ignored from now on
}

TEST_F(WaveStreamTest, RecordingHeaderFollowsTheDiskAfterEveryHalf) {
    // What a kill would leave at any moment: after each half written, the sizes match the file.
    const std::string path = m_dir.Path("live.wav");
    CWaveStream w;
    ASSERT_TRUE(w.OpenWrite(path, kSmallestCache, kRecordInt16));
    const std::size_t nHalf = kSmallestCache / 2 / 2;
    int nChecked = 0;
    for (std::size_t i = 0; i < 6 * nHalf; ++i) {
        w.WriteSample(Pattern(i));
        if (i % nHalf != nHalf / 2) continue;
        // By the middle of the next half the thread has written the previous one.
        for (int k = 0; k < 2000; ++k) {
            const std::vector<unsigned char> bytes = WavBytes::ReadFile(path);
            if (bytes.size() >= 44 + 2 * (i / nHalf) * nHalf &&
                WavBytes::U32At(bytes, 40) == bytes.size() - 44) {
                EXPECT_EQ(WavBytes::U32At(bytes, 4), bytes.size() - 8);
                ++nChecked;
                break;
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        }
    }
    EXPECT_EQ(nChecked, 6);
}

TEST_F(WaveStreamTest, FullDiskLeavesAValidRecordingOfWhatWasWritten) {
    const std::string path = m_dir.Path("full.wav");
    {
        CWaveStream w;
        ASSERT_TRUE(w.OpenWrite(path, kSmallestCache, kRecordFloat32));
        const FileSizeLimit limit(44 + 3 * kSmallestCache / 2 + 6);  // three halves and a bit
        for (int i = 0; i < 200000 && w.GetState() != CWaveStream::StateFailed; ++i) {
            w.WriteSample(Pattern(i));
        }
        EXPECT_EQ(w.GetState(), CWaveStream::StateFailed);
    }
    const std::vector<unsigned char> bytes = WavBytes::ReadFile(path);
    ASSERT_GE(bytes.size(), 44u + 3 * kSmallestCache / 2);
    EXPECT_EQ((bytes.size() - 44) % 4, 0u) << "whole samples only";
    EXPECT_EQ(WavBytes::U32At(bytes, 40), bytes.size() - 44);
    EXPECT_EQ(WavBytes::U32At(bytes, 4), bytes.size() - 8);
    const SndFileContents got = ReadWithSndFile(path);
    ASSERT_EQ(got.samples.size(), (bytes.size() - 44) / 4);
    for (std::size_t i = 0; i < got.samples.size(); ++i)
        ASSERT_EQ(got.samples[i] * 32768.0f, Pattern(i)) << i;
}

TEST_F(WaveStreamTest, LoopedAccompanimentThatShrinksEndsInSilence) {
    const std::size_t nSamples = 16384 * 3 + 1000;
    const std::string path = WriteWav({}, PatternData16(nSamples));
    CWaveStream r;
    ASSERT_TRUE(r.OpenRead(path, kSmallestCache, true));
    // Into the second half, so the thread refills the first and then waits to refill the second.
    for (std::size_t i = 0; i < 8192 + 1000; ++i) ASSERT_EQ(r.ReadSample(), Pattern(i));
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
    // Another program cuts the file to its header while it plays: the refill of the second half
    // finds nothing.
    ASSERT_EQ(::truncate(path.c_str(), 44), 0);
    // Played at its pace, the rest of the second half and the start of the first: meanwhile the
    // thread finds the file at its end.
    for (std::size_t i = 0; i < 7192 + 100; ++i) r.ReadSample();
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
    std::size_t nSilent = 0;
    for (int i = 0; i < 200000; ++i) nSilent = r.ReadSample() == 0 ? nSilent + 1 : 0;
    EXPECT_GE(nSilent, 100000u) << "the cache must not repeat for ever";
}
