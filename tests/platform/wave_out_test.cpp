// The wave-output layer: the paced devices, reset, and PortAudio through ALSA's file device.
#include "platform/wave_out.h"

#include <gtest/gtest.h>
#include <sndfile.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstring>
#include <fstream>
#include <functional>
#include <thread>

#include "engine/audio_thread.h"
#include "tests/support/message_recorder.h"
#include "tests/support/session_support.h"
#include "tests/support/sound_file.h"
#include "tests/support/temp_dir.h"
#include "tests/support/wav_builder.h"

namespace {

std::atomic<int> g_nDone{0};
std::atomic<int> g_nClose{0};

void CountingCallback(HWAVEOUT, UINT uMsg, DWORD_PTR, DWORD_PTR dwParam1, DWORD_PTR) {
    if (uMsg == WOM_DONE) {
        reinterpret_cast<WAVEHDR*>(dwParam1)->dwUser.store(0);
        ++g_nDone;
    }
    if (uMsg == WOM_CLOSE) ++g_nClose;
}

const WAVEFORMATEX kFormat{WAVE_FORMAT_PCM, 1, 44100, 88200, 2, 16, 0};

MMRESULT Open(HWAVEOUT& hwo) {
    g_nDone = 0;
    g_nClose = 0;
    return waveOutOpen(&hwo, WAVE_MAPPER, &kFormat, reinterpret_cast<DWORD_PTR>(&CountingCallback), 0,
                       CALLBACK_FUNCTION);
}

// What a function printed on stderr.
std::string StderrOf(const std::function<void()>& f) {
    TempDir dir;
    const std::string path = dir.Path("stderr.txt");
    std::fflush(stderr);
    const int saved = ::dup(STDERR_FILENO);
    FILE* err = std::fopen(path.c_str(), "w");
    ::dup2(::fileno(err), STDERR_FILENO);
    f();
    std::fflush(stderr);
    ::dup2(saved, STDERR_FILENO);
    ::close(saved);
    std::fclose(err);
    std::ifstream in(path);
    return std::string((std::istreambuf_iterator<char>(in)), {});
}

// An ALSA configuration whose default device writes every played sample to a raw file, as fast
// as it is fed; it runs dry between blocks.
class AlsaFileDevice {
public:
    AlsaFileDevice() {
        std::ofstream(m_dir.Path("asound.conf"))
            << "pcm.!default { type file; slave.pcm { type null }; file \"" << m_dir.Path("played.raw")
            << "\"; format \"raw\" }\n";
        ::setenv("ALSA_CONFIG_PATH", m_dir.Path("asound.conf").c_str(), 1);
        ::unsetenv("AEROLYRE_WAVE_DEVICE");
    }
    ~AlsaFileDevice() { ::unsetenv("ALSA_CONFIG_PATH"); }
    std::string Raw() { return m_dir.Path("played.raw"); }

private:
    TempDir m_dir;
};

void Queue(HWAVEOUT hwo, WAVEHDR& hdr, std::vector<std::int16_t>& samples) {
    ZeroWaveHeader(hdr);
    hdr.lpData = reinterpret_cast<char*>(samples.data());
    hdr.dwBufferLength = static_cast<DWORD>(2 * samples.size());
    hdr.dwUser.store(1);
    ASSERT_EQ(waveOutPrepareHeader(hwo, &hdr, sizeof hdr), MMSYSERR_NOERROR);
    ASSERT_EQ(waveOutWrite(hwo, &hdr, sizeof hdr), MMSYSERR_NOERROR);
}

}  // namespace

TEST(WaveOut, RefusesFormatsOtherThan16BitMono44k) {
    WaveDeviceEnv device("null");
    HWAVEOUT hwo = nullptr;
    WAVEFORMATEX stereo = kFormat;
    stereo.nChannels = 2;
    EXPECT_EQ(waveOutOpen(&hwo, WAVE_MAPPER, &stereo, 0, 0, 0), WAVERR_BADFORMAT);
    EXPECT_EQ(hwo, nullptr);
    EXPECT_EQ(waveOutOpen(&hwo, 3, &kFormat, 0, 0, 0), MMSYSERR_BADDEVICEID);
}

