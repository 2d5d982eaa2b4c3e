// Play sessions from start to end: the start's checks and abort path, the audio thread's block
// loop and per-sample chain, and what reaches the output and the recording.
#include "engine/session.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sndfile.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cmath>
#include <cstring>

#include "engine/audio_thread.h"
#include "files/wave_stream.h"
#include "filter/fir_filter.h"
#include "tests/support/message_recorder.h"
#include "tests/support/session_support.h"
#include "tests/support/sound_file.h"
#include "tests/support/temp_dir.h"
#include "tests/support/wav_builder.h"

namespace {

// Points the descriptor that holds path at another file, so the stream's next transfer fails.
bool RedirectOpenFile(const std::string& path, const char* pszTo, int nFlags) {
    const int fdTo = ::open(pszTo, nFlags);
    if (fdTo < 0) return false;
    bool bDone = false;
    for (int fd = 3; fd < 1024 && !bDone; ++fd) {
        char target[512] = {};
        const std::string proc = "/proc/self/fd/" + std::to_string(fd);
        if (::readlink(proc.c_str(), target, sizeof target - 1) > 0 && path == target) {
            bDone = ::dup2(fdTo, fd) >= 0;
        }
    }
    ::close(fdTo);
    return bDone;
}

class SessionTest : public ::testing::Test {
protected:
    void TearDown() override {
        StopSession();
        EXPECT_TRUE(NothingHeld());
    }
    TempDir m_dir;
    MessageRecorder m_messages;
};

}  // namespace

TEST_F(SessionTest, RefusedSettingsShowTheirMessageAndHoldNothing) {
    struct Case {
        const char* what;
        void (*change)(SessionSettings&);
        unsigned nMessage;
    };
    const Case cases[] = {
        {"buffer 0", [](SessionSettings& s) { s.texts.strBuffer = "0"; }, 1000},
        {"range 8", [](SessionSettings& s) { s.texts.strRange = "8"; }, 1001},
        {"cache 63", [](SessionSettings& s) { s.strCache = "63"; }, 1011},
        {"cache 16385", [](SessionSettings& s) { s.strCache = "16385"; }, 1011},
        {"cache as text", [](SessionSettings& s) { s.strCache = "abc"; }, 1011},
        {"accompaniment .wave",
         [](SessionSettings& s) {
             s.nCheckAccomp = 1;
             s.strAccompFile = "a.wave";
         },
         1010},
        {"accompaniment 'av'",
         [](SessionSettings& s) {
             s.nCheckAccomp = 1;
             s.strAccompFile = "av";
         },
         1010},
        {"accompaniment empty", [](SessionSettings& s) { s.nCheckAccomp = 1; }, 1010},
    };
    for (const Case& c : cases) {
        SessionSettings s = StartupSession();
        s.fir.nCheckFir = 1;  // the filter stage is built before the later checks: it must go too
        CFirFilter f1, f2;
        s.fir.pFilter1 = &f1;
        s.fir.pFilter2 = &f2;
        s.fir.nFirFeedback = 50;
        c.change(s);
        m_messages.Clear();
        EXPECT_FALSE(StartSession(s, RecordTo(m_dir.Path("r.wav")))) << c.what;
        EXPECT_TRUE(m_messages.ShownOnly(c.nMessage)) << c.what;
        EXPECT_TRUE(NothingHeld()) << c.what;
    }
    // And a good start right after works.
    WaveDeviceEnv device("null");
    EXPECT_TRUE(StartSession(StartupSession(), nullptr));
}

TEST_F(SessionTest, BadAccompanimentNameComesBeforeTheRecordingDialog) {
    SessionSettings s = StartupSession();
    s.nCheckAccomp = 1;
    s.strAccompFile = "song.mp3";
    s.nCheckRecord = 1;
    bool bAsked = false;
    EXPECT_FALSE(StartSession(s, [&bAsked](std::string&) { return bAsked = true; }));
    EXPECT_FALSE(bAsked);
    EXPECT_TRUE(m_messages.ShownOnly(1010));
}

TEST_F(SessionTest, CancelledRecordingDialogReleasesTheOpenAccompanimentQuietly) {
    const std::string accomp = m_dir.Path("a.WaV");
    WavBytes::Write(accomp, WavBytes::Make({}, WavBytes::Int16({1, 2, 3})));
    SessionSettings s = StartupSession();
    s.nCheckAccomp = 1;
    s.strAccompFile = accomp;
    s.nCheckRecord = 1;
    EXPECT_FALSE(StartSession(s, [](std::string&) { return false; }));
    EXPECT_TRUE(m_messages.Messages().empty());
}

