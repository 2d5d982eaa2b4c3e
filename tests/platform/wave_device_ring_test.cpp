// The block ring's two consumer cursors: a device that copies ahead and hands blocks back only
// later, as the sound devices' feeder does, and a reset that returns everything in between.
#include <gtest/gtest.h>

#include <vector>

#include "platform/wave_device.h"

namespace {

struct RingOnly final : WaveOutDevice {
    bool StartConsumer() override { return true; }
    void StopConsumer() override {}
};

int g_nDone = 0;
void CountDone(HWAVEOUT, UINT uMsg, DWORD_PTR, DWORD_PTR, DWORD_PTR) {
    if (uMsg == WOM_DONE) ++g_nDone;
}

}  // namespace

TEST(WaveDeviceRing, CopyingAheadHandsBackNothingUntilTheHeadIsFinished) {
    RingOnly ring;
    ring.pfnCallback = &CountDone;
    g_nDone = 0;
    std::vector<std::int16_t> a{1, 2, 3}, b{4, 5};
    WAVEHDR ha{}, hb{};
    ha.lpData = reinterpret_cast<char*>(a.data());
    ha.dwBufferLength = 6;
    hb.lpData = reinterpret_cast<char*>(b.data());
    hb.dwBufferLength = 4;
    ASSERT_TRUE(ring.Push(&ha));
    ASSERT_TRUE(ring.Push(&hb));

    std::int16_t out[8] = {};
    EXPECT_EQ(ring.CopiedHeadLength(), 0u) << "nothing copied yet";
    EXPECT_EQ(ring.CopyAhead(out, 2), 2u);
    EXPECT_EQ(ring.CopiedHeadLength(), 0u) << "the head is only partly copied";
    // A piece never crosses into the next block.
    EXPECT_EQ(ring.CopyAhead(out + 2, 8), 1u);
    EXPECT_EQ(ring.CopiedHeadLength(), 3u);
    EXPECT_EQ(ring.CopyAhead(out + 3, 8), 2u);
    EXPECT_EQ(ring.CopyAhead(out + 5, 8), 0u) << "everything queued is copied";
    EXPECT_EQ(std::vector<std::int16_t>(out, out + 5), (std::vector<std::int16_t>{1, 2, 3, 4, 5}));
    EXPECT_EQ(g_nDone, 0) << "copying hands nothing back";

    ring.FinishHead();
    EXPECT_EQ(g_nDone, 1);
    EXPECT_EQ(ring.CopiedHeadLength(), 2u);
    ring.FinishHead();
    EXPECT_EQ(ring.Head(), nullptr);
    EXPECT_EQ(ring.CopiedHeadLength(), 0u);
}

TEST(WaveDeviceRing, AResetPastTheCopyCursorStartsCopyingAtTheNextQueuedBlock) {
    RingOnly ring;
    std::vector<std::int16_t> a{1, 2}, b{3, 4}, c{5, 6};
    WAVEHDR ha{}, hb{}, hc{};
    for (auto [h, v] : {std::pair{&ha, &a}, std::pair{&hb, &b}, std::pair{&hc, &c}}) {
        h->lpData = reinterpret_cast<char*>(v->data());
        h->dwBufferLength = 4;
    }
    ring.Push(&ha);
    ring.Push(&hb);
    std::int16_t out[4] = {};
    ASSERT_EQ(ring.CopyAhead(out, 1), 1u);
    // A reset returns both blocks, the half-copied one and the uncopied one.
    while (ring.Head() != nullptr) ring.FinishHead();
    ring.Push(&hc);
    ASSERT_EQ(ring.CopyAhead(out, 4), 2u);
    EXPECT_EQ(out[0], 5);
    EXPECT_EQ(out[1], 6);
}
