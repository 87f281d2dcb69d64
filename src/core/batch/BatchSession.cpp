#include "batch/BatchSession.h"

#include <exception>

#include "batch/DraftNotPutBack.h"
#include "common/LongPath.h"

namespace kestrow {
namespace {

// An exception's text, which the library gives in the narrow character set.
std::wstring Widen(const char* text) {
    std::wstring wide;
    for (const char* c = text; c && *c; ++c) wide += static_cast<wchar_t>(static_cast<unsigned char>(*c));
    return wide;
}

}  // namespace

void BatchSession::Work() {
    CallWatch watch(watchPolicy_, [this](std::int64_t seconds, const std::wstring& task) {
        return run_.AskKeepWaiting(seconds, task);
    });
    watch.SetDialogReporter([this](const CadDialog& dialog, const std::wstring& action, bool) {
        if (inHand_) run_.DialogShown(*inHand_, dialog, action);
    });
    try {
        TakeDrafts(watch);
    } catch (const RuntimeError& error) {
        // Raised where no draft's failure is handled, say by a port.
        run_.EndOnOwnFailure(DescribeError(error));
    } catch (const std::exception& error) {
        // A fault of Kestrow's own: the batch ends, but the server still
        // gets its last call below and nothing is left running.
        run_.EndOnOwnFailure(Widen(error.what()));
    } catch (...) {
        run_.EndOnOwnFailure(L"an unknown exception");
    }
    EndServer(watch);
    if (!ended_) run_.SessionEnded(std::nullopt, std::nullopt, std::wstring());
}

void BatchSession::TakeDrafts(CallWatch& watch) {
    for (;;) {
        const std::optional<std::int32_t> index = run_.TakeDraft();
        if (!index) {
            if (run_.LeaveIfNothingLeft()) {
                ended_ = true;
                return;
            }
            continue;
        }
        DraftRecord& draft = run_.Result().drafts[static_cast<size_t>(*index)];
        draft.session = number_;
        if (std::optional<RuntimeError> refusal = run_.RefusalOf(*index)) {
            draft.state = DraftState::Failed;
            draft.error = std::move(refusal);
            run_.DraftEnded(*index, draft);
            continue;
        }
        inHand_ = &draft;
        run_.DraftStarting(*index, draft);
        Next next = Next::NextDraft;
        do next = UpdateOne(*index, draft, watch);
        while (next == Next::TryAgain);
        if (handedBack_) {
            // Another session has it now.
            inHand_ = nullptr;
            return;
        }
        run_.DraftEnded(*index, draft);
        // A dialog from here on (the session's renewal or its end) is no
        // draft's.
        inHand_ = nullptr;
        if (next == Next::EndSession) return;
        if (!run_.Stopping() && run_.DraftsLeft()) RenewServerIfDue(watch);
    }
}

BatchSession::Next BatchSession::UpdateOne(std::int32_t index, DraftRecord& draft, CallWatch& watch) {
    if (const Next start = EnsureServer(index, watch); start != Next::NextDraft) return start;
    if (!server_) return Next::NextDraft;  // a stop came first: the draft is not reached
    draft.exports.clear();
    std::vector<DraftExport> exports = exporter_ ? exporter_->Prepare(draft.name) : std::vector<DraftExport>{};
    try {
        watch.SetTask(draft.path);
        // Counted before the call: a draft that fails was tried all the same.
        ++draftsThisSession_;
        const DraftOutcome outcome =
            server_->UpdateDraft(ExtendedLengthPath(draft.path), exports, stop_, run_.GuardOf(index), watch);
        if (exporter_) exporter_->Settle(exports, outcome == DraftOutcome::Stored);
        if (outcome == DraftOutcome::Stored) {
            draft.state = DraftState::Stored;
            draft.error.reset();
            draft.keptCopy.reset();
            draft.dialogLeftOpen.reset();
            draft.replaced.reset();
            draft.exports = std::move(exports);
            serverLossesInARow_ = 0;
        }
        return Next::NextDraft;
    } catch (const RuntimeError& error) {
        // Not stored: no export takes its target's place.
        if (exporter_) exporter_->Settle(exports, false);
        return AfterFailure(draft, error, watch);
    } catch (...) {
        // Kestrow's own failure ends the batch; its temporary files go too.
        if (exporter_) exporter_->Settle(exports, false);
        throw;
    }
}

BatchSession::Next BatchSession::AfterFailure(DraftRecord& draft, const RuntimeError& error, const CallWatch& watch) {
    if (error.Kind() == FailureKind::LeaseLost) {
        // No failure of the draft's or the CAD system's: the draft is
        // another computer's now, and nobody is asked about it.
        draft.state = DraftState::Released;
        draft.error = error;
        draft.keptCopy = KeptCopyOf(error);
        return Next::NextDraft;
    }
    draft.state = DraftState::Failed;
    draft.error = error;
    draft.keptCopy = KeptCopyOf(error);
    // A call given up while a dialog stood open is named by it.
    draft.dialogLeftOpen = error.ServerGivenUp() ? watch.DialogLeftOpen() : std::nullopt;
    draft.replaced = ReplacedDraftOf(error);
    if (error.ServerLost()) {
        // A lost server gets no further call, not even the last one; the
        // next attempt starts a fresh session.
        server_.reset();
        if (++serverLossesInARow_ >= DraftBatch::kServerLossesInARow) {
            ended_ = true;
            run_.SessionEnded(BatchEnd::ServerKeptFailing, error,
                              L"session " + std::to_wstring(number_) + L" stopped on " +
                                  std::to_wstring(DraftBatch::kServerLossesInARow) + L" drafts in a row");
            return Next::EndSession;
        }
    } else {
        serverLossesInARow_ = 0;
    }
    if (run_.Stopping()) return Next::NextDraft;
    const FailureDecision decision = run_.AskAboutFailure(draft, error);
    switch (decision.choice) {
        case FailureDecision::Choice::TryAgain: return Next::TryAgain;
        case FailureDecision::Choice::Continue: return Next::NextDraft;
        case FailureDecision::Choice::Cancel: break;
    }
    run_.EndBatch(BatchEnd::Cancelled);
    return Next::NextDraft;
}

BatchSession::Next BatchSession::EnsureServer(std::int32_t index, CallWatch& watch) {
    if (server_) return Next::NextDraft;
    // A stop that came meanwhile starts nothing.
    if (run_.Stopping()) return Next::NextDraft;
    watch.SetTask(L"starting a session of Solid Edge");
    try {
        draftsThisSession_ = 0;
        server_ = launcher_.Launch();
        server_->Start(stop_, watch);
        TellStartNotices();
        return Next::NextDraft;
    } catch (const RuntimeError& error) {
        TellStartNotices();
        const std::optional<SessionLetGo> letGo = server_ ? server_->LetGoReason() : std::nullopt;
        // A server that started but refused its settings still ends its
        // work. One that is not this session's own was let go of before the
        // session held its object, so the last call cannot reach it.
        if (server_ && !error.ServerLost()) server_->Quit(watch);
        server_.reset();
        ended_ = true;
        if (run_.Stopping()) {
            // The start was cut short by the stop, or failed as the batch
            // stopped: no failure of the CAD system's, and the draft stays
            // not reached.
            run_.SessionEnded(std::nullopt, std::nullopt, std::wstring());
        } else if (error.Kind() == FailureKind::ForeignServer) {
            // Somebody's own session: let go of without a single call, and
            // no session of this batch goes on beside it.
            run_.EndBatch(BatchEnd::CadAlreadyRunning, letGo ? letGo : SessionLetGo::NotProven);
            run_.SessionEnded(std::nullopt, std::nullopt, std::wstring());
        } else if (error.Kind() == FailureKind::SharedServer) {
            handedBack_ = run_.SessionShared(index);
        } else {
            handedBack_ = run_.SessionEnded(BatchEnd::ServerCouldNotStart, error,
                                            L"session " + std::to_wstring(number_) + L" could not be started: " +
                                                DescribeError(error),
                                            index);
        }
        return Next::EndSession;
    }
}

void BatchSession::TellStartNotices() {
    if (!server_) return;
    for (const StartNotice notice : server_->TakeStartNotices()) run_.StartNoticed(number_, notice);
}

// Ends the session as planned once it has done its share or grown past its
// bound; the next draft starts a fresh one. The losses in a row stay as
// they are: this is no failure.
void BatchSession::RenewServerIfDue(CallWatch& watch) {
    if (!server_) return;
    std::wstring why;
    if (renewal_.everyDrafts > 0 && draftsThisSession_ >= renewal_.everyDrafts) {
        why = L"after " + std::to_wstring(draftsThisSession_) + L" drafts";
    } else if (renewal_.memoryBytes > 0) {
        const std::optional<std::uint64_t> used = server_->MemoryBytes();
        if (used && *used > renewal_.memoryBytes)
            why = L"its memory reached " + std::to_wstring(*used / (1024 * 1024)) + L" MB";
    }
    if (why.empty()) return;
    EndServer(watch);
    run_.SessionRenewed(why);
}

void BatchSession::EndServer(CallWatch& watch) {
    if (!server_) return;
    watch.SetTask(L"ending the session of Solid Edge");
    server_->Quit(watch);
    server_.reset();
}

}  // namespace kestrow
