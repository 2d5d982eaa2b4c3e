// The immediate device of the render tool.
#include "platform/wave_device.h"

namespace {

// Hands every block to the sink the moment it is queued (the render tool's device).
class CImmediateDevice final : public WaveOutDevice {
public:
    explicit CImmediateDevice(WaveBlockSink sink) : m_sink(std::move(sink)) {}
    bool StartConsumer() override { return true; }
    void StopConsumer() override {}
    void Queued() override {
        while (WAVEHDR* pwh = Head()) {
            m_sink(reinterpret_cast<const std::int16_t*>(pwh->lpData), pwh->dwBufferLength / 2);
            FinishHead();
        }
    }

private:
    WaveBlockSink m_sink;
};

}  // namespace

std::unique_ptr<WaveOutDevice> OpenImmediateDevice(const WaveBlockSink& sink) {
    return std::make_unique<CImmediateDevice>(sink);
}
