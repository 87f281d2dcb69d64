#include "batch/TimeLeft.h"

#include <algorithm>
#include <cmath>

namespace kestrow {

void TimeLeftEstimate::Start(Clock::time_point now, std::int64_t drafts, std::int32_t sessions) {
    drafts_ = drafts;
    done_ = 0;
    sessions_ = std::max(1, sessions);
    since_ = now;
    sessionSeconds_ = 0;
}

void TimeLeftEstimate::SessionsAtWork(Clock::time_point now, std::int32_t sessions) {
    sessionSeconds_ = SessionSeconds(now);
    since_ = now;
    sessions_ = std::max(1, sessions);
}

double TimeLeftEstimate::SessionSeconds(Clock::time_point now) const {
    return sessionSeconds_ + sessions_ * std::chrono::duration<double>(now - since_).count();
}

std::optional<std::chrono::seconds> TimeLeftEstimate::Left(Clock::time_point now) const {
    if (done_ < kDraftsBeforeEstimate) return std::nullopt;
    const double perDraft = SessionSeconds(now) / static_cast<double>(done_);
    const double left = perDraft * static_cast<double>(std::max<std::int64_t>(drafts_ - done_, 0)) / sessions_;
    return std::chrono::seconds(std::llround(left));
}

std::wstring TimeLeftText(std::chrono::seconds left) {
    const std::int64_t seconds = left.count();
    if (seconds < 60) return L"less than a minute left";
    // To the minute under ten minutes, to five under an hour, to ten above.
    const std::int64_t minutes = (seconds + 30) / 60;
    const std::int64_t step = minutes < 10 ? 1 : minutes < 60 ? 5 : 10;
    const std::int64_t rounded = (minutes + step / 2) / step * step;
    if (rounded < 60) return std::to_wstring(rounded) + L" min left";
    const std::int64_t hours = rounded / 60, rest = rounded % 60;
    return std::to_wstring(hours) + L" h" + (rest ? L" " + std::to_wstring(rest) + L" min" : L"") +
           L" left";
}

}  // namespace kestrow
