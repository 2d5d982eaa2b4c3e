// Silencing the sound libraries' stderr chatter must never silence the program's own lines, nor
// leave stderr pointing nowhere when two threads' windows close out of order.
#include "platform/quiet_stderr.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <memory>
#include <thread>

TEST(QuietStderr, OwnLinesGetThroughAndOverlappingWindowsRestoreStderr) {
    testing::internal::CaptureStderr();
    {
        CQuietStderr quiet;
        std::fprintf(stderr, "library chatter\n");
        // Another thread's log line during the window.
        std::thread([] { LogLine("a line of ours"); }).join();
    }
    // Windows of two threads, closed in the order they were not opened in.
    auto pFirst = std::make_unique<CQuietStderr>();
    auto pSecond = std::make_unique<CQuietStderr>();
    pFirst.reset();
    std::fprintf(stderr, "still quiet\n");
    pSecond.reset();
    std::fprintf(stderr, "heard again\n");
    const std::string err = testing::internal::GetCapturedStderr();
    EXPECT_EQ(err, "aerolyre: a line of ours\nheard again\n");
}