TEST_F(SessionTest, AccompanimentThatCannotOpenIsReportedOnceByTheReader) {
    SessionSettings s = StartupSession();
    s.nCheckAccomp = 1;
    s.strAccompFile = m_dir.Path("missing.wav");
    EXPECT_FALSE(StartSession(s, nullptr));
    const std::vector<std::string> m = m_messages.Messages();
    ASSERT_EQ(m.size(), 2u);  // the file error at once, the reader's text as it goes
    EXPECT_EQ(m[1], ResString(2200));
}

TEST_F(SessionTest, NoSecondSessionWhileAThreadLives) {
    WaveDeviceEnv device("null");
    const SessionSettings s = StartupSession();
    ASSERT_TRUE(StartSession(s, nullptr));
    EXPECT_FALSE(StartSession(s, nullptr));
    EXPECT_TRUE(m_messages.ShownOnly(1007));
    EXPECT_EQ(PerformanceState.nActiveThreads.load(), 1);
}

TEST_F(SessionTest, CacheIsSharedWhenBothStreamsAreOn) {
    WaveDeviceEnv device("null");
    const std::string accomp = m_dir.Path("a.wav");
    WavBytes::Write(accomp, WavBytes::Make({}, std::vector<unsigned char>(200000, 1)));
    SessionSettings s = StartupSession();
    s.nCheckAccomp = 1;
    s.strAccompFile = accomp;
    s.nCheckRecord = 1;
    ASSERT_TRUE(StartSession(s, RecordTo(m_dir.Path("r.wav"))));
    EXPECT_EQ(PerformanceState.pAccompReader->m_nCacheSize, 32768u);
    EXPECT_EQ(PerformanceState.pRecordWriter->m_nCacheSize, 32768u);
    StopSession();

    s.nCheckRecord = 0;
    ASSERT_TRUE(StartSession(s, nullptr));
    EXPECT_EQ(PerformanceState.pAccompReader->m_nCacheSize, 65536u);
}

// How long the stop takes is measured by BM_StopWhileWaitingForAFreeBlock.
TEST_F(SessionTest, ClosingWhileWaitingForAFreeBlockEndsTheSession) {
    // Blocks of 5000 samples on a device that plays them in real time: the ring is full at once
    // and the thread waits for a block.
    WaveDeviceEnv device("null");
    SessionSettings s = StartupSession();
    s.texts.strBuffer = "10000";
    ASSERT_TRUE(StartSession(s, nullptr));
    EXPECT_EQ(PerformanceState.nBlockSamples, 5000);
    std::this_thread::sleep_for(std::chrono::milliseconds(200));
    PerformanceState.bRunning.store(0);
    // A limit far beyond the expected 110 ms: only a wait that never notices the stop fails.
    ASSERT_TRUE(WaitForThreadEnd(std::chrono::milliseconds(5000)));
    JoinAudioThread();
    EXPECT_TRUE(NothingHeld());
}

TEST_F(SessionTest, BoardClosedBeforeTheThreadRunsStillWaitsForIt) {
    WaveDeviceEnv device("null");
    ASSERT_TRUE(StartSession(StartupSession(), nullptr));
    // The thread counts as live from its creation on, whether or not it has run yet.
    EXPECT_EQ(PerformanceState.nActiveThreads.load(), 1);
    StopSession();
    EXPECT_TRUE(NothingHeld());
}

TEST_F(SessionTest, BufferOfOneGivesEmptyBlocksAndNoSound) {
    const std::string capture = m_dir.Path("capture.wav");
    WaveDeviceEnv device("capture:" + capture);
    SessionSettings s = StartupSession();
    s.texts.strBuffer = "1";
    ASSERT_TRUE(StartSession(s, nullptr));
    EXPECT_EQ(PerformanceState.nBlockSamples, 0);
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
    StopSession();
    SF_INFO info{};
    ReadSoundFile(capture, &info);
    EXPECT_EQ(info.frames, 0);
    EXPECT_EQ(info.samplerate, 44100);
}

TEST_F(SessionTest, CaptureDeviceHearsWhatTheRendererRenders) {
    const std::vector<GestureRow> rows = {{0, 0.3, 0.1, false, false},
                                          {3000, 0.6, 0.2, true, false},
                                          {7000, 0.1, 0.0, false, true},
                                          {11025, 0.1, 0.0, false, true}};
    std::vector<std::int16_t> rendered;
    ASSERT_TRUE(RenderSession(StartupSession(), rows, nullptr, rendered));
    ASSERT_EQ(rendered.size(), 11025u);

    // The same gesture on the paced capture device, kept running until all of it was played.
    const std::string capture = m_dir.Path("capture.wav");
    {
        WaveDeviceEnv device("capture:" + capture);
        static const std::vector<GestureRow>* s_pRows;
        s_pRows = &rows;
        SetAudioSampleHook([](std::uint64_t n) {
            for (const GestureRow& r : *s_pRows) {
                if (r.nSample == n) ApplyGestureRow(r);
            }
        });
        ASSERT_TRUE(StartSession(StartupSession(), nullptr));
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
        // The header's sizes are completed at close; until then the file's length tells.
        while (WavBytes::ReadFile(capture).size() < 44 + 2 * rendered.size() &&
               std::chrono::steady_clock::now() < deadline) {
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
        }
        StopSession();
        SetAudioSampleHook(nullptr);
    }
    const std::vector<float> played = ReadSoundFile(capture);
    ASSERT_GE(played.size(), rendered.size());
    for (std::size_t i = 0; i < rendered.size(); ++i) ASSERT_EQ(played[i], rendered[i]) << i;
}

