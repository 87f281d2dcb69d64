#pragma once
// What the sessions of one batch share while it runs: the queue of drafts
// taken in list order, the questions (asked one at a time: the session that
// asks waits, the others go on), the progress, and how the batch ends.
#include <atomic>
#include <cstdint>
#include <deque>
#include <memory>
#include <mutex>
#include <optional>

#include "batch/DraftBatch.h"

namespace kestrow {

class BatchRun {
public:
    BatchRun(BatchResult& result, BatchUser& user, BatchProgress& progress,
             std::shared_ptr<std::atomic<bool>> stop, std::int32_t sessions, DraftSource* source = nullptr);
    BatchRun(const BatchRun&) = delete;
    BatchRun& operator=(const BatchRun&) = delete;

    BatchResult& Result() { return result_; }
    std::int32_t Count() const { return static_cast<std::int32_t>(result_.drafts.size()); }
    bool Stopping() const { return stop_->load(); }

    // The next draft for a free session: one handed back first, then the
    // next in the list (or the source's); nullopt when none is left or the
    // batch stops. With a source, it may wait for one.
    std::optional<std::int32_t> TakeDraft();
    // Whether the draft may still be stored (null: always).
    std::shared_ptr<const StoreGuard> GuardOf(std::int32_t index);
    // Why a draft handed out fails at once, unopened; none for most.
    std::optional<RuntimeError> RefusalOf(std::int32_t index);
    // Whether a draft is still waiting for a session.
    bool DraftsLeft();
    // A session with nothing to do leaves, unless a draft was handed back
    // meanwhile: then it takes that (false) rather than strand it.
    bool LeaveIfNothingLeft();

    // The failure question. A stop, or "the same for the remaining" chosen
    // by any session meanwhile, answers it without asking.
    FailureDecision AskAboutFailure(const DraftRecord& draft, const RuntimeError& error);
    bool AskKeepWaiting(std::int64_t secondsWaited, const std::wstring& task);

    void DraftStarting(std::int32_t index, const DraftRecord& draft);
    // A draft's fate is settled, and with it that of its file's other
    // names, which end right after it.
    void DraftEnded(std::int32_t index, const DraftRecord& draft);
    void SessionRenewed(const std::wstring& why);
    void DialogShown(const DraftRecord& draft, const CadDialog& dialog, const std::wstring& action);
    void StartNoticed(std::int32_t session, StartNotice notice);

    // Ends the whole batch (Cancel, the user's own session found, with why it
    // was let go of): every session stops after its call in hand. The first
    // reason stands.
    void EndBatch(BatchEnd end, std::optional<SessionLetGo> letGo = std::nullopt);
    // Ends the whole batch on a fault of Kestrow's own, said in `failure`.
    void EndOnOwnFailure(const std::wstring& failure);
    // One session ends for good before the queue is empty. A failure ends
    // the batch only when it was the last session; otherwise the others go
    // on, take the draft it hands back (one it could not start for), and
    // the user is told `why`. False when the draft was not taken back.
    bool SessionEnded(std::optional<BatchEnd> failure, const std::optional<RuntimeError>& error,
                      const std::wstring& why, std::optional<std::int32_t> handBack = std::nullopt);
    // A session was handed the process of another: it ends, handing back
    // its draft; the user is told once per batch.
    bool SessionShared(std::int32_t handBack);
    // After every session has ended: a stop that ended nothing else.
    void Settle();

private:
    // With the queue's lock held: past the names never taken, as their
    // file is done under another.
    void SkipOtherNames();

    BatchResult& result_;
    DraftSource* source_;
    BatchUser& user_;
    BatchProgress& progress_;
    std::shared_ptr<std::atomic<bool>> stop_;
    std::mutex questionMutex_;
    std::atomic<bool> continueAll_{false};
    std::mutex progressMutex_;
    // The queue and the sessions still working, under one lock, so that a
    // draft handed back always finds a session to take it or stays marked
    // as not reached.
    std::mutex queueMutex_;
    std::int32_t next_ = 0;
    std::deque<std::int32_t> handedBack_;
    std::int32_t running_;
    bool ended_ = false;
    bool sharingTold_ = false;
    bool turnNoticeTold_ = false;  // under progressMutex_
    // By draft: the later names of its file, settled with it.
    std::vector<std::vector<std::int32_t>> otherNames_;
};

}  // namespace kestrow
