#pragma once
// Sessions of the CAD system's automation server, each on a thread of its
// own that is its own single-threaded apartment and owns every reference to
// its server. The batch waits for each step from another thread, so that it
// can give up on a server that stopped answering: the waiting thread is left
// behind (a pending COM call cannot be cancelled) and makes no further call
// of the contract when it wakes.
#include <windows.h>

#include <functional>
#include <memory>
#include <string>

#include "automation/ComAutomation.h"
#include "batch/DraftBatch.h"
#include "server/ObservedAutomation.h"
#include "system/Process.h"

namespace kestrow::win32 {

class SessionThreadLauncher : public ServerLauncher {
public:
    // `observer`, when given, is told of every call too (on the server's
    // thread), as benchmarks time them; it must outlive every session the
    // launcher started. `dialogPictures` names the folder where pictures of
    // the CAD system's dialogs are kept (made when first asked for; "" keeps
    // none).
    explicit SessionThreadLauncher(BusyRetry retry = {}, CallObserver* observer = nullptr,
                                   std::function<std::wstring()> dialogPictures = {});
    // An observer shared with the sessions' threads, so that a thread left
    // behind on a hung call still reaches it when it wakes, however long after.
    SessionThreadLauncher(BusyRetry retry, std::shared_ptr<CallObserver> observer,
                          std::function<std::wstring()> dialogPictures);
    ~SessionThreadLauncher() override;
    // Needs COM on the calling thread.
    std::optional<SessionLetGo> CadSystemInTheWay() override;
    std::unique_ptr<ServerConnection> Launch() override;

private:
    BusyRetry retry_;
    std::shared_ptr<CallObserver> observer_;
    std::function<std::wstring()> dialogPictures_;
    // Every server this launcher started ends with it at the latest.
    std::shared_ptr<const EndingJob> job_ = std::make_shared<EndingJob>();
    std::shared_ptr<struct LaunchedServers> launched_;
};

}  // namespace kestrow::win32
