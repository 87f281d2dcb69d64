#include "automation/SessionThread.h"

#include <algorithm>
#include <exception>
#include <functional>
#include <mutex>
#include <optional>
#include <thread>

#include "automation/DialogWatch.h"
#include "automation/SessionRecords.h"
#include "automation/SessionStart.h"
#include "automation/StartedProcesses.h"
#include "server/AutomationContract.h"
#include "batch/CallGate.h"
#include "batch/PendingCall.h"
#include "system/ComApartment.h"
#include "system/KernelHandle.h"

namespace kestrow::win32 {
// Named rather than anonymous: the launcher in the header keeps a list of
// these sessions.
namespace session_thread {

using Clock = CallWatch::Clock;

// How often the waiting side looks at the call in hand.
constexpr DWORD kWatchIntervalMs = 20;
// A call pending for so long may be waiting on a dialog of the CAD system;
// from then on its windows are looked at every so often.
constexpr auto kDialogsAfter = std::chrono::milliseconds(1000);
constexpr auto kDialogLookInterval = std::chrono::milliseconds(200);
bool Gone(ServerProcessEnd end) {
    return end == ServerProcessEnd::ByItself || end == ServerProcessEnd::EndedByKestrow;
}

// How long a server told to end its work (40) gets to be gone before it is
// ended; a lost server gets a shorter while to finish going.
constexpr DWORD kQuitGraceMs = 30000;
constexpr DWORD kLostGraceMs = 3000;

// What the batch's thread and the server's thread share. The server's
// thread keeps it alive for as long as it runs, abandoned or not.
struct SharedState : CallObserver {
    SharedState(std::shared_ptr<const StartTurns> turns, std::shared_ptr<const EndingJob> job)
        : start(contract::kProgId, std::move(turns), std::move(job)) {}

    std::mutex mutex;
    KernelHandle wake{CreateEventW(nullptr, FALSE, FALSE, nullptr)};  // a step, or the end
    KernelHandle done{CreateEventW(nullptr, FALSE, FALSE, nullptr)};  // the step is done
    std::function<void(CadSession&)> job;  // the step to run next
    bool closing = false;
    std::exception_ptr failure;
    std::atomic<bool> abandoned{false};
    std::shared_ptr<const std::atomic<bool>> stop;  // the batch's, set before the first step
    PendingCall pending;
    CallGate gate;
    std::shared_ptr<CallObserver> extra;
    // The start, and then the process that serves the session.
    SessionStart start;

    // A call that returns after its session was given up is no longer the
    // caller's: the observer shared with other sessions hears nothing of it.
    void CallStarted() override {
        pending.Started();
        if (extra && !abandoned) extra->CallStarted();
    }
    void CallEnded() override {
        pending.Ended();
        if (extra && !abandoned) extra->CallEnded();
    }
    void Invoking(std::int32_t dispatchId, InvokeKind kind, const std::vector<AutomationArg>& args) override {
        if (extra && !abandoned) extra->Invoking(dispatchId, kind, args);
    }
    void Other(ObservedCallKind kind) override {
        if (extra && !abandoned) extra->Other(kind);
    }
    // A start gone on for nothing: the session was given up, or the batch stops.
    bool Cancelled() {
        if (abandoned) return true;
        std::lock_guard<std::mutex> lock(mutex);
        return stop && stop->load();
    }
};

}  // namespace session_thread

using namespace session_thread;

// The sessions one launcher started, so that an activation handed to the
// process of another session of the same batch can be told from one handed
// to somebody else's.
struct LaunchedServers {
    // The turn every start of this launcher takes, as every other Kestrow's.
    std::shared_ptr<const StartTurns> turns = std::make_shared<StartTurns>();
    std::mutex mutex;
    std::vector<std::weak_ptr<session_thread::SharedState>> sessions;