TEST(WaveOut, NullDevicePlaysAtThePaceOfTheSamples) {
    WaveDeviceEnv device("null");
    HWAVEOUT hwo = nullptr;
    ASSERT_EQ(Open(hwo), MMSYSERR_NOERROR);
    std::vector<std::int16_t> a(4410, 1), b(4410, 2);  // 100 ms each
    WAVEHDR ha, hb;
    const auto t0 = std::chrono::steady_clock::now();
    Queue(hwo, ha, a);
    Queue(hwo, hb, b);
    while (hb.dwUser.load() != 0) std::this_thread::sleep_for(std::chrono::milliseconds(1));
    const auto ms =
        std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - t0);
    EXPECT_GE(ms.count(), 190);
    EXPECT_EQ(g_nDone.load(), 2);
    EXPECT_TRUE(ha.dwFlags & WHDR_DONE);
    EXPECT_FALSE(ha.dwFlags & WHDR_INQUEUE);
    EXPECT_EQ(waveOutClose(hwo), MMSYSERR_NOERROR);
    EXPECT_EQ(g_nClose.load(), 1);
}

TEST(WaveOut, ResetReturnsEveryQueuedBlock) {
    WaveDeviceEnv device("null");
    HWAVEOUT hwo = nullptr;
    ASSERT_EQ(Open(hwo), MMSYSERR_NOERROR);
    std::vector<std::vector<std::int16_t>> blocks(16, std::vector<std::int16_t>(44100, 7));
    WAVEHDR hdrs[16];
    for (int k = 0; k < 16; ++k) Queue(hwo, hdrs[k], blocks[k]);
    EXPECT_EQ(waveOutClose(hwo), WAVERR_STILLPLAYING);
    EXPECT_EQ(waveOutUnprepareHeader(hwo, &hdrs[15], sizeof(WAVEHDR)), WAVERR_STILLPLAYING);
    ASSERT_EQ(waveOutReset(hwo), MMSYSERR_NOERROR);
    EXPECT_EQ(g_nDone.load(), 16);
    for (WAVEHDR& h : hdrs) {
        EXPECT_EQ(h.dwUser.load(), 0u);
        EXPECT_EQ(waveOutUnprepareHeader(hwo, &h, sizeof h), MMSYSERR_NOERROR);
    }
    EXPECT_EQ(waveOutClose(hwo), MMSYSERR_NOERROR);
}

TEST(WaveOut, CaptureAppendsEveryPlayedSampleAcrossOpens) {
    TempDir dir;
    const std::string path = dir.Path("cap.wav");
    WaveDeviceEnv device("capture:" + path);
    std::vector<std::int16_t> expected;
    for (int session = 0; session < 2; ++session) {
        HWAVEOUT hwo = nullptr;
        ASSERT_EQ(Open(hwo), MMSYSERR_NOERROR);
        std::vector<std::int16_t> a(300), b(7);
        for (std::size_t i = 0; i < a.size(); ++i) a[i] = static_cast<std::int16_t>(session * 1000 + i);
        for (std::size_t i = 0; i < b.size(); ++i) b[i] = static_cast<std::int16_t>(-1 - static_cast<int>(i));
        WAVEHDR ha, hb;
        Queue(hwo, ha, a);
        Queue(hwo, hb, b);
        while (hb.dwUser.load() != 0) std::this_thread::sleep_for(std::chrono::milliseconds(1));
        expected.insert(expected.end(), a.begin(), a.end());
        expected.insert(expected.end(), b.begin(), b.end());
        ASSERT_EQ(waveOutClose(hwo), MMSYSERR_NOERROR);
    }
    const std::vector<float> got = ReadSoundFile(path);
    EXPECT_EQ(got, std::vector<float>(expected.begin(), expected.end()));
}

