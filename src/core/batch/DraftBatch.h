#pragma once
// The batch update: a list of drafts of its own, walked from the first to
// the last through a session of the CAD system's automation server. It
// decides everything about the batch (when a server starts, what a failure
// means, when to ask and when to stop) and leaves the rest to the ports
// below: where the server's calls run, and who answers its questions.
#include <atomic>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "batch/CadDialog.h"
#include "batch/CadSession.h"
#include "batch/CallWatch.h"
#include "batch/DraftNotPutBack.h"
#include "batch/DraftSource.h"
#include "server/SessionLetGo.h"
#include "common/RuntimeError.h"
#include "exports/DraftExports.h"
#include "listing/FileIdentity.h"

namespace kestrow {

// What a session's start leaves for the run to tell: how it took its turn
// among the starts of the computer.
enum class StartNotice {
    TurnNotComputerWide,  // no turn with every Kestrow of the computer: starts may overlap
    StartedWithoutTurn,   // another start held the turn past the bound: started without it
};


// How the process that served a session went once the session was told to
// end its work.
enum class ServerProcessEnd {
    NotKnown,        // no process was known as the session's, or it was not told yet
    ByItself,        // it ended within the while it is given
    EndedByKestrow,  // it did not, and Kestrow ended it
    StillRuns,       // it did not, and it could not be ended
};

// A session of the server that runs somewhere, typically a thread of its
// own. Each step returns once its calls are done, or raises a RuntimeError
// of kind ServerAbandoned (or ServerAbandonedRunning) when `watch` gave up
// waiting for them. Start raises ForeignServer when the session was let go
// of (LetGoReason says why); a `stop` that comes before the server is asked
// for leaves it unstarted, without an error.
class ServerConnection {
public:
    virtual ~ServerConnection() = default;
    virtual void Start(std::shared_ptr<const std::atomic<bool>> stop, CallWatch& watch) = 0;
    // `stop` is shared, as the step may outlive the batch's wait for it.
    // `exports` are made once the views are updated, before the store (see
    // CadSession::UpdateDraft); each comes back made or failed. `guard`, when
    // given, may refuse the store (and every call before it) once the draft
    // is no longer this run's: the step then raises a LeaseLost error.
    virtual DraftOutcome UpdateDraft(const std::wstring& filePath, std::vector<DraftExport>& exports,
                                     std::shared_ptr<const std::atomic<bool>> stop,
                                     std::shared_ptr<const StoreGuard> guard, CallWatch& watch) = 0;
    virtual void Quit(CallWatch& watch) noexcept = 0;
    // The memory the server's process has committed, when it is known.
    virtual std::optional<std::uint64_t> MemoryBytes() { return std::nullopt; }
    // The process proven the session's own, while it is known.
    virtual std::optional<std::uint32_t> ProcessId() { return std::nullopt; }
    // How that process went at the last Quit.
    virtual ServerProcessEnd QuitEnded() { return ServerProcessEnd::NotKnown; }
    // What its start left to tell (after Start, whether it returned or
    // raised); each notice is handed over once.
    virtual std::vector<StartNotice> TakeStartNotices() { return {}; }
    // Why its start let go of the session, after Start raised ForeignServer.
    virtual std::optional<SessionLetGo> LetGoReason() { return std::nullopt; }
    // Why the process proven the session's is not known (ProcessId gives
    // none), when the start returned: "" when it is.
    virtual std::wstring ProcessNotHeldWhy() { return std::wstring(); }
};

class ServerLauncher {
public:
    virtual ~ServerLauncher() = default;
    // Why no session may be started now: the CAD system runs, or is
    // starting, as somebody's own session, or Kestrow cannot tell its own
    // sessions from a user's. None when a start may go ahead.
    virtual std::optional<SessionLetGo> CadSystemInTheWay() = 0;
    virtual std::unique_ptr<ServerConnection> Launch() = 0;
};

enum class DraftState {
    NotReached,
    Stored,
    Failed,
    // Taken from a shared night, then given back unstored as this run's
    // lease on it lapsed or was taken: another computer does it.
    Released,
};

struct DraftRecord {
    std::wstring name;  // as listed, relative to the batch's folder
    std::wstring path;  // the folder followed by the name
    DraftState state = DraftState::NotReached;
    std::optional<RuntimeError> error;  // why it failed, the last time it did
    // Failed, and may differ from how it was before the batch: its copy from
    // before is kept here.
    std::optional<std::wstring> keptCopy;
    // Failed and put back over bytes that differed from its copy: where both
    // versions are kept.
    std::optional<ReplacedDraft> replaced;
    std::int32_t session = 0;  // the session that took it, from 1
    // The dialog the CAD system had left open when its call was given up.
    std::optional<CadDialog> dialogLeftOpen{};
    // Another name of the same file, listed before this one: the batch did
    // the file under that name, and this one shares its fate. "" for most.
    std::wstring doneUnder;
    // Stored: its exports, each in place or failed. Empty otherwise.
    std::vector<DraftExport> exports;
};

enum class BatchEnd {
    Completed,            // every listed draft was tried
    Cancelled,            // the user chose Cancel
    Stopped,              // a stop was asked for
    CadAlreadyRunning,    // the user's own session runs, or a session was let go of
                          // (BatchResult::letGo says why): the batch ended there
    ServerCouldNotStart,  // a session of the server could not be started
    ServerKeptFailing,    // the server was lost on several drafts in a row
    KestrowFailed,        // a fault of Kestrow's own ended the batch
};

struct BatchResult {
    std::vector<DraftRecord> drafts;
    BatchEnd end = BatchEnd::Completed;
    std::optional<RuntimeError> serverError;  // for the two server ends
    std::wstring kestrowFailure;              // what Kestrow's own failure said
    std::optional<SessionLetGo> letGo;        // CadAlreadyRunning: why
    std::int32_t Count(DraftState state) const;
    // The exports of the stored drafts in that state.
    std::int32_t CountExports(DraftExport::State state) const;
};

struct FailureDecision {
    enum class Choice { Cancel, TryAgain, Continue };
    Choice choice = Choice::Cancel;
    bool sameForRemaining = false;  // counts with Continue only
};

// The decisions a person makes during a batch, or an unattended policy.
class BatchUser {
public:
    virtual ~BatchUser() = default;
    virtual FailureDecision DraftFailed(const DraftRecord& draft, const RuntimeError& error) = 0;
    // The server has not answered for `secondsWaited`: true keeps waiting.
    virtual bool KeepWaiting(std::int64_t secondsWaited, const std::wstring& task) = 0;
};

class BatchProgress {
public:
    virtual ~BatchProgress() = default;
    virtual void DraftStarting(std::int32_t index, std::int32_t count, const DraftRecord& draft) = 0;
    virtual void DraftEnded(std::int32_t index, std::int32_t count, const DraftRecord& draft) = 0;
    // A session was ended as planned, to be replaced by a fresh one for the
    // next draft; `why` says what called for it.
    virtual void SessionRenewed(const std::wstring& why) { (void)why; }
    // A session ended for good while others go on: `running` are left.
    virtual void SessionsReduced(std::int32_t running, const std::wstring& why) {
        (void)running;
        (void)why;
    }
    // The CAD system served several sessions from one process (it is
    // registered for every client): the batch goes on with those that have
    // a process of their own. Told once.
    virtual void SessionsShareOneProcess() {}
    // The CAD system showed a dialog while it worked on `draft` (or started
    // a session for it); `action` says what was done about it.
    virtual void DialogShown(const DraftRecord& draft, const CadDialog& dialog, const std::wstring& action) {
        (void)draft;
        (void)dialog;
        (void)action;
    }
    // Something about the start of `session` (from 1) that the run's output
    // tells; a notice about every start (the turn) is told once a batch.
    virtual void StartNoticed(std::int32_t session, StartNotice notice) {
        (void)session;
        (void)notice;
    }
};

// When a session that has been working for long is replaced by a fresh one:
// after so many drafts tried, or once its server's memory passes a bound.
// Zero turns either off. A planned renewal is no failure of the server.
struct RenewalPolicy {
    std::int64_t everyDrafts = 0;
    std::uint64_t memoryBytes = 0;
};

class DraftBatch {
public:
    // So many server losses in a row end a session.
    static constexpr int kServerLossesInARow = 3;
    static constexpr std::int32_t kMaxSessions = 8;