    void Add(const std::shared_ptr<SharedState>& session) {
        std::lock_guard<std::mutex> lock(mutex);
        sessions.erase(std::remove_if(sessions.begin(), sessions.end(),
                                      [](const std::weak_ptr<SharedState>& s) { return s.expired(); }),
                       sessions.end());
        sessions.push_back(session);
    }
    // The processes of the sessions other than `self` that run and serve them.
    std::vector<std::uint32_t> OtherProcesses(const SharedState* self) {
        std::lock_guard<std::mutex> lock(mutex);
        std::vector<std::uint32_t> processes;
        for (const auto& weak : sessions) {
            const std::shared_ptr<SharedState> session = weak.lock();
            if (!session || session.get() == self || !session->start.ServesRunning()) continue;
            if (const std::optional<DWORD> id = session->start.ProcessId()) processes.push_back(*id);
        }
        return processes;
    }
};

namespace {

// Runs the steps it is given on its own single-threaded apartment.
void ServeSteps(std::shared_ptr<SharedState> shared, BusyRetry retry, std::shared_ptr<LaunchedServers> launched) {
    const ThreadApartment apartment;
    {
        ComAutomationFactory com(retry);
        ObservedFactory observed(com, *shared);
        // Outside the observer, so that a call held at the gate is not
        // counted as pending at the server; inside the start, so that the
        // question a fresh server is asked (its process) waits there too.
        GatedFactory gated(observed, shared->gate);
        SharedState& self = *shared;
        // Outside the observer, so that the wait between two tries is not
        // counted as a call pending at the server.
        StartingFactory starting(
            gated, shared->start, [&self] { return self.Cancelled(); },
            [&self, launched] { return launched->OtherProcesses(&self); });
        CadSession session(starting, shared->abandoned);
        for (;;) {
            std::function<void(CadSession&)> job;
            {
                std::unique_lock<std::mutex> lock(shared->mutex);
                if (shared->job) {
                    job = std::move(shared->job);
                    shared->job = nullptr;
                } else if (shared->closing || shared->abandoned) {
                    break;
                }
            }
            if (!job) {
                // A single-threaded apartment dispatches its messages while
                // it waits.
                HANDLE wake = shared->wake.get();
                MsgWaitForMultipleObjects(1, &wake, FALSE, INFINITE, QS_ALLINPUT);
                MSG message;
                while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) DispatchMessageW(&message);
                continue;
            }
            std::exception_ptr failure;
            try {
                job(session);
            } catch (...) {
                failure = std::current_exception();
            }
            {
                std::lock_guard<std::mutex> lock(shared->mutex);
                shared->failure = failure;
            }
            SetEvent(shared->done.get());
        }
        // The session's references are released here; an abandoned server
        // gets nothing else.
    }
}

class SessionThread : public ServerConnection {
public:
    SessionThread(BusyRetry retry, std::shared_ptr<CallObserver> observer, std::shared_ptr<const EndingJob> job,
                  std::shared_ptr<LaunchedServers> launched, std::function<std::wstring()> dialogPictures)
        : shared_(std::make_shared<SharedState>(launched->turns, std::move(job))), dialogs_(std::move(dialogPictures)) {
        shared_->extra = std::move(observer);
        launched->Add(shared_);
        thread_ = std::thread(ServeSteps, shared_, retry, std::move(launched));
    }
    ~SessionThread() override {
        if (thread_.joinable()) {
            {
                std::lock_guard<std::mutex> lock(shared_->mutex);
                shared_->closing = true;
            }
            SetEvent(shared_->wake.get());
            thread_.join();
        }
        // A server that was lost, or refused, outlives none of this.
        shared_->start.EndProcess(kLostGraceMs);
    }

    void Start(std::shared_ptr<const std::atomic<bool>> stop, CallWatch& watch) override {
        {
            std::lock_guard<std::mutex> lock(shared_->mutex);
            shared_->stop = stop;
        }
        // A stop while it waits for its turn starts nothing.
        if (!shared_->start.Begin(*stop)) return;
        // The turn goes on to the next start however this one ends, given
        // up included: the thread that activates may never come back. Nor
        // does it wait for the user's answer about a start that hangs: that
        // may take all night.
        struct TurnBack {
            SessionStart& start;
            CallWatch& watch;
            ~TurnBack() {
                watch.SetBeforeAsking(nullptr);
                start.GiveTurnBack();
            }
        } turnBack{shared_->start, watch};
        watch.SetBeforeAsking([&start = shared_->start] { start.GiveTurnBack(); });
        Run([](CadSession& session) { session.Start(); }, watch, Starting::Yes);
    }

