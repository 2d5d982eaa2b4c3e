// The bounded call that stands between the program and a sound server that may never answer.
#include "platform/bounded_call.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <memory>
#include <thread>

using namespace std::chrono_literals;

TEST(BoundedCall, ACallThatReturnsIsWaitedForAndOneThatHangsIsLeftBehind) {
    int nValue = 0;
    EXPECT_TRUE(CallWithTimeLimit([&] { nValue = 42; }, 5000ms));
    EXPECT_EQ(nValue, 42) << "the call's effects are visible once it returned";

    // A call held until the test releases it, as a close inside a dead server would be.
    auto pRelease = std::make_shared<std::atomic<bool>>(false);
    auto pFinished = std::make_shared<std::atomic<bool>>(false);
    EXPECT_FALSE(CallWithTimeLimit(
        [pRelease, pFinished] {
            while (!pRelease->load()) std::this_thread::sleep_for(1ms);
            pFinished->store(true);
        },
        50ms));
    // The thread left behind still runs safely after the caller has gone on.
    pRelease->store(true);
    for (int i = 0; i < 5000 && !pFinished->load(); ++i) std::this_thread::sleep_for(1ms);
    EXPECT_TRUE(pFinished->load());
}
