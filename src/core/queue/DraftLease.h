#pragma once
// This computer's lease on a draft it took from a shared night: the
// session asks it before every call that could write the draft, and the
// queue renews it while the draft is in hand. Its standing is worked out
// from this computer's own clock at each question, so that a database (or
// a thread) that stopped answering cannot leave a lapsed lease looking held.
#include <atomic>
#include <cstdint>
#include <string>

#include "batch/StoreGuard.h"
#include "queue/QueueRules.h"

namespace kestrow {

class DraftLease : public StoreGuard {
public:
    DraftLease(LeasePolicy policy, std::int32_t number, std::wstring holder, QueueClock::time_point confirmedAt)
        : policy_(policy), number_(number), holder_(std::move(holder)),
          confirmedAt_(confirmedAt.time_since_epoch().count()) {}

    bool MayStore() const override { return Standing(QueueClock::now()) != LeaseStanding::Forfeit; }
    std::wstring WhyNot() const override;

    LeaseStanding Standing(QueueClock::time_point now) const;
    // A renewal sent at `sentAt` was confirmed by the database.
    void Confirmed(QueueClock::time_point sentAt);
    // The database said another computer holds the draft now.
    void Lost() { lost_ = true; }
    bool KnownLost() const { return lost_; }

    std::int32_t Number() const { return number_; }
    const std::wstring& Holder() const { return holder_; }

private:
    QueueClock::time_point ConfirmedAt() const {
        return QueueClock::time_point(QueueClock::duration(confirmedAt_.load()));
    }

    const LeasePolicy policy_;
    const std::int32_t number_;
    const std::wstring holder_;
    std::atomic<QueueClock::rep> confirmedAt_;
    std::atomic<bool> lost_{false};
};

}  // namespace kestrow