    DraftOutcome UpdateDraft(const std::wstring& filePath, std::vector<DraftExport>& exports,
                             std::shared_ptr<const std::atomic<bool>> stop, std::shared_ptr<const StoreGuard> guard,
                             CallWatch& watch) override {
        // Everything the step touches is its own: a step given up on may
        // still finish long after this returned. Its exports come back only
        // from a step that ended.
        struct Step {
            DraftOutcome outcome = DraftOutcome::Stopped;
            std::vector<DraftExport> exports;
        };
        auto step = std::make_shared<Step>();
        step->exports = exports;
        Run([step, path = filePath, stop, guard](CadSession& session) mutable {
                step->outcome = session.UpdateDraft(path, step->exports, *stop, guard.get());
            },
            watch);
        exports = step->exports;
        return step->outcome;
    }

    void Quit(CallWatch& watch) noexcept override {
        try {
            Run([](CadSession& session) { session.Quit(); }, watch);
        } catch (...) {
        }
        const ServerProcessEnd end = shared_->start.EndProcess(kQuitGraceMs);
        // A quit given up ended the process already.
        quitEnded_ = end == ServerProcessEnd::NotKnown && shared_->abandoned ? endedWhenGivenUp_ : end;
    }

    std::optional<std::uint64_t> MemoryBytes() override {
        return shared_->start.MemoryBytes();
    }

    std::optional<std::uint32_t> ProcessId() override { return shared_->start.ProcessId(); }
    ServerProcessEnd QuitEnded() override { return quitEnded_; }

    std::vector<StartNotice> TakeStartNotices() override { return shared_->start.TakeNotices(); }
    std::optional<SessionLetGo> LetGoReason() override { return shared_->start.LetGo(); }
    std::wstring ProcessNotHeldWhy() override { return shared_->start.NotHeld(); }

private:
    enum class Starting { No, Yes };

    // Hands a step to the server's thread and waits for it, consulting the
    // watch while a call is pending; a start looks for its server meanwhile.
    void Run(std::function<void(CadSession&)> step, CallWatch& watch, Starting starting = Starting::No) {
        {
            std::lock_guard<std::mutex> lock(shared_->mutex);
            shared_->job = std::move(step);
            shared_->failure = nullptr;
        }
        SetEvent(shared_->wake.get());
        while (WaitForSingleObject(shared_->done.get(), kWatchIntervalMs) != WAIT_OBJECT_0) {
            if (starting == Starting::Yes) shared_->start.LookForServer();
            const std::optional<Clock::time_point> started = shared_->pending.Since();
            if (!started) continue;
            LookForDialogs(*started, watch);
            // Whatever the user is asked, the server gets no further call
            // until the answer.
            shared_->gate.Close();
            const bool keepWaiting = watch.KeepWaiting(*started);
            // The step may have ended while the user was being asked.
            if (keepWaiting || WaitForSingleObject(shared_->done.get(), 0) == WAIT_OBJECT_0) {
                shared_->gate.Open();
                if (keepWaiting) continue;
                break;
            }
            throw Abandon(watch);
        }
        std::exception_ptr failure;
        {
            std::lock_guard<std::mutex> lock(shared_->mutex);
            failure = shared_->failure;
        }
        if (!failure) return;
        try {
            std::rethrow_exception(failure);
        } catch (const RuntimeError& error) {
            if (error.Kind() != FailureKind::ServerGone) throw;
            // A server whose connection broke may still run, and hold the
            // draft in hand: nothing may put the draft back until it is
            // gone. One that will not end, or whose process is not known,
            // is reported as still running.
            if (Gone(shared_->start.EndProcess(kLostGraceMs))) throw;
            throw RuntimeError(error.Number(), error.Source(), error.Description(),
                               FailureKind::ServerAbandonedRunning);
        }
    }

