#pragma once
// What to do about a call to the server that has been pending for a long
// time: ask the user at intervals (the window), or give up past a deadline
// (an unattended run). Consulted repeatedly while the call is pending.
#include <chrono>
#include <functional>
#include <optional>
#include <string>

namespace kestrow {

class CallWatch {
public:
    using Clock = std::chrono::steady_clock;
    using Asker = std::function<bool(std::int64_t secondsWaited, const std::wstring& task)>;
    struct Policy {
        std::chrono::milliseconds askEvery{0};     // 0: never ask
        std::chrono::milliseconds giveUpAfter{0};  // 0: never give up unasked
    };

    CallWatch(Policy policy, Asker ask, std::function<Clock::time_point()> now = &Clock::now)
        : policy_(policy), ask_(std::move(ask)), now_(std::move(now)) {}

    // What the server is doing, for the question: a drawing's path, or the
    // start of a session.
    void SetTask(std::wstring task) { task_ = std::move(task); }
    const std::wstring& Task() const { return task_; }

    // Whether to go on waiting for the call that started at `callStarted`.
    // False means give the server up.
    bool KeepWaiting(Clock::time_point callStarted);

private:
    Policy policy_;
    Asker ask_;
    std::function<Clock::time_point()> now_;
    std::optional<Clock::time_point> watchedCall_;
    Clock::duration nextAsk_{};
    std::wstring task_;
};

}  // namespace kestrow