TEST_F(SessionTest, FailedAccompanimentReadEndsTheSessionWithTheBoardStillUp) {
#if defined(__SANITIZE_THREAD__)
    // The fault is injected by replacing the reader's descriptor from this thread; the audio
    // thread then closes it, and ThreadSanitizer's model of descriptors sees no order between
    // the two. The other builds run this test.
    GTEST_SKIP() << "descriptor fault injection is outside ThreadSanitizer's model";
#endif
    WaveDeviceEnv device("null");
    const std::string accomp = m_dir.Path("long.wav");
    WavBytes::Write(accomp, WavBytes::Make({}, std::vector<unsigned char>(2000000, 3)));
    SessionSettings s = StartupSession();
    s.nCheckAccomp = 1;
    s.strAccompFile = accomp;
    ASSERT_TRUE(StartSession(s, nullptr));
    ASSERT_TRUE(RedirectOpenFile(accomp, m_dir.Root().c_str(), O_RDONLY | O_DIRECTORY));
    EXPECT_TRUE(WaitForThreadEnd(std::chrono::seconds(20)));
    EXPECT_EQ(PerformanceState.bRunning.load(), 1) << "the board is still up";
    const std::vector<std::string> m = m_messages.Messages();
    ASSERT_EQ(m.size(), 1u);
    EXPECT_NE(m[0].find("ファイルではなくフォルダです"), std::string::npos);
}

