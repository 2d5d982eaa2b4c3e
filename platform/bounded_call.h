// Calls into a sound server that died may never return (a stream's stop or close, a client's
// close). Such a call runs on a thread of its own while the caller waits a bounded time; a call
// that has not returned by then is left to finish, or not, on its own, and the caller goes on as
// if the server were gone.
#pragma once

#include <chrono>
#include <functional>

// Runs fn on a new thread and waits up to limit for it. True when it returned in time; false
// when it did not (or no thread could be made), and fn's thread is left behind.
bool CallWithTimeLimit(std::function<void()> fn, std::chrono::milliseconds limit);

// The limit for a stop or close of a stream or client whose server may be gone.
constexpr std::chrono::milliseconds kServerCallLimit{1000};