TEST(WaveOut, NoSoundCardFailsWithOneLineNamingTheDeviceAndTheReason) {
    // An ALSA configuration without any device, and no JACK server.
    TempDir dir;
    const std::string conf = dir.Path("asound.conf");
    std::ofstream(conf) << "pcm.!default { type hw; card 99 }\n";
    ::setenv("ALSA_CONFIG_PATH", conf.c_str(), 1);
    ::unsetenv("AEROLYRE_WAVE_DEVICE");
    ::setenv("JACK_DEFAULT_SERVER", "aerolyre-no-such-server", 1);

    HWAVEOUT hwo = nullptr;
    MMRESULT r = MMSYSERR_NOERROR;
    const std::string text = StderrOf([&] { r = Open(hwo); });
    EXPECT_NE(r, MMSYSERR_NOERROR);
    EXPECT_EQ(hwo, nullptr);
    // One line of ours; the libraries' own diagnostics never reach the terminal.
    EXPECT_EQ(std::count(text.begin(), text.end(), '\n'), 1) << text;
    EXPECT_EQ(text.rfind("aerolyre: cannot open the sound device \"default\": ", 0), 0u) << text;
    EXPECT_GT(text.size(), std::string("aerolyre: cannot open the sound device \"default\": \n").size())
        << text;

    // Named devices that are not there say why.
    for (const auto& [name, reason] : std::vector<std::pair<std::string, std::string>>{
             {"jack", "no JACK server is running"},
             {"alsa:no such card", "no output device of that name"},
             {"pulse", "no such device"}}) {
        ::setenv("AEROLYRE_WAVE_DEVICE", name.c_str(), 1);
        const std::string line = StderrOf([&] { r = Open(hwo); });
        EXPECT_EQ(r, MMSYSERR_NODRIVER) << name;
        EXPECT_EQ(line.rfind("aerolyre: cannot open the sound device \"" + name + "\": " + reason, 0), 0u)
            << line;
    }
    ::unsetenv("AEROLYRE_WAVE_DEVICE");
    ::unsetenv("JACK_DEFAULT_SERVER");
    ::unsetenv("ALSA_CONFIG_PATH");
}

TEST(WaveOut, DeviceListEndsWithNullAndNamesTheAlsaDefault) {
    AlsaFileDevice alsa;
    ::setenv("JACK_DEFAULT_SERVER", "aerolyre-no-such-server", 1);
    std::vector<std::string> names;
    StderrOf([&] { names = ListWaveOutDevices(); });
    ::unsetenv("JACK_DEFAULT_SERVER");
    ASSERT_GE(names.size(), 2u);
    EXPECT_EQ(names.front(), "alsa");
    EXPECT_EQ(names.back(), "null");
    EXPECT_EQ(std::count(names.begin(), names.end(), "jack"), 0) << "no server runs";
}

TEST(WaveOut, UnderrunsCountOnlyADryDeviceThatGetsMoreSamples) {
    AlsaFileDevice alsa;
    ::setenv("AEROLYRE_WAVE_DEVICE", "alsa", 1);
    std::vector<std::int16_t> a(441, 5), b(441, 6), whole(882, 7);
    WAVEHDR ha, hb;

    // A block played, then the device runs dry until it closes: the end is no underrun. (One
    // block: this device drains faster than anything can feed it, so between two blocks it may
    // well run dry, and would rightly count it.)
    HWAVEOUT hwo = nullptr;
    ASSERT_EQ(Open(hwo), MMSYSERR_NOERROR);
    Queue(hwo, ha, whole);
    while (ha.dwUser.load() != 0) std::this_thread::sleep_for(std::chrono::milliseconds(1));
    std::this_thread::sleep_for(std::chrono::milliseconds(30));
    ASSERT_EQ(waveOutClose(hwo), MMSYSERR_NOERROR);
    const std::string clean = TakeWaveOutReport();
    EXPECT_EQ(clean.rfind("sound device \"alsa\" at 44100 Hz: 0 underruns (0 ran dry, 0 reported by the "
                          "device), latency ",
                          0),
              0u)
        << clean;
    EXPECT_EQ(TakeWaveOutReport(), "") << "taken once";

    // A gap between two blocks, while this device drains as fast as it can: underruns.
    ASSERT_EQ(Open(hwo), MMSYSERR_NOERROR);
    Queue(hwo, ha, a);
    while (ha.dwUser.load() != 0) std::this_thread::sleep_for(std::chrono::milliseconds(1));
    std::this_thread::sleep_for(std::chrono::milliseconds(30));
    Queue(hwo, hb, b);
    while (hb.dwUser.load() != 0) std::this_thread::sleep_for(std::chrono::milliseconds(1));
    ASSERT_EQ(waveOutClose(hwo), MMSYSERR_NOERROR);
    const std::string report = TakeWaveOutReport();
    EXPECT_EQ(report.rfind("sound device \"alsa\" at 44100 Hz: ", 0), 0u) << report;
    EXPECT_EQ(report.find(": 0 underruns"), std::string::npos) << report;
    ::unsetenv("AEROLYRE_WAVE_DEVICE");
}

