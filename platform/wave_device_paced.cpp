// The paced devices that play nothing: null consumes blocks at the 44100 Hz pace and discards them;
// capture does the same and appends every played sample to a WAV file.
#include <chrono>
#include <cstdio>
#include <thread>

#include "platform/sample_scale.h"
#include "platform/wave_device.h"

namespace {

constexpr int kRate = kSampleRate;

// A WAV file that the capture device appends played samples to, across sessions.
class CCaptureFile {
public:
    bool Open(const std::string& path) {
        m_pFile = std::fopen(path.c_str(), "r+b");
        if (m_pFile != nullptr) {
            // An existing capture: append after its samples.
            if (std::fseek(m_pFile, 0, SEEK_END) == 0 && std::ftell(m_pFile) >= kHeader) return true;
            std::fclose(m_pFile);
        }
        m_pFile = std::fopen(path.c_str(), "w+b");
        if (m_pFile == nullptr) return false;
        unsigned char h[kHeader] = {'R', 'I', 'F',  'F',  0,   0,   0,    0,    'W', 'A', 'V',
                                    'E', 'f', 'm',  't',  ' ', 16,  0,    0,    0,   1,   0,
                                    1,   0,   0x44, 0xAC, 0,   0,   0x88, 0x58, 1,   0,   2,
                                    0,   16,  0,    'd',  'a', 't', 'a',  0,    0,   0,   0};
        return std::fwrite(h, 1, kHeader, m_pFile) == kHeader;
    }
    void Append(const std::int16_t* p, std::size_t n) {
        if (m_pFile != nullptr) std::fwrite(p, sizeof *p, n, m_pFile);
    }
    // Completes the RIFF and data sizes from the length written.
    void Close() {
        if (m_pFile == nullptr) return;
        std::fseek(m_pFile, 0, SEEK_END);
        const auto nLength = static_cast<std::uint32_t>(std::ftell(m_pFile));
        PutSize(4, nLength - 8);
        PutSize(40, nLength - kHeader);
        std::fclose(m_pFile);
        m_pFile = nullptr;
    }

private:
    static constexpr long kHeader = 44;
    void PutSize(long at, std::uint32_t v) {
        const unsigned char b[4] = {static_cast<unsigned char>(v), static_cast<unsigned char>(v >> 8),
                                    static_cast<unsigned char>(v >> 16), static_cast<unsigned char>(v >> 24)};
        std::fseek(m_pFile, at, SEEK_SET);
        std::fwrite(b, 1, 4, m_pFile);
    }
    std::FILE* m_pFile = nullptr;
};

class CPacedDevice final : public WaveOutDevice {
public:
    bool OpenCapture(const std::string& path) {
        m_bCapture = true;
        return m_capture.Open(path);
    }
    ~CPacedDevice() override {
        StopConsumer();
        if (m_bCapture) m_capture.Close();
    }

    bool StartConsumer() override {
        if (!m_pacer.joinable()) {
            m_bStop.store(false, std::memory_order_release);
            m_pacer = std::thread([this] { Pace(); });
        }
        return true;
    }

    void StopConsumer() override {
        if (m_pacer.joinable()) {
            m_bStop.store(true, std::memory_order_release);
            m_pacer.join();
        }
    }

private:
    // Plays each block for as long as its samples last at 44100 Hz.
    void Pace() {
        using Clock = std::chrono::steady_clock;
        auto next = Clock::now();
        while (!m_bStop.load(std::memory_order_acquire)) {
            WAVEHDR* pwh = Head();
            if (pwh == nullptr) {
                std::this_thread::sleep_for(std::chrono::milliseconds(1));
                next = Clock::now();  // a dry queue plays silence; no debt is carried over
                continue;
            }
            const std::size_t nBlock = pwh->dwBufferLength / 2;
            next += std::chrono::microseconds(nBlock * 1000000 / kRate);
            // Empty blocks still take a moment, as a real device's period would.
            if (nBlock == 0) next += std::chrono::milliseconds(1);
            std::this_thread::sleep_until(next);
            if (m_bCapture) m_capture.Append(reinterpret_cast<const std::int16_t*>(pwh->lpData), nBlock);
            FinishHead();
        }
    }

    std::thread m_pacer;
    std::atomic<bool> m_bStop{false};
    bool m_bCapture = false;
    CCaptureFile m_capture;
};

}  // namespace

std::unique_ptr<WaveOutDevice> OpenPacedDevice(const std::string* pCapturePath, std::string& strError) {
    auto pDevice = std::make_unique<CPacedDevice>();
    if (pCapturePath != nullptr && !pDevice->OpenCapture(*pCapturePath)) {
        strError = "cannot write the capture file \"" + *pCapturePath + "\"";
        return nullptr;
    }
    return pDevice;
}
