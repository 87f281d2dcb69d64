#include "automation/ApartmentServer.h"

#include <algorithm>
#include <exception>
#include <functional>
#include <mutex>
#include <optional>
#include <thread>

#include "automation/ServerActivation.h"
#include "automation/SessionRecords.h"
#include "batch/AutomationContract.h"
#include "batch/CallGate.h"
#include "batch/PendingCall.h"
#include "system/ComApartment.h"
#include "system/KernelHandle.h"

namespace kestrow::win32 {
// Named rather than anonymous: the launcher in the header keeps a list of
// these sessions.
namespace apartment {

using Clock = CallWatch::Clock;

// How often the waiting side looks at the call in hand.
constexpr DWORD kWatchIntervalMs = 20;
// How long a server told to end its work (40) gets to be gone before it is
// ended; a lost server gets a shorter while to finish going.
constexpr DWORD kQuitGraceMs = 30000;
constexpr DWORD kLostGraceMs = 3000;
// How long an ended process gets to be gone.
constexpr DWORD kEndWaitMs = 10000;

// What the batch's thread and the server's thread share. The server's
// thread keeps it alive for as long as it runs, abandoned or not.
struct Shared : CallObserver {
    std::mutex mutex;
    KernelHandle wake{CreateEventW(nullptr, FALSE, FALSE, nullptr)};  // a step, or the end
    KernelHandle done{CreateEventW(nullptr, FALSE, FALSE, nullptr)};  // the step is done
    std::function<void(CadSession&)> job;  // the step to run next
    bool closing = false;
    std::exception_ptr failure;
    std::atomic<bool> abandoned{false};
    PendingCall pending;
    CallGate gate;
    CallObserver* extra = nullptr;
    std::shared_ptr<const EndingJob> endingJob;  // outlives a launcher gone meanwhile

    // The process that serves the session, once the activation found it.
    std::mutex processMutex;
    std::optional<OwnedProcess> process;

    void CallStarted() override {
        pending.Started();
        if (extra) extra->CallStarted();
    }
    void CallEnded() override {
        pending.Ended();
        if (extra) extra->CallEnded();
    }

    void Found(ActivationOutcome&& outcome) {
        if (!outcome.process) return;
        std::lock_guard<std::mutex> lock(processMutex);
        // Checked under the lock that a give-up takes too: given up while it
        // was starting, it never gets to serve.
        if (abandoned) {
            outcome.process->End(kEndWaitMs);
            return;
        }
        RecordSession(outcome.process->Identity());
        endingJob->Add(*outcome.process);
        process = std::move(outcome.process);
    }

    // Whether a process is known to serve the session.
    bool KnowsProcess() {
        std::lock_guard<std::mutex> lock(processMutex);
        return process.has_value();
    }

    // Ends the server's process unless it goes by itself within `graceMs`.
    // False when there is no process known to end, or it would not end.
    bool EndProcess(DWORD graceMs) {
        std::lock_guard<std::mutex> lock(processMutex);
        if (!process) return false;
        if (!process->WaitForEnd(graceMs) && !process->End(kEndWaitMs)) return false;
        ForgetSession(process->Identity());
        process.reset();
        return true;
    }
};

}  // namespace apartment

using namespace apartment;

// The sessions one launcher started, so that an activation handed to the
// process of another session of the same batch can be told from one handed
// to somebody else's.
struct LaunchedServers {
    std::mutex activation;  // one activation at a time
    std::mutex mutex;
    std::vector<std::weak_ptr<apartment::Shared>> sessions;

