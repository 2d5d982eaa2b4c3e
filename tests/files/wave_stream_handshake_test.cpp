// The cache-half hand-over between the audio thread and a stream's I/O thread, under schedules a
// quiet machine seldom produces: the audio thread held just after it leaves a half until the I/O
// thread has serviced that half (the order in which an I/O thread could once take the next half
// before it was filled), and both streams together with random holds beside busy cores. Only the
// bytes can tell: every access is atomic, so ThreadSanitizer sees nothing wrong either way.
#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstring>
#include <random>
#include <thread>
#include <vector>

#include "files/wave_file.h"
#include "files/wave_stream.h"
#include "tests/support/message_recorder.h"
#include "tests/support/sample_pattern.h"
#include "tests/support/temp_dir.h"
#include "tests/support/wav_builder.h"

namespace {

using namespace std::chrono_literals;

// 128-byte halves: 64 16-bit samples, so a short run crosses the boundary many times.
constexpr DWORD kCache = 256;
constexpr std::size_t kHalfSamples = kCache / 2 / 2;

// Holds the audio thread at its k-th boundary until the I/O thread has serviced half k, which
// flips m_nHalf, or the stream has ended; bounded, so a stream that never services it still ends
// the test.
struct HoldUntilServiced {
    int nBoundary = 0;
    int nTimeouts = 0;
    static void Pause(CWaveStream& stream, void* pContext) {
        auto* self = static_cast<HoldUntilServiced*>(pContext);
        const int nWanted = (self->nBoundary + 1) % 2;
        ++self->nBoundary;
        const auto until = std::chrono::steady_clock::now() + 500ms;
        while (stream.m_nHalf.load() != nWanted && stream.GetState() == CWaveStream::StateStreaming) {
            if (std::chrono::steady_clock::now() > until) {
                ++self->nTimeouts;
                return;
            }
            std::this_thread::sleep_for(100us);
        }
        // Time for an I/O thread that went on to the next half to do so.
        std::this_thread::sleep_for(3ms);
    }
};

// Busy cores beside the test, so the I/O threads are preempted at arbitrary points.
class CpuHogs {
public:
    explicit CpuHogs(int n) {
        for (int i = 0; i < n; ++i) {
            m_threads.emplace_back([this] {
                volatile unsigned long x = 0;
                while (!m_bStop.load(std::memory_order_relaxed)) x = x + 1;
            });
        }
    }
    ~CpuHogs() {
        m_bStop.store(true);
        for (auto& t : m_threads) t.join();
    }
    CpuHogs(const CpuHogs&) = delete;
    CpuHogs& operator=(const CpuHogs&) = delete;

private:
    std::atomic<bool> m_bStop{false};
    std::vector<std::thread> m_threads;
};

// A random hold of up to 200 µs at a boundary, or none.
struct RandomHold {
    std::minstd_rand rng;
    static void Pause(CWaveStream&, void* pContext) {
        auto& r = static_cast<RandomHold*>(pContext)->rng;
        const unsigned n = r() % 4;
        if (n == 0) return;
        if (n == 1) {
            std::this_thread::yield();
        } else {
            std::this_thread::sleep_for(std::chrono::microseconds(r() % 200));
        }
    }
};

class WaveStreamHandshakeTest : public ::testing::Test {
protected:
    // The recording's samples, or an empty list with a failure when its layout is wrong.
    std::vector<std::int16_t> RecordedSamples(const std::string& path, std::size_t nExpected) {
        const std::vector<unsigned char> bytes = WavBytes::ReadFile(path);
        EXPECT_EQ(bytes.size(), 44 + 2 * nExpected);
        EXPECT_EQ(WavBytes::U32At(bytes, 40), 2 * nExpected);
        if (bytes.size() < 44) return {};
        std::vector<std::int16_t> v((bytes.size() - 44) / 2);
        std::memcpy(v.data(), bytes.data() + 44, 2 * v.size());
        return v;
    }