TEST_F(SessionTest, FailedRecordingStopsOnlyTheRecording) {
    WaveDeviceEnv device("null");
    const std::string rec = m_dir.Path("rec.wav");
    SessionSettings s = StartupSession();
    s.nCheckRecord = 1;
    ASSERT_TRUE(StartSession(s, RecordTo(rec)));
    ASSERT_TRUE(RedirectOpenFile(rec, "/dev/full", O_WRONLY));
    // The writer's thread fails at its first half (16384 samples, under a second of play).
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
    while (PerformanceState.pRecordWriter->GetState() != CWaveStream::StateFailed &&
           std::chrono::steady_clock::now() < deadline) {
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    EXPECT_EQ(PerformanceState.pRecordWriter->GetState(), CWaveStream::StateFailed);
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
    EXPECT_EQ(PerformanceState.nActiveThreads.load(), 1) << "the performance goes on";
    const std::vector<std::string> m = m_messages.Messages();
    ASSERT_EQ(m.size(), 1u);
    EXPECT_NE(m[0].find("ディスクの空き容量が足りません"), std::string::npos);
}

TEST_F(SessionTest, FloatRecordingKeepsPeaksTheOutputClips) {
    // Filter 2 at volume 300 takes the voice's 25600 peak far past full scale.
    CFirFilter f1, f2;
    SessionSettings s = StartupSession();
    s.fir = {1, &f1, &f2, 100, 300, 1, 0};
    s.texts.strModDepth = "0";
    s.nCheckRecord = 1;
    s.nRecordFormat = 1;
    const std::string rec = m_dir.Path("float.wav");
    std::vector<std::int16_t> out;
    ASSERT_TRUE(RenderSession(s, Hold(0.4, 0.0, 30000), RecordTo(rec), out));
    SF_INFO info{};
    const std::vector<float> r = ReadSoundFile(rec, &info);
    EXPECT_EQ(info.format, SF_FORMAT_WAV | SF_FORMAT_FLOAT);
    ASSERT_EQ(r.size(), out.size());
    EXPECT_GT(*std::max_element(r.begin(), r.end()), 2.0f);
    EXPECT_EQ(*std::max_element(out.begin(), out.end()), 32767);
    EXPECT_EQ(*std::min_element(out.begin(), out.end()), -32768);
    for (std::size_t i = 0; i < out.size(); ++i) {
        const double v = r[i] * 32768.0;
        const double clipped = std::clamp(v, -32768.0, 32767.0);
        ASSERT_NEAR(out[i], std::trunc(clipped), 1.0) << i;
    }
}

TEST_F(SessionTest, RecordingWithAndWithoutTheAccompaniment) {
    // A constant accompaniment of 10000 mixed half and half.
    const std::string accomp = m_dir.Path("c.wav");
    WavBytes::Write(accomp, WavBytes::Make({}, WavBytes::Int16(std::vector<int>(50000, 10000))));
    for (bool bRecordAccomp : {false, true}) {
        SessionSettings s = StartupSession();
        s.nCheckAccomp = 1;
        s.strAccompFile = accomp;
        s.nAccompRatio = 50;
        s.nCheckRecord = 1;
        s.bRecordAccomp = bRecordAccomp;
        s.nRecordFormat = 1;
        const std::string rec = m_dir.Path(bRecordAccomp ? "mix.wav" : "alone.wav");
        std::vector<std::int16_t> out;
        ASSERT_TRUE(RenderSession(s, Hold(0.5, 0.3, 20000), RecordTo(rec), out));
        const std::vector<float> r = ReadSoundFile(rec);
        ASSERT_EQ(r.size(), out.size());
        for (std::size_t i = 0; i < out.size(); ++i) {
            const double recorded = r[i] * 32768.0;
            // The output is the mix; the recording is the mix or the performance alone.
            const double mix = bRecordAccomp ? recorded : 0.5 * recorded + 0.5 * 10000;
            ASSERT_NEAR(out[i], std::trunc(mix), 1.0) << i << (bRecordAccomp ? " mix" : " alone");
        }
    }
}

TEST_F(SessionTest, AccompanimentAloneAtFullRatio) {
    const std::string accomp = m_dir.Path("steps.wav");
    std::vector<int> steps;
    for (int i = 0; i < 3000; ++i) steps.push_back((i * 37) % 20000 - 10000);
    WavBytes::Write(accomp, WavBytes::Make({}, WavBytes::Int16(steps)));
    SessionSettings s = StartupSession();
    s.nCheckAccomp = 1;
    s.strAccompFile = accomp;
    s.nAccompRatio = 100;
    std::vector<std::int16_t> out;
    ASSERT_TRUE(RenderSession(s, Hold(0.5, 0.0, 4000), nullptr, out));
    for (std::size_t i = 0; i < out.size(); ++i) ASSERT_EQ(out[i], i < steps.size() ? steps[i] : 0) << i;
}

TEST_F(SessionTest, SessionsAfterAFilterSessionStartClean) {
    CFirFilter f1, f2;
    SessionSettings s = StartupSession();
    s.fir = {1, &f1, &f2, 100, 100, 10, 50};
    std::vector<std::int16_t> first, again;
    ASSERT_TRUE(RenderSession(s, Hold(0.5, 0.1, 5000), nullptr, first));
    ASSERT_TRUE(RenderSession(s, Hold(0.5, 0.1, 5000), nullptr, again));
    EXPECT_EQ(first, again) << "nothing of a session, the delay line included, survives it";
}

TEST_F(SessionTest, ExceptionOnTheAudioThreadEndsTheSessionAndReleasesEverything) {
    // The render hook throws where the audio thread renders, as an allocation failure would.
    WaveDeviceEnv device("null");
    SessionSettings s = StartupSession();
    s.nCheckRecord = 1;
    const std::string rec = m_dir.Path("rec.wav");
    testing::internal::CaptureStderr();
    SetAudioSampleHook([](std::uint64_t n) {
        if (n == 3000) throw std::bad_alloc();
    });
    ASSERT_TRUE(StartSession(s, RecordTo(rec)));
    const bool bEnded = WaitForThreadEnd(std::chrono::seconds(10));
    SetAudioSampleHook(nullptr);
    const std::string err = testing::internal::GetCapturedStderr();
    ASSERT_TRUE(bEnded) << "the thread count must come down";
    EXPECT_EQ(PerformanceState.bRunning.load(), 1) << "the board is still up";
    JoinAudioThread();
    EXPECT_TRUE(NothingHeld());
    EXPECT_NE(err.find("aerolyre: the play session ended on an internal error"), std::string::npos) << err;
    // The recording was completed by the teardown: a valid file of the samples before the fault.
    const std::vector<unsigned char> bytes = WavBytes::ReadFile(rec);
    ASSERT_GE(bytes.size(), 44u);
    EXPECT_EQ(WavBytes::U32At(bytes, 40), bytes.size() - 44);
    EXPECT_EQ(bytes.size() - 44, 2u * 3000);
}

TEST_F(SessionTest, NamedPipeAsAccompanimentIsRefusedWithoutHanging) {
    WaveDeviceEnv device("null");
    const std::string fifo = m_dir.Path("pipe.wav");
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    SessionSettings s = StartupSession();
    s.nCheckAccomp = 1;
    s.strAccompFile = fifo;
    EXPECT_FALSE(StartSession(s, nullptr));
    EXPECT_TRUE(NothingHeld());
    const std::vector<std::string> m = m_messages.Messages();
    ASSERT_EQ(m.size(), 2u);
    EXPECT_EQ(m[0], fifo + ": 通常のファイルではありません");
}
