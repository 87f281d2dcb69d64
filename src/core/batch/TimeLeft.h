#pragma once
// About how long a batch has left, from the drafts done so far and the
// sessions at work: what a draft has cost in session time on average,
// times the drafts left, shared among the sessions working now. A session
// lost halfway makes the rest take longer, one more makes it shorter.
#include <chrono>
#include <cstdint>
#include <optional>
#include <string>

namespace kestrow {

class TimeLeftEstimate {
public:
    using Clock = std::chrono::steady_clock;
    // Fewer drafts than this say too little about the rest.
    static constexpr std::int64_t kDraftsBeforeEstimate = 3;

    void Start(Clock::time_point now, std::int64_t drafts, std::int32_t sessions);
    void SessionsAtWork(Clock::time_point now, std::int32_t sessions);
    void DraftDone() { ++done_; }

    std::int64_t Done() const { return done_; }
    // None until a few drafts are done.
    std::optional<std::chrono::seconds> Left(Clock::time_point now) const;

private:
    double SessionSeconds(Clock::time_point now) const;

    std::int64_t drafts_ = 0, done_ = 0;
    std::int32_t sessions_ = 1;
    Clock::time_point since_{};   // when the sessions at work last changed
    double sessionSeconds_ = 0;   // session time spent before `since_`
};

// "1 h 20 min left", "5 min left", "less than a minute left": rounded as
// far as an estimate deserves, and short enough for the status line.
std::wstring TimeLeftText(std::chrono::seconds left);

}  // namespace kestrow