    TempDir m_dir;
    MessageRecorder m_messages;
};

}  // namespace

TEST_F(WaveStreamHandshakeTest, WriterHeldAtEachBoundaryWritesEveryHalfOnceInOrder) {
    const std::size_t n = 40 * kHalfSamples + 17;
    const std::string path = m_dir.Path("rec.wav");
    HoldUntilServiced hold;
    {
        CWaveStream w;
        ASSERT_TRUE(w.OpenWrite(path, kCache, kRecordInt16));
        w.SetPausePointForTesting(&HoldUntilServiced::Pause, &hold);
        for (std::size_t i = 0; i < n; ++i) w.WriteSample(Pattern(i));
    }
    EXPECT_EQ(hold.nBoundary, 40);
    EXPECT_EQ(hold.nTimeouts, 0);
    const std::vector<std::int16_t> got = RecordedSamples(path, n);
    for (std::size_t i = 0; i < got.size(); ++i) ASSERT_EQ(got[i], Pattern(i)) << i;
}

TEST_F(WaveStreamHandshakeTest, ReaderHeldAtEachBoundaryPlaysEveryFrameInOrder) {
    const std::size_t n = 40 * kHalfSamples + 17;
    const std::string path = m_dir.Path("accomp.wav");
    WavBytes::Write(path, WavBytes::Make({}, PatternData16(n)));
    HoldUntilServiced hold;
    CWaveStream r;
    ASSERT_TRUE(r.OpenRead(path, kCache, false));
    ASSERT_EQ(r.GetState(), CWaveStream::StateStreaming);
    r.SetPausePointForTesting(&HoldUntilServiced::Pause, &hold);
    for (std::size_t i = 0; i < n; ++i) ASSERT_EQ(r.ReadSample(), Pattern(i)) << i;
    for (int i = 0; i < 1000; ++i) ASSERT_EQ(r.ReadSample(), 0) << i;
    EXPECT_EQ(hold.nTimeouts, 0);
}

TEST_F(WaveStreamHandshakeTest, ReaderAndWriterTogetherUnderLoadKeepEverySample) {
    // As the audio thread runs them: one sample of each per output sample, here with random holds
    // at every boundary and two cores kept busy, for several tiny caches.
    CpuHogs hogs(2);
    for (DWORD dwCache : {16u, 64u, 1000u}) {
        // The I/O threads poll every millisecond, so each boundary can cost one: about 1500.
        const std::size_t n = std::max<std::size_t>(3000, 8 * dwCache);
        const std::string accomp = m_dir.Path("accomp.wav"), rec = m_dir.Path("rec.wav");
        WavBytes::Write(accomp, WavBytes::Make({}, PatternData16(n)));
        RandomHold readHold{std::minstd_rand(dwCache)}, writeHold{std::minstd_rand(dwCache + 1)};
        {
            CWaveStream r, w;
            ASSERT_TRUE(r.OpenRead(accomp, dwCache, true));
            ASSERT_TRUE(w.OpenWrite(rec, dwCache, kRecordInt16));
            r.SetPausePointForTesting(&RandomHold::Pause, &readHold);
            w.SetPausePointForTesting(&RandomHold::Pause, &writeHold);
            // Twice through the looped accompaniment, recorded as it plays.
            for (std::size_t i = 0; i < 2 * n; ++i) {
                const std::int16_t a = r.ReadSample();
                ASSERT_EQ(a, Pattern(i % n)) << dwCache << " " << i;
                w.WriteSample(a);
            }
        }
        const std::vector<std::int16_t> got = RecordedSamples(rec, 2 * n);
        for (std::size_t i = 0; i < got.size(); ++i) ASSERT_EQ(got[i], Pattern(i % n)) << dwCache << " " << i;
    }
    EXPECT_TRUE(m_messages.Messages().empty());
}
