#include "ApartmentServer.h"

#include <exception>
#include <functional>
#include <mutex>
#include <thread>

#include "AutomationContract.h"
#include "ComApartment.h"
#include "KernelHandle.h"

namespace kestrow::win32 {
namespace {

using Clock = CallWatch::Clock;

// How often the waiting side looks at the call in hand.
constexpr DWORD kWatchIntervalMs = 20;

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
    std::atomic<int> callDepth{0};
    std::atomic<Clock::rep> callStarted{0};
    CallObserver* extra = nullptr;

    void CallStarted() override {
        if (callDepth++ == 0) callStarted = Clock::now().time_since_epoch().count();
        if (extra) extra->CallStarted();
    }
    void CallEnded() override {
        --callDepth;
        if (extra) extra->CallEnded();
    }
};

// Runs the steps it is given on its own single-threaded apartment.
void ServeSteps(std::shared_ptr<Shared> shared, BusyRetry retry) {
    const ThreadApartment apartment;
    {
        ComAutomationFactory com(retry);
        ObservedFactory observed(com, *shared);
        CadSession session(observed, shared->abandoned);
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
    ApartmentServer(BusyRetry retry, CallObserver* observer) : shared_(std::make_shared<Shared>()) {
        shared_->extra = observer;
        thread_ = std::thread(ServeSteps, shared_, retry);
    }
    ~ApartmentServer() override {
        if (!thread_.joinable()) return;
        {
            std::lock_guard<std::mutex> lock(shared_->mutex);
            shared_->closing = true;
        }
        SetEvent(shared_->wake.get());
        thread_.join();
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
            if (shared_->callDepth.load() == 0) continue;
            const Clock::time_point started{Clock::duration(shared_->callStarted.load())};
            if (watch.KeepWaiting(started)) continue;
            // The call may have ended while the user was being asked.
            if (WaitForSingleObject(shared_->done.get(), 0) == WAIT_OBJECT_0) break;
            Abandon();
            throw RuntimeError(static_cast<long>(RPC_E_CALL_CANCELED), kProgramSource,
                               L"The CAD system did not answer, and Kestrow gave up on it",
                               FailureKind::ServerAbandonedRunning);
        }
        std::lock_guard<std::mutex> lock(shared_->mutex);
        if (shared_->failure) std::rethrow_exception(shared_->failure);
    }

    void Abandon() {
        shared_->abandoned = true;
        thread_.detach();
    }

    std::shared_ptr<Shared> shared_;
    std::thread thread_;
};

}  // namespace

bool ApartmentLauncher::CadSystemRunning() { return ActiveObjectExists(contract::kProgId); }

std::unique_ptr<ServerConnection> ApartmentLauncher::Launch() {
    return std::make_unique<ApartmentServer>(retry_, observer_);
}

}  // namespace kestrow::win32
