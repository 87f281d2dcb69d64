#include "batch/BatchRun.h"

#include <unordered_map>

namespace kestrow {

BatchRun::BatchRun(BatchResult& result, BatchUser& user, BatchProgress& progress,
                   std::shared_ptr<std::atomic<bool>> stop, std::int32_t sessions, DraftSource* source)
    : result_(result), source_(source), user_(user), progress_(progress), stop_(std::move(stop)), running_(sessions),
      otherNames_(result.drafts.size()) {
    std::unordered_map<std::wstring, std::int32_t> firstNames;
    for (std::int32_t i = 0; i < Count(); ++i) {
        const DraftRecord& draft = result_.drafts[static_cast<size_t>(i)];
        if (draft.doneUnder.empty()) {
            firstNames.emplace(draft.path, i);
        } else if (const auto first = firstNames.find(draft.doneUnder); first != firstNames.end()) {
            otherNames_[static_cast<size_t>(first->second)].push_back(i);
        }
    }
}

void BatchRun::SkipOtherNames() {
    while (next_ < Count() && !result_.drafts[static_cast<size_t>(next_)].doneUnder.empty()) ++next_;
}

std::optional<std::int32_t> BatchRun::TakeDraft() {
    {
        std::lock_guard<std::mutex> lock(queueMutex_);
        if (Stopping()) return std::nullopt;
        if (!handedBack_.empty()) {
            const std::int32_t index = handedBack_.front();
            handedBack_.pop_front();
            return index;
        }
    }
    // Outside the lock: the source may wait for a draft to come free, and a
    // session that ends meanwhile must still hand its draft back.
    if (source_) return source_->Next(*stop_);
    std::lock_guard<std::mutex> lock(queueMutex_);
    if (Stopping()) return std::nullopt;
    SkipOtherNames();
    if (next_ >= Count()) return std::nullopt;
    return next_++;
}

std::shared_ptr<const StoreGuard> BatchRun::GuardOf(std::int32_t index) {
    return source_ ? source_->GuardOf(index) : nullptr;
}

std::optional<RuntimeError> BatchRun::RefusalOf(std::int32_t index) {
    return source_ ? source_->RefusalOf(index) : std::nullopt;
}

bool BatchRun::DraftsLeft() {
    if (source_) return source_->MayHaveMore();
    std::lock_guard<std::mutex> lock(queueMutex_);
    SkipOtherNames();
    return !handedBack_.empty() || next_ < Count();
}

bool BatchRun::LeaveIfNothingLeft() {
    std::lock_guard<std::mutex> lock(queueMutex_);
    if (!handedBack_.empty() && !Stopping()) return false;
    --running_;
    return true;
}

FailureDecision BatchRun::AskAboutFailure(const DraftRecord& draft, const RuntimeError& error) {
    const FailureDecision goOn{FailureDecision::Choice::Continue, false};
    std::lock_guard<std::mutex> lock(questionMutex_);
    if (Stopping()) return goOn;
    if (continueAll_) return FailureDecision{FailureDecision::Choice::Continue, true};
    FailureDecision decision = user_.DraftFailed(draft, error);
    if (decision.choice == FailureDecision::Choice::Continue && decision.sameForRemaining) continueAll_ = true;
    // A Stop that came while the question was open wins over its answer:
    // no fresh session is started only to be told to end.
    if (Stopping() && decision.choice != FailureDecision::Choice::Cancel) return goOn;
    return decision;
}

bool BatchRun::AskKeepWaiting(std::int64_t secondsWaited, const std::wstring& task) {
    std::lock_guard<std::mutex> lock(questionMutex_);
    return user_.KeepWaiting(secondsWaited, task);
}

void BatchRun::DraftStarting(std::int32_t index, const DraftRecord& draft) {
    std::lock_guard<std::mutex> lock(progressMutex_);
    progress_.DraftStarting(index, Count(), draft);
}

void BatchRun::DraftEnded(std::int32_t index, const DraftRecord& draft) {
    // The source hears of the fate before anybody else: another computer
    // waits for it.
    if (source_) source_->Ended(index, draft);
    std::lock_guard<std::mutex> lock(progressMutex_);
    progress_.DraftEnded(index, Count(), draft);
    // Only the session that did the draft reaches its other names.
    for (const std::int32_t other : otherNames_[static_cast<size_t>(index)]) {
        DraftRecord& name = result_.drafts[static_cast<size_t>(other)];
        name.state = draft.state;
        name.error = draft.error;
        name.keptCopy = draft.keptCopy;
        name.replaced = draft.replaced;
        name.session = draft.session;
        progress_.DraftEnded(other, Count(), name);
    }
}

void BatchRun::SessionRenewed(const std::wstring& why) {
    std::lock_guard<std::mutex> lock(progressMutex_);
    progress_.SessionRenewed(why);
}

void BatchRun::DialogShown(const DraftRecord& draft, const CadDialog& dialog, const std::wstring& action) {
    std::lock_guard<std::mutex> lock(progressMutex_);
    progress_.DialogShown(draft, dialog, action);
}

void BatchRun::StartNoticed(std::int32_t session, StartNotice notice) {
    std::lock_guard<std::mutex> lock(progressMutex_);
    // The turn is the same for every start of the batch.
    if (notice == StartNotice::TurnNotComputerWide) {
        if (turnNoticeTold_) return;
        turnNoticeTold_ = true;
    }
    progress_.StartNoticed(session, notice);
}

void BatchRun::EndBatch(BatchEnd end, std::optional<SessionLetGo> letGo) {
    {
        std::lock_guard<std::mutex> lock(queueMutex_);
        if (!ended_) {
            ended_ = true;
            result_.end = end;
            result_.letGo = letGo;
        }
    }
    *stop_ = true;
}

void BatchRun::EndOnOwnFailure(const std::wstring& failure) {
    {
        std::lock_guard<std::mutex> lock(queueMutex_);
        // Kestrow's own fault outranks whatever else ended the batch.
        ended_ = true;
        result_.end = BatchEnd::KestrowFailed;
        if (result_.kestrowFailure.empty()) result_.kestrowFailure = failure;
    }
    *stop_ = true;
}

bool BatchRun::SessionEnded(std::optional<BatchEnd> failure, const std::optional<RuntimeError>& error,
                            const std::wstring& why, std::optional<std::int32_t> handBack) {
    std::int32_t left = 0;
    bool takenBack = false;
    {
        std::lock_guard<std::mutex> lock(queueMutex_);
        left = --running_;
        if (handBack && left > 0 && !Stopping()) {
            handedBack_.push_front(*handBack);
            takenBack = true;
        }
        if (failure && left == 0 && !ended_) {
            ended_ = true;
            result_.end = *failure;
            result_.serverError = error;
        }
    }
    if (!why.empty() && left > 0 && !Stopping()) {
        std::lock_guard<std::mutex> lock(progressMutex_);
        progress_.SessionsReduced(left, why);
    }
    return takenBack;
}

bool BatchRun::SessionShared(std::int32_t handBack) {
    const bool takenBack = SessionEnded(std::nullopt, std::nullopt, std::wstring(), handBack);
    bool tell = false;
    {
        std::lock_guard<std::mutex> lock(queueMutex_);
        tell = !sharingTold_;
        sharingTold_ = true;
    }
    if (tell) {
        std::lock_guard<std::mutex> lock(progressMutex_);
        progress_.SessionsShareOneProcess();
    }
    return takenBack;
}

void BatchRun::Settle() {
    std::lock_guard<std::mutex> lock(queueMutex_);
    if (!ended_ && Stopping()) result_.end = BatchEnd::Stopped;
}

}  // namespace kestrow