TEST(WaveOut, PortAudioThroughAlsaFileDeviceLosesNothing) {
    // ALSA's file plugin as the default device: every sample PortAudio plays lands in a raw file.
    TempDir dir;
    const std::string raw = dir.Path("played.raw");
    const std::string conf = dir.Path("asound.conf");
    std::ofstream(conf) << "pcm.!default { type file; slave.pcm { type null }; file \"" << raw
                        << "\"; format \"raw\" }\n";
    ::setenv("ALSA_CONFIG_PATH", conf.c_str(), 1);
    ::unsetenv("AEROLYRE_WAVE_DEVICE");
    MessageRecorder messages;

    const std::vector<GestureRow> rows = {
        {0, 0.4, 0.1, false, false}, {20000, 0.7, 0.0, false, true}, {40000, 0.7, 0.0, false, true}};
    std::vector<std::int16_t> rendered;
    ASSERT_TRUE(RenderSession(StartupSession(), rows, nullptr, rendered));

    // The same gesture through PortAudio; the session renders past the script, then stops.
    static const std::vector<GestureRow>* s_pRows;
    s_pRows = &rows;
    SetAudioSampleHook([](std::uint64_t n) {
        for (const GestureRow& r : *s_pRows) {
            if (r.nSample == n) ApplyGestureRow(r);
        }
        if (n == 120000) PerformanceState.bRunning.store(0);
    });
    ASSERT_TRUE(StartSession(StartupSession(), nullptr))
        << (messages.Messages().empty() ? "" : messages.Messages()[0]);
    ASSERT_TRUE(WaitForThreadEnd(std::chrono::seconds(30)));
    JoinAudioThread();
    SetAudioSampleHook(nullptr);
    ::unsetenv("ALSA_CONFIG_PATH");

    const std::vector<unsigned char> bytes = WavBytes::ReadFile(raw);
    std::vector<std::int16_t> played(bytes.size() / 2);
    std::memcpy(played.data(), bytes.data(), played.size() * 2);
    // ALSA's file device is not paced, so PortAudio drains the queue faster than it is filled and
    // plays silence whenever it runs dry: before the first block and between blocks, never inside
    // one. Every block of the performance must arrive whole, in order, none lost or repeated.
    const std::size_t nBlock = PerformanceState.nBlockSamples;
    ASSERT_EQ(nBlock, 200u);
    std::size_t p = 0;
    for (std::size_t i = 0; i < rendered.size(); i += nBlock) {
        // Gap silence can only be told from the performance where the block starts non-zero.
        if (rendered[i] != 0) {
            while (p < played.size() && played[p] == 0) ++p;
        }
        for (std::size_t j = i; j < std::min(i + nBlock, rendered.size()); ++j, ++p) {
            ASSERT_LT(p, played.size()) << "sample " << j << " never arrived";
            ASSERT_EQ(played[p], rendered[j]) << "sample " << j;
        }
    }
}