    void LookForDialogs(Clock::time_point callStarted, CallWatch& watch) {
        const Clock::time_point now = Clock::now();
        if (now - callStarted < kDialogsAfter || now < nextDialogLook_) return;
        nextDialogLook_ = now + kDialogLookInterval;
        if (const std::optional<DWORD> process = shared_->start.ProcessId()) dialogs_.Look(*process, watch, callStarted);
    }

    // Gives the server up: its thread is left behind, its process ended.
    // A dialog it left open names the failure.
    RuntimeError Abandon(const CallWatch& watch) {
        shared_->abandoned = true;
        shared_->gate.ShutForGood();
        thread_.detach();
        shared_->start.GiveUp();
        endedWhenGivenUp_ = shared_->start.EndProcess(0);
        const bool ended = Gone(endedWhenGivenUp_);
        std::wstring description = ended ? L"Solid Edge did not answer; Kestrow gave up on it and ended it"
                                         : L"Solid Edge did not answer, and Kestrow gave up on it";
        if (const std::optional<CadDialog>& dialog = watch.DialogLeftOpen()) {
            description = DialogShownText(*dialog) + L" and did not answer; Kestrow gave up on it" +
                          (ended ? L" and ended it" : L"");
        }
        return RuntimeError(static_cast<long>(RPC_E_CALL_CANCELED), kProgramSource, description,
                            ended ? FailureKind::ServerAbandoned : FailureKind::ServerAbandonedRunning);
    }

    std::shared_ptr<SharedState> shared_;
    std::thread thread_;
    DialogWatch dialogs_;
    Clock::time_point nextDialogLook_{};
    ServerProcessEnd quitEnded_ = ServerProcessEnd::NotKnown;
    ServerProcessEnd endedWhenGivenUp_ = ServerProcessEnd::NotKnown;
};

}  // namespace

SessionThreadLauncher::SessionThreadLauncher(BusyRetry retry, CallObserver* observer,
                                             std::function<std::wstring()> dialogPictures)
    // Not owned: the caller keeps it alive.
    : SessionThreadLauncher(retry, std::shared_ptr<CallObserver>(std::shared_ptr<CallObserver>(), observer),
                            std::move(dialogPictures)) {}

SessionThreadLauncher::SessionThreadLauncher(BusyRetry retry, std::shared_ptr<CallObserver> observer,
                                             std::function<std::wstring()> dialogPictures)
    : retry_(retry), observer_(std::move(observer)), dialogPictures_(std::move(dialogPictures)),
      launched_(std::make_shared<LaunchedServers>()) {}

SessionThreadLauncher::~SessionThreadLauncher() = default;

std::optional<SessionLetGo> SessionThreadLauncher::CadSystemInTheWay() {
    // Sessions a Kestrow left behind when it was ended abruptly are not the
    // user's: they are ended first, and only what remains counts.
    EndLeftoverSessions();
    // The same rule as a start's, before one: a session a user started that
    // has not yet entered the running objects (it is still starting) counts
    // as much as one that has.
    std::optional<StartedProcesses> processes = StartedProcesses::OfRegisteredServer(contract::kProgId);
    // Nothing registered: the start itself says so.
    if (!processes) return std::nullopt;
    processes->StartBegins();
    const StartFacts facts = processes->Facts();
    if (!facts.imageKnown) return SessionLetGo::ProgramNotKnown;
    if (UserSessionSeen(facts) || ActiveObjectExists(contract::kProgId)) return SessionLetGo::UsersSession;
    return std::nullopt;
}

std::unique_ptr<ServerConnection> SessionThreadLauncher::Launch() {
    return std::make_unique<SessionThread>(retry_, observer_, job_, launched_, dialogPictures_);
}

}  // namespace kestrow::win32
