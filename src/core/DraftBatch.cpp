#include "DraftBatch.h"

#include <algorithm>

#include "LongPath.h"

namespace kestrow {

std::int32_t BatchResult::Count(DraftState state) const {
    return static_cast<std::int32_t>(
        std::count_if(drafts.begin(), drafts.end(), [state](const DraftRecord& d) { return d.state == state; }));
}

DraftBatch::DraftBatch(const std::wstring& folderPath, const std::vector<std::wstring>& names,
                       ServerLauncher& launcher, CallWatch::Policy watchPolicy)
    : launcher_(launcher), watchPolicy_(watchPolicy) {
    drafts_.reserve(names.size());
    for (const std::wstring& name : names)
        drafts_.push_back(DraftRecord{name, folderPath + name, DraftState::NotReached, std::nullopt});
}

BatchResult DraftBatch::Run(BatchUser& user, BatchProgress& progress) {
    BatchResult result;
    result.drafts = drafts_;
    if (launcher_.CadSystemRunning()) {
        result.end = BatchEnd::CadAlreadyRunning;
        return result;
    }
    CallWatch watch(watchPolicy_, [&user](std::int64_t seconds, const std::wstring& task) {
        return user.KeepWaiting(seconds, task);
    });
    serverLossesInARow_ = 0;
    continueAll_ = false;

    const auto count = static_cast<std::int32_t>(result.drafts.size());
    Next next = Next::NextDraft;
    for (std::int32_t updateIndex = 0; updateIndex < count && next != Next::EndBatch && !*stop_; ++updateIndex) {
        DraftRecord& draft = result.drafts[static_cast<size_t>(updateIndex)];
        progress.DraftStarting(updateIndex, count, draft);
        do next = UpdateOne(draft, user, watch, result);
        while (next == Next::TryAgain);
        progress.DraftEnded(updateIndex, count, draft);
    }
    EndServer(watch);
    if (next != Next::EndBatch && *stop_) result.end = BatchEnd::Stopped;
    return result;
}

DraftBatch::Next DraftBatch::UpdateOne(DraftRecord& draft, BatchUser& user, CallWatch& watch, BatchResult& result) {
    if (!EnsureServer(watch, result)) return Next::EndBatch;
    try {
        watch.SetTask(draft.path);
        if (server_->UpdateDraft(ExtendedLengthPath(draft.path), stop_, watch) == DraftOutcome::Stored) {
            draft.state = DraftState::Stored;
            draft.error.reset();
            serverLossesInARow_ = 0;
        }
        return Next::NextDraft;
    } catch (const RuntimeError& error) {
        return AfterFailure(draft, error, user, result);
    }
}

DraftBatch::Next DraftBatch::AfterFailure(DraftRecord& draft, const RuntimeError& error, BatchUser& user,
                                          BatchResult& result) {
    draft.state = DraftState::Failed;
    draft.error = error;
    if (error.ServerLost()) {
        // A lost server gets no further call, not even the last one; the
        // next attempt starts a fresh session.
        server_.reset();
        if (++serverLossesInARow_ >= kServerLossesInARow) {
            result.end = BatchEnd::ServerKeptFailing;
            result.serverError = error;
            return Next::EndBatch;
        }
    } else {
        serverLossesInARow_ = 0;
    }
    if (*stop_) return Next::NextDraft;
    const FailureDecision decision =
        continueAll_ ? FailureDecision{FailureDecision::Choice::Continue, true} : user.DraftFailed(draft, error);
    switch (decision.choice) {
        case FailureDecision::Choice::TryAgain: return Next::TryAgain;
        case FailureDecision::Choice::Continue:
            continueAll_ = continueAll_ || decision.sameForRemaining;
            return Next::NextDraft;
        case FailureDecision::Choice::Cancel: break;
    }
    result.end = BatchEnd::Cancelled;
    return Next::EndBatch;
}

// Starts a session when none runs. False when none could be started.
bool DraftBatch::EnsureServer(CallWatch& watch, BatchResult& result) {
    if (server_) return true;
    watch.SetTask(L"starting a session of the CAD system");
    try {
        server_ = launcher_.Launch();
        server_->Start(watch);
        return true;
    } catch (const RuntimeError& error) {
        if (error.Kind() == FailureKind::ForeignServer) {
            // Somebody's own session: it is let go of without a single call.
            server_.reset();
            result.end = BatchEnd::CadAlreadyRunning;
            return false;
        }
        // A server that started but refused its settings still ends its work.
        if (server_ && !error.ServerLost()) server_->Quit(watch);
        server_.reset();
        result.end = BatchEnd::ServerCouldNotStart;
        result.serverError = error;
        return false;
    }
}

void DraftBatch::EndServer(CallWatch& watch) {
    if (!server_) return;
    watch.SetTask(L"ending the session of the CAD system");
    server_->Quit(watch);
    server_.reset();
}

}  // namespace kestrow
