#pragma once
// Puts a copy of each draft aside before its server opens it, and decides
// afterwards: a draft stored by a call that returned success loses its copy;
// any other draft is put back from its copy once nothing of Kestrow's holds
// it any more, so that it is byte for byte as it was before the batch.
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <set>
#include <string>

#include "batch/DraftBatch.h"
#include "copies/DraftCopies.h"

namespace kestrow {

class CopyKeepingLauncher : public ServerLauncher {
public:
    CopyKeepingLauncher(ServerLauncher& inner, DraftCopyStore& store) : inner_(inner), store_(store) {}
    CopyKeepingLauncher(const CopyKeepingLauncher&) = delete;
    CopyKeepingLauncher& operator=(const CopyKeepingLauncher&) = delete;

    // Asked once as each batch starts.
    std::optional<SessionLetGo> CadSystemInTheWay() override;
    std::unique_ptr<ServerConnection> Launch() override;

    // One draft's attempt, around the server's own step.
    DraftOutcome UpdateDraft(ServerConnection& server, const std::wstring& filePath, std::vector<DraftExport>& exports,
                             std::shared_ptr<const std::atomic<bool>> stop, std::shared_ptr<const StoreGuard> guard,
                             CallWatch& watch);

private:
    DraftCopy CopyBeforeOpening(const std::wstring& filePath);
    // After `failure`, or a close without storing: puts the draft back if
    // it changed. Raises the failure with more to say when the draft was not
    // put back (DraftNotPutBack) or was put back over other bytes
    // (DraftPutBackOverChange); returns when it is as it was.
    void PutBackAfter(const DraftCopy& copy, const RuntimeError& failure);
    // After a draft's lease was lost: nothing is written to it.
    void LeaveToOthers(const DraftCopy& copy, const RuntimeError& failure);
    // A process that was given up while it had the draft open may still
    // run: nothing is written to the draft from then on.
    void ProtectFromNowOn(const std::wstring& filePath);
    bool Protected(const std::wstring& filePath);

    // The kept copies are shared by the sessions that work at once.
    std::optional<DraftCopy> KeptCopy(const std::wstring& filePath);
    void Remember(const DraftCopy& copy);
    void Settled(const DraftCopy& copy);

    ServerLauncher& inner_;
    DraftCopyStore& store_;
    std::mutex keptMutex_;
    // Copies that could not be put back, by draft: a later attempt at the
    // same draft keeps comparing with how it was before the batch, not with
    // what an earlier attempt left.
    std::map<std::wstring, DraftCopy> kept_;
    // Drafts a given-up process may still hold, for as long as this
    // launcher lives: a Try Again, or a later batch of the window, runs in a
    // fresh session while that process may still write.
    std::set<std::wstring> protected_;
};

}  // namespace kestrow
