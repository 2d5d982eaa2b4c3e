// The bounded call: a detached thread and a shared flag it raises when done.
#include "platform/bounded_call.h"

#include <condition_variable>
#include <memory>
#include <mutex>
#include <system_error>
#include <thread>

namespace {

struct CallState {
    std::mutex mutex;
    std::condition_variable done;
    bool bDone = false;
};

}  // namespace

bool CallWithTimeLimit(std::function<void()> fn, std::chrono::milliseconds limit) {
    // Shared, so a thread left behind still has its flag when the caller has long gone.
    auto pState = std::make_shared<CallState>();
    try {
        std::thread([pState, fn = std::move(fn)] {
            fn();
            const std::lock_guard<std::mutex> lock(pState->mutex);
            pState->bDone = true;
            pState->done.notify_all();
        }).detach();
    } catch (const std::system_error&) {
        return false;
    }
    std::unique_lock<std::mutex> lock(pState->mutex);
    return pState->done.wait_for(lock, limit, [&] { return pState->bDone; });
}