    DraftBatch(const std::wstring& folderPath, const std::vector<std::wstring>& names, ServerLauncher& launcher,
               CallWatch::Policy watchPolicy);
    DraftBatch(const DraftBatch&) = delete;
    DraftBatch& operator=(const DraftBatch&) = delete;

    void SetRenewal(RenewalPolicy renewal) { renewal_ = renewal; }
    // The file behind each name, in the order of the names (an unknown one
    // is nobody's twin). A name whose file came earlier in the list under
    // another name is not done again: it shares that name's fate, so that
    // no two sessions ever hold one file and no attempt undoes another's.
    void SetFiles(const std::vector<FileIdentity>& files);
    // How many sessions of the CAD system work at once, from 1 to
    // kMaxSessions: the first on the thread that runs the batch, each other
    // on a thread of its own. They take the drafts in list order.
    void SetSessions(std::int32_t sessions);
    // How the CAD system's dialogs are answered during its calls.
    void SetAnswers(std::vector<AnswerRule> answers) { watchPolicy_.answers = std::move(answers); }
    // The formats each draft is also saved as, and where; none by default.
    void SetExports(const ExportRequest& request, ExportFiles& files);
    // The drafts come from `source` as sessions come free, not in list
    // order: the list holds every draft the source may hand out, and only
    // those it hands out are this batch's. None by default.
    void SetSource(DraftSource& source) { source_ = &source; }

    // Questions and progress may come from any of the sessions' threads;
    // questions come one at a time.
    BatchResult Run(BatchUser& user, BatchProgress& progress);

    // From any thread: no new draft is started, the one in hand is closed
    // as it stands, and the server is told to end its work.
    void RequestStop() { *stop_ = true; }
    bool StopRequested() const { return stop_->load(); }

private:
    std::wstring folder_;
    std::vector<DraftRecord> drafts_;
    ServerLauncher& launcher_;
    CallWatch::Policy watchPolicy_;
    RenewalPolicy renewal_;
    std::int32_t sessions_ = 1;
    std::unique_ptr<DraftExporter> exporter_;
    DraftSource* source_ = nullptr;
    std::shared_ptr<std::atomic<bool>> stop_ = std::make_shared<std::atomic<bool>>(false);
};

}  // namespace kestrow
