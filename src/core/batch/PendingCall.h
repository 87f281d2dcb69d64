#pragma once
// The call in hand on a server's thread, as another thread sees it: since
// when it has been pending, or nothing when no call is. Calls nest (a
// release during a call), the outermost one counts.
#include <atomic>
#include <functional>
#include <optional>

#include "batch/CallWatch.h"

namespace kestrow {

class PendingCall {
public:
    using Clock = CallWatch::Clock;
    explicit PendingCall(std::function<Clock::time_point()> now = &Clock::now) : now_(std::move(now)) {}

    // On the server's thread. The start is written before the call counts
    // as pending, so that a watcher never pairs a pending call with the
    // start of an earlier one (or with none at all).
    void Started() {
        if (depth_.load() == 0) started_.store(now_().time_since_epoch().count());
        depth_.fetch_add(1);
    }
    void Ended() { depth_.fetch_sub(1); }

    // From any thread.
    std::optional<Clock::time_point> Since() const {
        if (depth_.load() == 0) return std::nullopt;
        return Clock::time_point(Clock::duration(started_.load()));
    }

private:
    std::function<Clock::time_point()> now_;
    std::atomic<int> depth_{0};
    std::atomic<Clock::rep> started_{0};
};

}  // namespace kestrow
