#include "queue/NightQueue.h"

#include <algorithm>

namespace kestrow {
namespace {

// How often the keeper looks at the leases when nothing calls it sooner.
constexpr auto kKeeperPause = std::chrono::milliseconds(100);
// A statement that met a deadlock is run again so many times.
constexpr int kDeadlockTries = 3;

}  // namespace

NightQueue::NightQueue(SqlConnector& connector, std::unique_ptr<SqlConnection> connection, LeasePolicy policy,
                       NightMember member, std::function<void(const std::wstring&)> say)
    : connector_(connector), policy_(policy), member_(std::move(member)), say_(std::move(say)),
      connection_(std::move(connection)), store_(std::make_unique<NightStore>(*connection_)) {}

NightQueue::~NightQueue() {
    if (!keeper_.joinable()) return;
    {
        std::lock_guard<std::mutex> lock(mutex_);
        closing_ = true;
        gaveUp_ = true;
    }
    changed_.notify_all();
    keeper_.join();
}

void NightQueue::Resend(std::vector<UnsentItem> items) {
    std::lock_guard<std::mutex> lock(mutex_);
    for (UnsentItem& item : items) (item.kind == Unsent::Row ? rows_ : fates_).push_back(std::move(item));
}

const OpenedNight& NightQueue::Open(const NightFolder& folder, const std::function<std::vector<std::wstring>()>& list) {
    {
        std::lock_guard<std::mutex> lock(connectionMutex_);
        for (int attempt = 1;; ++attempt) {
            try {
                opened_ = store_->OpenNight(folder, member_.computer, list);
                break;
            } catch (const DatabaseError& error) {
                if (error.Failure() != DatabaseFailure::TryAgain || attempt >= kDeadlockTries) throw;
            }
        }
    }
    for (size_t i = 0; i < opened_.open.size(); ++i)
        indexOfNumber_.emplace(opened_.open[i].number, static_cast<std::int32_t>(i));
    keeper_ = std::thread([this] { Keep(); });
    return opened_;
}

bool NightQueue::Connected() {
    std::lock_guard<std::mutex> lock(connectionMutex_);
    return store_ != nullptr;
}

bool NightQueue::WithStore(const std::function<void(NightStore&)>& work) {
    std::wstring failure;
    {
        std::lock_guard<std::mutex> connection(connectionMutex_);
        if (!store_) return false;
        for (int attempt = 1;; ++attempt) {
            try {
                work(*store_);
                break;
            } catch (const DatabaseError& error) {
                if (error.Failure() == DatabaseFailure::TryAgain && attempt < kDeadlockTries) continue;
                // Whatever it was, this connection is not trusted again: a
                // fresh one is made, and the trouble lasts until a statement
                // goes through.
                failure = error.Message();
                store_.reset();
                connection_.reset();
                break;
            }
        }
    }
    const QueueClock::time_point now = QueueClock::now();
    std::lock_guard<std::mutex> lock(mutex_);
    if (failure.empty()) {
        if (outageSince_) {
            say_(L"Kestrow: the night's database answers again, after " + WaitText(now - *outageSince_) +
                 L"; what it missed is sent now.");
            outageSince_.reset();
            outageTries_ = 0;
        }
        return true;
    }
    NoteFailure(now, failure);
    changed_.notify_all();
    return false;
}

void NightQueue::NoteFailure(QueueClock::time_point now, const std::wstring& failure) {
    lastFailure_ = failure;
    if (!outageSince_) {
        outageSince_ = now;
        outageTries_ = 0;
        nextTry_ = now;
        say_(L"Kestrow: the night's database does not answer (" + failure + L"). Kestrow tries again for up to " +
             WaitText(policy_.DatabaseWait()) +
             L"; the drafts in hand go on meanwhile, as far as their leases let them.");
        return;
    }
    const OutageStep step = JudgeOutage(policy_, *outageSince_, now, ++outageTries_);
    if (step.giveUp) {
        if (!gaveUp_)
            say_(L"Kestrow: the night's database did not answer for " + WaitText(now - *outageSince_) + L" (" +
                 failure + L"): this computer takes no further draft. What it did is in its own log, and its next "
                           L"run sends the database what it missed.");
        gaveUp_ = true;
    } else {
        nextTry_ = now + step.retryIn;
    }
}

void NightQueue::Keep() {
    std::unique_lock<std::mutex> lock(mutex_);
    for (;;) {
        // Closing, the keeper waits only for what the database must still
        // be told, and no longer than the outage's bound.
        if (gaveUp_ || (closing_ && NothingPending())) return;
        KeepOnce(lock);
    }
}

void NightQueue::KeepOnce(std::unique_lock<std::mutex>& lock) {
    bool away = false;
    {
        lock.unlock();
        away = !Connected();
        lock.lock();
    }
    if (away) {
        if (QueueClock::now() < nextTry_) {
            changed_.wait_until(lock, nextTry_);
            return;
        }
        TryReconnect(lock);
        return;
    }
    lock.unlock();
    RenewDue();
    lock.lock();
    SendPending(lock);
    if (!NothingPending() && Connected()) return;
    changed_.wait_for(lock, kKeeperPause);
}

void NightQueue::TryReconnect(std::unique_lock<std::mutex>& lock) {
    lock.unlock();
    std::wstring failure;
    try {
        std::unique_ptr<SqlConnection> connection = connector_.Connect();
        auto store = std::make_unique<NightStore>(*connection);
        store->SetUpSession();
        std::lock_guard<std::mutex> guard(connectionMutex_);
        connection_ = std::move(connection);
        store_ = std::move(store);
    } catch (const DatabaseError& error) {
        failure = error.Message();
    }
    lock.lock();
    if (failure.empty()) {
        changed_.notify_all();
        return;
    }
    NoteFailure(QueueClock::now(), failure);
    changed_.notify_all();
}

void NightQueue::RenewDue() {
    std::vector<std::shared_ptr<DraftLease>> due;
    {
        std::lock_guard<std::mutex> lock(mutex_);
        const QueueClock::time_point now = QueueClock::now();
        for (const auto& [index, lease] : leases_)
            if (!lease->KnownLost() && lease->Standing(now) != LeaseStanding::Held) due.push_back(lease);
    }
    for (const std::shared_ptr<DraftLease>& lease : due) {
        const QueueClock::time_point sentAt = QueueClock::now();
        bool still = false;
        if (!WithStore([&](NightStore& store) {
                still = store.Renew(opened_.night, lease->Number(), lease->Holder(), policy_.length.count());
            }))
            return;
        if (still)
            lease->Confirmed(sentAt);
        else
            lease->Lost();
    }
}

void NightQueue::SendPending(std::unique_lock<std::mutex>& lock, bool fatesOnly) {
    lock.unlock();
    const std::lock_guard<std::mutex> sending(sendMutex_);
    lock.lock();
    for (;;) {
        if (!lock.owns_lock()) lock.lock();
        std::vector<UnsentItem> batch;
        if (!fates_.empty()) {
            batch.push_back(fates_.front());
        } else if (!fatesOnly) {
            for (const UnsentItem& item : rows_) {
                if (batch.size() >= NightStore::kRowsAStatement || item.night != rows_.front().night) break;
                batch.push_back(item);
            }
        }
        if (batch.empty()) return;
        lock.unlock();
        const UnsentItem& first = batch.front();
        const bool sent = WithStore([&](NightStore& store) {
            switch (first.kind) {
                case Unsent::Row: {
                    std::vector<SentRow> rows;
                    for (const UnsentItem& item : batch) rows.push_back(item.row);
                    store.SendRows(first.night, rows);
                    break;
                }
                case Unsent::StoredFate: store.Stored(first.night, first.number, member_.computer, first.holder); break;
                case Unsent::FailedFate: store.Failed(first.night, first.number, first.holder, first.error); break;
                case Unsent::Release: store.Release(first.night, first.number, first.holder, first.untried); break;
                case Unsent::Renewal: break;
            }
        });
        lock.lock();
        if (!sent) return;
        // Only the one sender takes items off: they are still at the front.
        std::deque<UnsentItem>& from = first.kind == Unsent::Row ? rows_ : fates_;
        from.erase(from.begin(), from.begin() + static_cast<std::ptrdiff_t>(batch.size()));
        changed_.notify_all();
    }
}

void NightQueue::Enqueue(UnsentItem item) {
    {
        std::lock_guard<std::mutex> lock(mutex_);
        (item.kind == Unsent::Row ? rows_ : fates_).push_back(std::move(item));
    }
    changed_.notify_all();
}

void NightQueue::WaitFor(QueueClock::duration wait, const std::atomic<bool>& stop) {
    const QueueClock::time_point until = QueueClock::now() + wait;
    std::unique_lock<std::mutex> lock(mutex_);
    while (!stop && !gaveUp_ && QueueClock::now() < until)
        changed_.wait_for(lock, std::min<QueueClock::duration>(until - QueueClock::now(), kKeeperPause));
}

std::optional<std::int32_t> NightQueue::Next(const std::atomic<bool>& stop) {
    for (;;) {
        if (stop) return std::nullopt;
        std::wstring holder;
        {
            std::lock_guard<std::mutex> lock(mutex_);
            if (gaveUp_ || nightDone_) return std::nullopt;
            holder = member_.sender + L"#" + std::to_wstring(++takes_);
        }
        // This computer's own fates first: a draft it has just ended still
        // counts as in hand until they are sent, and would keep it waiting.
        {
            std::unique_lock<std::mutex> lock(mutex_);
            SendPending(lock, true);
        }
        const QueueClock::time_point sentAt = QueueClock::now();
        std::optional<TakenDraft> taken;
        if (!WithStore([&](NightStore& store) {
                taken = store.Take(opened_.night, member_.computer, holder, policy_.length.count());
            })) {
            WaitFor(std::chrono::milliseconds(200), stop);
            continue;
        }
        if (taken) {
            const auto found = indexOfNumber_.find(taken->number);
            if (found == indexOfNumber_.end()) {
                // Not open when this computer joined: not its list's to do.
                Enqueue(UnsentItem{Unsent::Release, opened_.night, {}, taken->number, holder, {}, true});
                continue;
            }
            const std::int32_t index = found->second;
            // A draft whose holder's lease ran out: its computer stopped.
            if (taken->tries > 1 && !taken->previous.empty() && JudgeTake(taken->tries) == TakeVerdict::Work)
                say_(L"Kestrow: " + opened_.open[static_cast<size_t>(index)].name + L" was in " + taken->previous +
                     L"'s hands until its lease ran out; this computer takes it again (try " +
                     std::to_wstring(taken->tries) + L" of " + std::to_wstring(LeasePolicy::kMostTries) + L").");
            std::lock_guard<std::mutex> lock(mutex_);
            leases_[index] = std::make_shared<DraftLease>(policy_, taken->number, holder, sentAt);
            if (JudgeTake(taken->tries) == TakeVerdict::FailTooOften)
                refusals_.insert_or_assign(index, RuntimeError(ErrorNumber::ObjectNotSet, kProgramSource,
                                                               TakenTooOftenText(taken->tries, taken->previous)));
            return index;
        }
        NightProgress progress;
        if (!WithStore([&](NightStore& store) { progress = store.Progress(opened_.night); })) continue;
        switch (WhenNoneTaken(progress.waiting, progress.taken)) {
            case IdleStep::TakeAgain: WaitFor(std::chrono::milliseconds(50), stop); break;
            case IdleStep::Wait: WaitFor(WaitBeforeLookingAgain(policy_, progress.soonestLeaseEnds), stop); break;
            case IdleStep::NightDone: {
                std::lock_guard<std::mutex> lock(mutex_);
                nightDone_ = true;
                return std::nullopt;
            }
        }
    }
}

std::shared_ptr<const StoreGuard> NightQueue::GuardOf(std::int32_t index) {
    std::lock_guard<std::mutex> lock(mutex_);
    const auto found = leases_.find(index);
    return found == leases_.end() ? nullptr : found->second;
}

std::optional<RuntimeError> NightQueue::RefusalOf(std::int32_t index) {
    std::lock_guard<std::mutex> lock(mutex_);
    const auto found = refusals_.find(index);
    if (found == refusals_.end()) return std::nullopt;
    RuntimeError refusal = found->second;
    refusals_.erase(found);
    return refusal;
}

void NightQueue::Ended(std::int32_t index, const DraftRecord& draft) {
    std::shared_ptr<DraftLease> lease;
    {
        std::lock_guard<std::mutex> lock(mutex_);
        const auto found = leases_.find(index);
        if (found == leases_.end()) return;
        lease = found->second;
        leases_.erase(found);
    }
    UnsentItem item;
    item.night = opened_.night;
    item.number = lease->Number();
    item.holder = lease->Holder();
    switch (draft.state) {
        case DraftState::Stored: item.kind = Unsent::StoredFate; break;
        case DraftState::Failed:
            item.kind = Unsent::FailedFate;
            item.error = draft.error ? DescribeError(*draft.error) : std::wstring(L"failed");
            break;
        case DraftState::Released: item.kind = Unsent::Release; break;
        case DraftState::NotReached:
            item.kind = Unsent::Release;
            item.untried = true;
            break;
    }
    Enqueue(std::move(item));
}

bool NightQueue::MayHaveMore() {
    std::lock_guard<std::mutex> lock(mutex_);
    return !nightDone_ && !gaveUp_;
}

void NightQueue::Send(const LogRow& row) {
    UnsentItem item;
    item.kind = Unsent::Row;
    item.night = opened_.night;
    item.row.computer = member_.computer;
    item.row.sender = member_.sender;
    item.row.row = row;
    {
        std::lock_guard<std::mutex> lock(mutex_);
        item.row.seq = ++sent_;
        rows_.push_back(std::move(item));
    }
    changed_.notify_all();
}

std::vector<UnsentItem> NightQueue::Close(const std::wstring& how) {
    {
        std::lock_guard<std::mutex> lock(mutex_);
        // Taken, handed from session to session, and never opened.
        for (const auto& [index, lease] : leases_)
            fates_.push_back(UnsentItem{Unsent::Release, opened_.night, {}, lease->Number(), lease->Holder(), {}, true});
        leases_.clear();
        closing_ = true;
    }
    changed_.notify_all();
    if (keeper_.joinable()) keeper_.join();
    if (!GaveUp())
        WithStore([&](NightStore& store) { store.Leave(opened_.night, member_.computer, how); });
    std::vector<UnsentItem> unsent;
    std::lock_guard<std::mutex> lock(mutex_);
    for (std::deque<UnsentItem>* items : {&fates_, &rows_})
        for (UnsentItem& item : *items)
            if (ResendOf(item.kind).keepForNextRun) unsent.push_back(std::move(item));
    fates_.clear();
    rows_.clear();
    return unsent;
}

bool NightQueue::GaveUp() {
    std::lock_guard<std::mutex> lock(mutex_);
    return gaveUp_;
}

std::optional<NightProgress> NightQueue::ProgressNow() {
    NightProgress progress;
    if (!WithStore([&](NightStore& store) { progress = store.Progress(opened_.night); })) return std::nullopt;
    return progress;
}

std::wstring NightQueue::LastFailure() {
    std::lock_guard<std::mutex> lock(mutex_);
    return lastFailure_;
}

}  // namespace kestrow
