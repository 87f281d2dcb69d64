#include "copies/CopyKeepingLauncher.h"

namespace kestrow {
namespace {

class CopyKeepingConnection : public ServerConnection {
public:
    CopyKeepingConnection(CopyKeepingLauncher& owner, std::unique_ptr<ServerConnection> inner)
        : owner_(owner), inner_(std::move(inner)) {}
    void Start(std::shared_ptr<const std::atomic<bool>> stop, CallWatch& watch) override {
        inner_->Start(std::move(stop), watch);
    }
    DraftOutcome UpdateDraft(const std::wstring& filePath, std::vector<DraftExport>& exports,
                             std::shared_ptr<const std::atomic<bool>> stop, std::shared_ptr<const StoreGuard> guard,
                             CallWatch& watch) override {
        return owner_.UpdateDraft(*inner_, filePath, exports, std::move(stop), std::move(guard), watch);
    }
    void Quit(CallWatch& watch) noexcept override { inner_->Quit(watch); }
    std::optional<std::uint64_t> MemoryBytes() override { return inner_->MemoryBytes(); }
    std::optional<std::uint32_t> ProcessId() override { return inner_->ProcessId(); }
    ServerProcessEnd QuitEnded() override { return inner_->QuitEnded(); }
    std::vector<StartNotice> TakeStartNotices() override { return inner_->TakeStartNotices(); }
    std::optional<SessionLetGo> LetGoReason() override { return inner_->LetGoReason(); }

private:
    CopyKeepingLauncher& owner_;
    std::unique_ptr<ServerConnection> inner_;
};

}  // namespace

std::optional<SessionLetGo> CopyKeepingLauncher::CadSystemInTheWay() {
    // A new batch: a copy kept by an earlier batch of this window is no
    // longer how the draft was before this one (the user may have mended it
    // since). That copy stays where the earlier batch's summary said.
    {
        const std::lock_guard<std::mutex> lock(keptMutex_);
        kept_.clear();
    }
    return inner_.CadSystemInTheWay();
}

std::unique_ptr<ServerConnection> CopyKeepingLauncher::Launch() {
    return std::make_unique<CopyKeepingConnection>(*this, inner_.Launch());
}

DraftOutcome CopyKeepingLauncher::UpdateDraft(ServerConnection& server, const std::wstring& filePath,
                                              std::vector<DraftExport>& exports,
                                              std::shared_ptr<const std::atomic<bool>> stop,
                                              std::shared_ptr<const StoreGuard> guard, CallWatch& watch) {
    // A stop that came first opens nothing, so there is nothing to copy.
    if (stop->load()) return server.UpdateDraft(filePath, exports, stop, guard, watch);
    const DraftCopy copy = CopyBeforeOpening(filePath);
    DraftOutcome outcome = DraftOutcome::Stopped;
    try {
        outcome = server.UpdateDraft(filePath, exports, stop, guard, watch);
    } catch (const RuntimeError& failure) {
        PutBackAfter(copy, failure);
        throw;
    } catch (...) {
        // A fault of Kestrow's own: the session closed the draft unstored
        // on its way out, so it is settled like any other failure.
        PutBackAfter(copy, RuntimeError(ErrorNumber::InternalError, kProgramSource, L"Kestrow itself failed."));
        throw;
    }
    if (outcome == DraftOutcome::Stored) {
        Settled(copy);
        return outcome;
    }
    // Closed without storing: the server let it go, so it can be put back.
    PutBackAfter(copy, RuntimeError(ErrorNumber::ObjectNotSet, kProgramSource, L"The drawing was closed without storing."));
    return outcome;
}

DraftCopy CopyKeepingLauncher::CopyBeforeOpening(const std::wstring& filePath) {
    if (std::optional<DraftCopy> earlier = KeptCopy(filePath)) return *earlier;
    try {
        return store_.Keep(filePath);
    } catch (const RuntimeError& error) {
        throw RuntimeError(error.Number(), error.Source(),
                           L"The drawing was not opened, as no copy of it could be kept first: " +
                               error.Description(),
                           FailureKind::Ordinary);
    }
}

void CopyKeepingLauncher::PutBackAfter(const DraftCopy& copy, const RuntimeError& failure) {
    if (failure.Kind() == FailureKind::LeaseLost) {
        LeaveToOthers(copy, failure);
        return;
    }
    const bool givenUp = failure.Kind() == FailureKind::ServerAbandonedRunning;
    if (givenUp) ProtectFromNowOn(copy.draftPath);
    if (Protected(copy.draftPath)) {
        // Writing under a process that may still hold the draft could itself
        // be overwritten, or fail halfway: the user decides once it is gone.
        Remember(copy);
        throw DraftNotPutBack(failure, copy.copyPath,
                              givenUp ? L"the Solid Edge that had it open may still be running, so it was not tried"
                                      : L"a Solid Edge that had it open earlier and was given up may still be "
                                        L"running, so it was not tried");
    }
    std::wstring replaced;
    try {
        if (!store_.Unchanged(copy)) replaced = store_.PutBack(copy);
    } catch (const RuntimeError& error) {
        Remember(copy);
        throw DraftNotPutBack(failure, copy.copyPath, error.Description());
    }
    if (replaced.empty()) {
        Settled(copy);
        return;
    }
    // Both versions stay, with their record, for the user to choose from.
    {
        const std::lock_guard<std::mutex> lock(keptMutex_);
        kept_.erase(copy.draftPath);
    }
    throw DraftPutBackOverChange(failure, ReplacedDraft{copy.copyPath, replaced});
}

// The draft is another computer's now: whatever it holds may be that
// computer's work, so nothing is written to it. Its copy goes when it is as
// it was; otherwise the copy stays, named, for the user to judge.
void CopyKeepingLauncher::LeaveToOthers(const DraftCopy& copy, const RuntimeError& failure) {
    bool unchanged = false;
    try {
        unchanged = store_.Unchanged(copy);
    } catch (const RuntimeError&) {
    }
    if (unchanged) {
        Settled(copy);
        return;
    }
    Remember(copy);
    throw DraftNotPutBack(failure, copy.copyPath,
                          L"it is no longer this computer's to write (another computer may be at work on it), so it "
                          L"was not tried");
}

void CopyKeepingLauncher::ProtectFromNowOn(const std::wstring& filePath) {
    const std::lock_guard<std::mutex> lock(keptMutex_);
    protected_.insert(filePath);
}

bool CopyKeepingLauncher::Protected(const std::wstring& filePath) {
    const std::lock_guard<std::mutex> lock(keptMutex_);
    return protected_.count(filePath) > 0;
}

std::optional<DraftCopy> CopyKeepingLauncher::KeptCopy(const std::wstring& filePath) {
    const std::lock_guard<std::mutex> lock(keptMutex_);
    const auto earlier = kept_.find(filePath);
    if (earlier == kept_.end()) return std::nullopt;
    return earlier->second;
}

void CopyKeepingLauncher::Remember(const DraftCopy& copy) {
    const std::lock_guard<std::mutex> lock(keptMutex_);
    kept_.insert_or_assign(copy.draftPath, copy);
}

// The draft is stored, or as it was before the batch: its copy goes.
void CopyKeepingLauncher::Settled(const DraftCopy& copy) {
    store_.Discard(copy);
    const std::lock_guard<std::mutex> lock(keptMutex_);
    kept_.erase(copy.draftPath);
}
}  // namespace kestrow
