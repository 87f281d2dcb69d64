#pragma once
// One computer's part in a night that several share through a database:
// the draft source of its batch (each free session takes the next draft
// nobody holds, and waits while the rest are in other computers' hands),
// the leases on the drafts in hand, renewed on a thread of its own, and the
// log's rows and the drafts' fates, sent in order behind the batch. When
// the database goes away, the drafts in hand go on as far as their leases
// allow, what it misses is kept, the database is tried again for a bounded
// time (QueueRules) and the queue says so; what it never got is handed back
// for the next run.
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "batch/DraftBatch.h"
#include "queue/DraftLease.h"
#include "queue/NightStore.h"

namespace kestrow {

// Who takes part: the computer by its name, and this run of Kestrow on it
// (its process and start), which names its leases and rows.
struct NightMember {
    std::wstring computer;
    std::wstring sender;
};

// Something the database has not yet been told.
struct UnsentItem {
    Unsent kind = Unsent::Row;
    std::int64_t night = 0;
    SentRow row;                 // a row's
    std::int32_t number = 0;     // a draft's
    std::wstring holder, error;  // the take it was, and a failure's reason
    bool untried = false;        // a release of a draft never opened
};

class NightQueue : public DraftSource {
public:
    // `say` takes the lines a run prints; the connector opens connections
    // afresh after one was lost. `connection` is the open one the run
    // prepared the night on.
    NightQueue(SqlConnector& connector, std::unique_ptr<SqlConnection> connection, LeasePolicy policy,
               NightMember member, std::function<void(const std::wstring&)> say);
    ~NightQueue() override;
    NightQueue(const NightQueue&) = delete;
    NightQueue& operator=(const NightQueue&) = delete;

    // What earlier runs could not send, sent first.
    void Resend(std::vector<UnsentItem> items);
    // Joins or lists the night (see NightStore::OpenNight) and starts the
    // thread that keeps the leases and sends behind the batch. The open
    // drafts are the batch's list, in this order.
    const OpenedNight& Open(const NightFolder& folder, const std::function<std::vector<std::wstring>()>& list);

    // DraftSource
    std::optional<std::int32_t> Next(const std::atomic<bool>& stop) override;
    std::shared_ptr<const StoreGuard> GuardOf(std::int32_t index) override;
    std::optional<RuntimeError> RefusalOf(std::int32_t index) override;
    void Ended(std::int32_t index, const DraftRecord& draft) override;
    bool MayHaveMore() override;

    // A row of the log, sent behind the batch.
    void Send(const LogRow& row);

    // After the batch: gives back the drafts taken and never ended, sends
    // what is left (waiting for a database that is away, within its bound),
    // records how this computer's run ended and stops the thread. What the
    // database still missed is returned, for the next run to send.
    std::vector<UnsentItem> Close(const std::wstring& how);

    // The database could not be reached for longer than the bound: the run
    // took no draft from then on.
    bool GaveUp();
    // The night as the database has it now; none when it does not answer.
    std::optional<NightProgress> ProgressNow();
    // The last thing the database said when it failed, "" for none.
    std::wstring LastFailure();

private:
    bool Connected();
    // Runs `work` on the connection; false when the database is away (the
    // outage begins, if it had not). Deadlocks are run again.
    bool WithStore(const std::function<void(NightStore&)>& work);
    void Keep();
    void KeepOnce(std::unique_lock<std::mutex>& lock);
    void TryReconnect(std::unique_lock<std::mutex>& lock);
    void RenewDue();
    // Sends what waits, in order, the fates first (`fatesOnly`: nothing
    // else); `lock` is over mutex_, held on entry and on return.
    void SendPending(std::unique_lock<std::mutex>& lock, bool fatesOnly = false);
    void Enqueue(UnsentItem item);
    // With the lock held: a statement failed (the outage begins, or goes on
    // towards its bound).
    void NoteFailure(QueueClock::time_point now, const std::wstring& failure);
    void WaitFor(QueueClock::duration wait, const std::atomic<bool>& stop);

    SqlConnector& connector_;
    LeasePolicy policy_;
    NightMember member_;
    std::function<void(const std::wstring&)> say_;

    std::mutex connectionMutex_;  // over the connection and the store
    std::mutex sendMutex_;        // one sender at a time: items leave the front in order
    std::unique_ptr<SqlConnection> connection_;
    std::unique_ptr<NightStore> store_;

    OpenedNight opened_;
    std::map<std::int32_t, std::int32_t> indexOfNumber_;

    std::mutex mutex_;  // over everything below
    std::condition_variable changed_;
    std::map<std::int32_t, std::shared_ptr<DraftLease>> leases_;  // by index, while in hand
    std::map<std::int32_t, RuntimeError> refusals_;                // by index
    // What the database has not been told yet, in order: the drafts' fates
    // (sent first: other computers may wait on them) and the log's rows.
    std::deque<UnsentItem> fates_, rows_;
    bool NothingPending() const { return fates_.empty() && rows_.empty(); }
    std::int32_t sent_ = 0;    // rows numbered so far
    std::int32_t takes_ = 0;   // leases named so far
    std::optional<QueueClock::time_point> outageSince_;
    QueueClock::time_point nextTry_{};
    std::int32_t outageTries_ = 0;
    bool gaveUp_ = false;
    bool nightDone_ = false;
    bool closing_ = false;
    std::wstring lastFailure_;
    std::thread keeper_;
};

}  // namespace kestrow