    void Add(const std::shared_ptr<Shared>& session) {
        std::lock_guard<std::mutex> lock(mutex);
        sessions.erase(std::remove_if(sessions.begin(), sessions.end(),
                                      [](const std::weak_ptr<Shared>& s) { return s.expired(); }),
                       sessions.end());
        sessions.push_back(session);
    }
    // Whether a session other than `self` has a server process that runs.
    bool OtherServes(const Shared* self) {
        std::lock_guard<std::mutex> lock(mutex);
        for (const auto& weak : sessions) {
            const std::shared_ptr<Shared> session = weak.lock();
            if (!session || session.get() == self || session->abandoned) continue;
            std::lock_guard<std::mutex> processLock(session->processMutex);
            if (session->process && session->process->Running()) return true;
        }
        return false;
    }
};

namespace {

// The sessions of one batch activate their servers one at a time, however
// long a start takes: the turn between Kestrows has a time limit, this one
// has none, so that no session sees another's server appear as its own.
class TakingTurns : public AutomationFactory {
public:
    TakingTurns(AutomationFactory& inner, std::mutex& turn) : inner_(inner), turn_(turn) {}
    AutomationRef CreateObject(const std::wstring& progId) override {
        std::lock_guard<std::mutex> lock(turn_);
        return inner_.CreateObject(progId);
    }

private:
    AutomationFactory& inner_;
    std::mutex& turn_;
};

// Runs the steps it is given on its own single-threaded apartment.
void ServeSteps(std::shared_ptr<Shared> shared, BusyRetry retry, std::shared_ptr<LaunchedServers> launched) {
    const ThreadApartment apartment;
    {
        ComAutomationFactory com(retry);
        Shared& found = *shared;
        IdentifyingFactory identifying(
            com, [&found](ActivationOutcome&& outcome) { found.Found(std::move(outcome)); },
            [&found, launched] { return launched->OtherServes(&found); });
        ObservedFactory observed(identifying, *shared);
        // Outside the observer, so that waiting for the turn is not counted
        // as a call pending at the server.
        TakingTurns turns(observed, launched->activation);
        // Outermost, so that a call held at the gate is not counted as
        // pending at the server.
        GatedFactory gated(turns, shared->gate);
        CadSession session(gated, shared->abandoned);
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

class ApartmentServer : public ServerConnection {
public:
    ApartmentServer(BusyRetry retry, CallObserver* observer, std::shared_ptr<const EndingJob> job,
                    std::shared_ptr<LaunchedServers> launched)
        : shared_(std::make_shared<Shared>()) {
        shared_->extra = observer;
        shared_->endingJob = std::move(job);
        launched->Add(shared_);
        thread_ = std::thread(ServeSteps, shared_, retry, std::move(launched));
    }
    ~ApartmentServer() override {
        if (thread_.joinable()) {
            {
                std::lock_guard<std::mutex> lock(shared_->mutex);
                shared_->closing = true;
            }
            SetEvent(shared_->wake.get());
            thread_.join();
        }
        // A server that was lost, or refused, outlives none of this.
        shared_->EndProcess(kLostGraceMs);
    }

    void Start(CallWatch& watch) override {
        Run([](CadSession& session) { session.Start(); }, watch);
    }

    DraftOutcome UpdateDraft(const std::wstring& filePath, std::shared_ptr<const std::atomic<bool>> stop,
                             CallWatch& watch) override {
        // Everything the step touches is its own: a step given up on may
        // still finish long after this returned.
        auto outcome = std::make_shared<DraftOutcome>(DraftOutcome::Stopped);
        Run([outcome, path = filePath, stop](CadSession& session) mutable {
                *outcome = session.UpdateDraft(path, *stop);
            },
            watch);
        return *outcome;
    }

    void Quit(CallWatch& watch) noexcept override {
        try {
            Run([](CadSession& session) { session.Quit(); }, watch);
        } catch (...) {
        }
        shared_->EndProcess(kQuitGraceMs);
    }

    std::optional<std::uint64_t> MemoryBytes() override {
        std::lock_guard<std::mutex> lock(shared_->processMutex);
        if (!shared_->process) return std::nullopt;
        return shared_->process->MemoryBytes();
    }

private:
    // Hands a step to the server's thread and waits for it, consulting the
    // watch while a call is pending.
    void Run(std::function<void(CadSession&)> step, CallWatch& watch) {
        {
            std::lock_guard<std::mutex> lock(shared_->mutex);
            shared_->job = std::move(step);
            shared_->failure = nullptr;
        }
        SetEvent(shared_->wake.get());
        while (WaitForSingleObject(shared_->done.get(), kWatchIntervalMs) != WAIT_OBJECT_0) {
            const std::optional<Clock::time_point> started = shared_->pending.Since();
            if (!started) continue;
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
            throw Abandon();
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
            // gone. One that will not end is reported as still running.
            if (!shared_->KnowsProcess() || shared_->EndProcess(kLostGraceMs)) throw;
            throw RuntimeError(error.Number(), error.Source(), error.Description(),
                               FailureKind::ServerAbandonedRunning);
        }
    }

    // Gives the server up: its thread is left behind, its process ended.
    RuntimeError Abandon() {
        shared_->abandoned = true;
        shared_->gate.ShutForGood();
        thread_.detach();
        const bool ended = shared_->EndProcess(0);
        return RuntimeError(static_cast<long>(RPC_E_CALL_CANCELED), kProgramSource,
                            ended ? L"The CAD system did not answer; Kestrow gave up on it and ended it"
                                  : L"The CAD system did not answer, and Kestrow gave up on it",
                            ended ? FailureKind::ServerAbandoned : FailureKind::ServerAbandonedRunning);
    }

    std::shared_ptr<Shared> shared_;
    std::thread thread_;
};

}  // namespace

ApartmentLauncher::ApartmentLauncher(BusyRetry retry, CallObserver* observer)
    : retry_(retry), observer_(observer), launched_(std::make_shared<LaunchedServers>()) {}

ApartmentLauncher::~ApartmentLauncher() = default;

bool ApartmentLauncher::CadSystemRunning() {
    // Sessions a Kestrow left behind when it was ended abruptly are not the
    // user's: they are ended first, and only what remains counts.
    EndLeftoverSessions();
    return ActiveObjectExists(contract::kProgId);
}

std::unique_ptr<ServerConnection> ApartmentLauncher::Launch() {
    return std::make_unique<ApartmentServer>(retry_, observer_, job_, launched_);
}

}  // namespace kestrow::win32
