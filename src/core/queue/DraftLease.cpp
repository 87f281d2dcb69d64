#include "queue/DraftLease.h"

namespace kestrow {

LeaseStanding DraftLease::Standing(QueueClock::time_point now) const {
    return JudgeLease(policy_, ConfirmedAt(), now, lost_);
}

void DraftLease::Confirmed(QueueClock::time_point sentAt) {
    QueueClock::rep known = confirmedAt_.load();
    const QueueClock::rep sent = sentAt.time_since_epoch().count();
    while (sent > known && !confirmedAt_.compare_exchange_weak(known, sent)) {
    }
}

std::wstring DraftLease::WhyNot() const {
    if (lost_)
        return L"another computer of the night holds it now (this computer's lease on it was not renewed in time), "
               L"so it is left to that computer.";
    const auto since = std::chrono::duration_cast<std::chrono::seconds>(QueueClock::now() - ConfirmedAt());
    return L"this computer could not renew its lease on it for " + std::to_wstring(since.count()) +
           L" s (the night's database did not answer), so another computer may take it; it is left to the night.";
}

}  // namespace kestrow
