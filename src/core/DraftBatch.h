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

#include "CadSession.h"
#include "CallWatch.h"
#include "RuntimeError.h"

namespace kestrow {

// A session of the server that runs somewhere, typically a thread of its
// own. Each step returns once its calls are done, or raises a RuntimeError
// of kind ServerAbandoned (or ServerAbandonedRunning) when `watch` gave up
// waiting for them. Start raises ForeignServer when the session turned out
// to be served by a process the run did not start.
class ServerConnection {
public:
    virtual ~ServerConnection() = default;
    virtual void Start(CallWatch& watch) = 0;
    // `stop` is shared, as the step may outlive the batch's wait for it.
    virtual DraftOutcome UpdateDraft(const std::wstring& filePath, std::shared_ptr<const std::atomic<bool>> stop,
                                     CallWatch& watch) = 0;
    virtual void Quit(CallWatch& watch) noexcept = 0;
    // The memory the server's process has committed, when it is known.
    virtual std::optional<std::uint64_t> MemoryBytes() { return std::nullopt; }
};

class ServerLauncher {
public:
    virtual ~ServerLauncher() = default;
    // The CAD system already runs as somebody's own session.
    virtual bool CadSystemRunning() = 0;
    virtual std::unique_ptr<ServerConnection> Launch() = 0;
};

enum class DraftState { NotReached, Stored, Failed };

struct DraftRecord {
    std::wstring name;  // as listed, relative to the batch's folder
    std::wstring path;  // the folder followed by the name
    DraftState state = DraftState::NotReached;
    std::optional<RuntimeError> error;  // why it failed, the last time it did
};

enum class BatchEnd {
    Completed,            // every listed draft was tried
    Cancelled,            // the user chose Cancel
    Stopped,              // a stop was asked for
    CadAlreadyRunning,    // the user's own session runs, or served a new session:
                          // it was not used, and the batch ended there
    ServerCouldNotStart,  // a session of the server could not be started
    ServerKeptFailing,    // the server was lost on several drafts in a row
};

struct BatchResult {
    std::vector<DraftRecord> drafts;
    BatchEnd end = BatchEnd::Completed;
    std::optional<RuntimeError> serverError;  // for the two server ends
    std::int32_t Count(DraftState state) const;
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
};

class DraftBatch {
public:
    // So many server losses in a row end the batch.
    static constexpr int kServerLossesInARow = 3;

    DraftBatch(const std::wstring& folderPath, const std::vector<std::wstring>& names, ServerLauncher& launcher,
               CallWatch::Policy watchPolicy);
    DraftBatch(const DraftBatch&) = delete;
    DraftBatch& operator=(const DraftBatch&) = delete;

    BatchResult Run(BatchUser& user, BatchProgress& progress);

    // From any thread: no new draft is started, the one in hand is closed
    // as it stands, and the server is told to end its work.
    void RequestStop() { *stop_ = true; }
    bool StopRequested() const { return stop_->load(); }

private:
    enum class Next { NextDraft, TryAgain, EndBatch };
    Next UpdateOne(DraftRecord& draft, BatchUser& user, CallWatch& watch, BatchResult& result);
    Next AfterFailure(DraftRecord& draft, const RuntimeError& error, BatchUser& user, BatchResult& result);
    bool EnsureServer(CallWatch& watch, BatchResult& result);
    void EndServer(CallWatch& watch);

    std::vector<DraftRecord> drafts_;
    ServerLauncher& launcher_;
    CallWatch::Policy watchPolicy_;
    std::unique_ptr<ServerConnection> server_;
    std::shared_ptr<std::atomic<bool>> stop_ = std::make_shared<std::atomic<bool>>(false);
    int serverLossesInARow_ = 0;
    bool continueAll_ = false;
};

}  // namespace kestrow
