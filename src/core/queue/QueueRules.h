#pragma once
// The decisions of a night that several computers share through a
// database, apart from the database itself: how long a draft is this
// computer's (its lease), when the lease is renewed, when a lease that may
// have lapsed forbids the store, how often a draft may be taken before it
// fails, which night a run joins, how long a database that went away is
// tried again, and what is sent again once it is back.
#include <algorithm>
#include <chrono>
#include <cstdint>
#include <optional>
#include <string>

namespace kestrow {

using QueueClock = std::chrono::steady_clock;

// How long a draft taken from the night stays this computer's without a
// renewal (/lease). The database's clock decides when another computer may
// take it again; this computer judges by its own, from the moment it sent
// the claim or renewal that the database confirmed, which is never later
// than the database's own reckoning.
struct LeasePolicy {
    static constexpr std::int64_t kDefaultSeconds = 300;
    static constexpr std::int64_t kMinSeconds = 3;
    static constexpr std::int64_t kMaxSeconds = 24 * 3600;
    // A draft taken so often by computers that stopped before it was done
    // fails instead of being taken once more: the next computer would most
    // likely stop on it too.
    static constexpr std::int32_t kMostTries = 3;

    std::chrono::seconds length{kDefaultSeconds};

    // A renewal is sent once a third of the lease has passed since the
    // last one that was confirmed.
    QueueClock::duration RenewAfter() const { return length / 3; }
    // The store needs a third of the lease left: the time the store itself
    // may take, with the lease still this computer's at its end.
    QueueClock::duration StoreMargin() const { return length / 3; }
    // How long a database that went away is tried again before the run
    // gives up on it: twice the lease, and at least 10 seconds.
    QueueClock::duration DatabaseWait() const {
        return std::max<QueueClock::duration>(2 * length, std::chrono::seconds(10));
    }
};

// Where a draft in hand stands with its lease at `now`.
enum class LeaseStanding {
    Held,      // this computer's, and its store may go ahead
    RenewDue,  // this computer's, and time to renew
    Forfeit,   // lost, or it may have lapsed for all this computer knows:
               // nothing more is done to the draft
};
// `confirmedAt`: when the claim or renewal that the database confirmed
// last was sent. `lost`: the database said another computer holds it.
LeaseStanding JudgeLease(const LeasePolicy& policy, QueueClock::time_point confirmedAt, QueueClock::time_point now,
                         bool lost);

// What a computer does with a draft it just took, counting this take.
enum class TakeVerdict {
    Work,          // do it
    FailTooOften,  // record it failed, with the reason, and take the next
};
TakeVerdict JudgeTake(std::int32_t tries);
// The reason a draft taken too often fails with: "taken 4 times; each
// computer stopped before it was done (the last: WS2)".
std::wstring TakenTooOftenText(std::int32_t tries, const std::wstring& lastComputer);

// The latest night of the folder, as the database has it.
struct NightFacts {
    std::int64_t id = 0;
    std::int64_t open = 0;       // drafts waiting or in a computer's hands
    double ageSeconds = 0;       // since it was listed
    bool joined = false;         // this computer took part in it
    bool completedHere = false;  // and its last run there saw the night done
};
// A finished night is taken for tonight's by a computer that did not see it
// done, for so long after it was listed; then the next run lists anew.
constexpr std::chrono::hours kNightLasts{12};
enum class NightChoice {
    Join,      // work on that night: what is left of it, perhaps nothing
    ListAnew,  // list the folder as a new night
};
NightChoice ChooseNight(const std::optional<NightFacts>& latest);

// A free session found no draft to take: what next, from what the night
// holds now.
enum class IdleStep {
    TakeAgain,  // drafts wait, but other computers were taking them that moment
    Wait,       // drafts are in other computers' hands: one may come free
    NightDone,  // every draft has its fate
};
IdleStep WhenNoneTaken(std::int64_t waiting, std::int64_t inHands);
// How long to wait before looking again, given when the soonest lease of
// another computer runs out (none known: the usual pause): at most a second,
// so that a computer that waits ends soon after the night's last draft.
QueueClock::duration WaitBeforeLookingAgain(const LeasePolicy& policy,
                                            std::optional<std::chrono::milliseconds> soonestLeaseEnds);

// A wait as a person reads it: "45 s", "10 min".
std::wstring WaitText(QueueClock::duration duration);

// The database could not be reached since `since`: whether to try again,
// and after how long.
struct OutageStep {
    bool giveUp = false;
    QueueClock::duration retryIn{};
};
OutageStep JudgeOutage(const LeasePolicy& policy, QueueClock::time_point since, QueueClock::time_point now,
                       std::int32_t triesSoFar);

// What the database missed while it was away, by kind: whether it is sent
// once the database is back, and whether a run that ends before then keeps
// it for the next run of the same night.
enum class Unsent {
    Row,            // a row of the log
    StoredFate,     // a draft stored
    FailedFate,     // a draft failed
    Release,        // a draft given back, unstored
    Renewal,        // a lease renewed
};
struct ResendRule {
    bool sendOnReturn = false;
    bool keepForNextRun = false;
};
ResendRule ResendOf(Unsent kind);

}  // namespace kestrow
