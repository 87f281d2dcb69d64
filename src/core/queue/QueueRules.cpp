#include "queue/QueueRules.h"

namespace kestrow {

LeaseStanding JudgeLease(const LeasePolicy& policy, QueueClock::time_point confirmedAt, QueueClock::time_point now,
                         bool lost) {
    if (lost) return LeaseStanding::Forfeit;
    const QueueClock::duration since = now - confirmedAt;
    if (since >= QueueClock::duration(policy.length) - policy.StoreMargin()) return LeaseStanding::Forfeit;
    if (since >= policy.RenewAfter()) return LeaseStanding::RenewDue;
    return LeaseStanding::Held;
}

TakeVerdict JudgeTake(std::int32_t tries) {
    return tries > LeasePolicy::kMostTries ? TakeVerdict::FailTooOften : TakeVerdict::Work;
}

std::wstring TakenTooOftenText(std::int32_t tries, const std::wstring& lastComputer) {
    return L"Taken " + std::to_wstring(tries - 1) + L" times by computers that stopped before it was done" +
           (lastComputer.empty() ? std::wstring() : L" (the last: " + lastComputer + L")") +
           L"; Kestrow takes it no more, as the next computer would most likely stop on it too.";
}

NightChoice ChooseNight(const std::optional<NightFacts>& latest) {
    if (!latest) return NightChoice::ListAnew;
    if (latest->open > 0) return NightChoice::Join;
    if (latest->completedHere) return NightChoice::ListAnew;
    const double lasts = std::chrono::duration<double>(kNightLasts).count();
    return latest->ageSeconds >= lasts ? NightChoice::ListAnew : NightChoice::Join;
}

IdleStep WhenNoneTaken(std::int64_t waiting, std::int64_t inHands) {
    if (waiting > 0) return IdleStep::TakeAgain;
    return inHands > 0 ? IdleStep::Wait : IdleStep::NightDone;
}

QueueClock::duration WaitBeforeLookingAgain(const LeasePolicy& policy,
                                            std::optional<std::chrono::milliseconds> soonestLeaseEnds) {
    // Looked at often enough to end soon after the night's last draft.
    const QueueClock::duration most = std::clamp<QueueClock::duration>(
        QueueClock::duration(policy.length) / 4, std::chrono::milliseconds(250), std::chrono::seconds(1));
    if (!soonestLeaseEnds) return most;
    const QueueClock::duration justAfter = *soonestLeaseEnds + std::chrono::milliseconds(100);
    return std::clamp<QueueClock::duration>(justAfter, std::chrono::milliseconds(100), most);
}

std::wstring WaitText(QueueClock::duration duration) {
    const auto seconds = std::chrono::duration_cast<std::chrono::seconds>(duration).count();
    if (seconds < 120) return std::to_wstring(seconds) + L" s";
    return std::to_wstring((seconds + 30) / 60) + L" min";
}

OutageStep JudgeOutage(const LeasePolicy& policy, QueueClock::time_point since, QueueClock::time_point now,
                       std::int32_t triesSoFar) {
    const QueueClock::duration left = policy.DatabaseWait() - (now - since);
    if (left <= QueueClock::duration::zero()) return OutageStep{true, {}};
    // Quickly at first (a dropped connection comes back at once), then
    // less often, and once more at the end of the wait.
    const QueueClock::duration backoff = std::chrono::milliseconds(250L << std::clamp(triesSoFar, 0, 6));
    return OutageStep{false, std::min({backoff, QueueClock::duration(std::chrono::seconds(10)), left})};
}

ResendRule ResendOf(Unsent kind) {
    switch (kind) {
        case Unsent::Row:
        case Unsent::StoredFate:
        case Unsent::FailedFate: return ResendRule{true, true};
        // Others may take the draft at once rather than after its lease; a
        // later run would find the lease lapsed anyway.
        case Unsent::Release: return ResendRule{true, false};
        case Unsent::Renewal: break;
    }
    // A renewal is sent afresh when it is due.
    return ResendRule{false, false};
}

}  // namespace kestrow
