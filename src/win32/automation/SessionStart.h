#pragma once
// The start of a session of the CAD system, from end to end, and the
// process taken as the session's. The start holds its turn (StartTurn)
// while it activates the server and for no longer. Which process serves the
// session is decided by what COM started for the activation: a process of
// the server's program that appeared during it with COM's launch switch on
// its command line, or the one the application object names
// (server/ServerOwnership). A process a user started is never recorded, put
// in the job, told to quit or ended.
#include <windows.h>

#include <atomic>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "automation/StartTurn.h"
#include "automation/StartedProcesses.h"
#include "server/Automation.h"
#include "batch/DraftBatch.h"
#include "system/Process.h"

namespace kestrow::win32 {

class SessionStart {
public:
    // How long a start waits for another start's turn before it goes ahead
    // on its own proof of which process is its own.
    static constexpr std::chrono::minutes kLongestWaitForTurn{10};

    SessionStart(std::wstring progId, std::shared_ptr<const StartTurns> turns,
                 std::shared_ptr<const EndingJob> job);
    SessionStart(const SessionStart&) = delete;
    SessionStart& operator=(const SessionStart&) = delete;

    // On the thread that runs the session's steps. Waits for the turn (no
    // hang of the server's: it counts against no time limit); false when
    // `stop` came first.
    bool Begin(const std::atomic<bool>& stop);
    // While the activation is pending: holds to the process it started as
    // soon as that one is known, so that a start that never returns can
    // still be ended.
    void LookForServer();
    // Gives the turn back: the start returned, failed or was given up, or
    // the user is asked whether to keep waiting for it. A process that
    // appears from then on is another start's.
    void GiveTurnBack();

    // On the thread that activates the server, around each try.
    void ActivationBegins();
    // The try failed: a process it started is held to, to be ended.
    void ActivationFailed();
    // The try returned an object: the facts on which the application object
    // may be asked its process (the ask is the caller's, made outside every
    // lock), once the command lines of what appeared could be read.
    StartFacts FactsOnReturn();
    // The facts of a look taken after that: what the verdict is made on.
    StartFacts FactsLookedAgain();
    // Takes the verdict's own process as the session's (recorded, in the
    // job), or holds to none; a process COM launched for a start handed to
    // another process is held to, serving nothing, only to be ended. Said
    // once per start.
    void Settle(const ServedVerdict& verdict);
    // A try failed and another follows: the process it started is ended.
    void Retrying();
    bool TurnGivenBack();

    // The session was given up: a process found from now on is ended at once.
    void GiveUp();
    // The process runs and serves the session, which was not given up.
    bool ServesRunning();
    // Ends the process unless it goes by itself within `graceMs`: how it
    // went (NotKnown when none is known).
    ServerProcessEnd EndProcess(DWORD graceMs);
    std::optional<std::uint64_t> MemoryBytes();
    std::optional<DWORD> ProcessId();
    std::vector<StartNotice> TakeNotices();
    // Why the session was let go of, once settled so.
    std::optional<SessionLetGo> LetGo();
    // Why the process proven the session's could not be held, once settled
    // so: "" when it is held.
    std::wstring NotHeld();

private:
    // With the lock held.
    void Look();
    // Holds to the process `id` names, or to none: why it could not, when
    // it names one.
    std::wstring HoldTo(std::optional<std::uint32_t> id);

    std::wstring progId_;
    std::shared_ptr<const StartTurns> turns_;
    std::shared_ptr<const EndingJob> job_;
    std::unique_ptr<StartTurn> turn_;  // the batch's thread only
    std::mutex mutex_;
    StartedProcesses processes_;
    std::optional<OwnedProcess> process_;
    bool activating_ = false;  // a try is under way: what appears may be its
    bool settled_ = false;     // its verdict is in: the process held is final
    bool givenUp_ = false;
    bool serves_ = true;  // false: the process held serves no session, and is only to be ended
    ULONGLONG nextLook_ = 0;
    std::vector<StartNotice> notices_;
    std::optional<SessionLetGo> letGo_;
    std::wstring notHeld_;
};

// Activates the server within its start: a try that fails because the
// server is unavailable or stopping (as for a while after a server was
// killed) is made again for up to 30 s. The object is judged by what COM
// started for it: one served by a process Kestrow cannot prove its own is
// released at once and gets no call; it raises SharedServer when nothing
// proved it its own while another session of the same batch has a server of
// its own running (a server registered for every client handed this
// activation to it), ForeignServer otherwise.
class StartingFactory : public AutomationFactory {
public:
    // `batchProcesses`: the processes of the batch's other sessions that
    // serve them.
    StartingFactory(AutomationFactory& inner, SessionStart& start, std::function<bool()> cancelled,
                    std::function<std::vector<std::uint32_t>()> batchProcesses)
        : inner_(inner), start_(start), cancelled_(std::move(cancelled)), batchProcesses_(std::move(batchProcesses)) {}
    AutomationRef CreateObject(const std::wstring& progId) override;

private:
    AutomationFactory& inner_;
    SessionStart& start_;
    std::function<bool()> cancelled_;
    std::function<std::vector<std::uint32_t>()> batchProcesses_;
};

}  // namespace kestrow::win32
