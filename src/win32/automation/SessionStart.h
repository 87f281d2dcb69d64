#pragma once
// The start of a session of the CAD system, from end to end, and the process
// it found to serve the session. Starts take turns, within a run and between
// every Kestrow of the computer, for as long as each lasts: a session's
// process is the one process of the server's image that appears during its
// start. That process is known as soon as it appears, so that a start that
// never returns still has it recorded, in the job, and ended when the start
// is given up.
#include <windows.h>

#include <atomic>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "batch/Automation.h"
#include "system/KernelHandle.h"
#include "system/Process.h"

namespace kestrow::win32 {

// The turn that starts take: one named mutex for every Kestrow of every
// desktop session (Global\), or of this one where that cannot be made.
class StartTurns {
public:
    StartTurns();
    HANDLE Mutex() const { return mutex_.get(); }

private:
    KernelHandle mutex_;
};

// One start's turn. A mutex belongs to the thread that took it, and the
// thread that activates the server may be left behind in an activation that
// never returns; so the turn is taken and held by a thread of its own, and
// given back from any thread. A turn a killed Kestrow held counts as free.
class StartTurn {
public:
    explicit StartTurn(HANDLE mutex);
    ~StartTurn();
    StartTurn(const StartTurn&) = delete;
    StartTurn& operator=(const StartTurn&) = delete;
    // Waits for the turn for as long as `keepWaiting` says so (asked every
    // 50 ms). False when it stopped waiting.
    bool Take(const std::function<bool()>& keepWaiting);
    void GiveBack();

private:
    HANDLE mutex_;
    KernelHandle taken_{CreateEventW(nullptr, TRUE, FALSE, nullptr)};
    KernelHandle done_{CreateEventW(nullptr, TRUE, FALSE, nullptr)};
    std::thread holder_;
};

enum class ServedBy {
    NewProcess,       // exactly one process of the image appeared: this session's
    ExistingProcess,  // none appeared: a process that ran before took the session
    Unknown,          // no registered image, or several appeared at once
};

class SessionStart {
public:
    SessionStart(std::wstring progId, std::shared_ptr<const StartTurns> turns,
                 std::shared_ptr<const EndingJob> job);
    SessionStart(const SessionStart&) = delete;
    SessionStart& operator=(const SessionStart&) = delete;

    // On the thread that runs the session's steps. Waits for the turn (no
    // hang of the server's: it counts against no time limit) and notes the
    // processes of the server's image; false when `stop` came first.
    bool Begin(const std::atomic<bool>& stop);
    // While the activation is pending: takes the one new process of the
    // image as the session's as soon as it appears.
    void LookForServer();
    // Gives the turn back: the start returned, failed or was given up. A
    // process that appears from then on is another start's, and never taken.
    void End();

    // On the thread that activates the server, after each try.
    ServedBy Identify();
    // A try failed and another follows: a process it started is ended, and
    // the processes of the image are noted afresh.
    void Retrying();

    // The session was given up: a process found from now on is ended at once.
    void GiveUp();
    bool KnowsProcess();
    // The process runs, and the session was not given up.
    bool ServesRunning();
    // Ends the process unless it goes by itself within `graceMs`. False when
    // none is known, or it would not end.
    bool EndProcess(DWORD graceMs);
    std::optional<std::uint64_t> MemoryBytes();
    std::optional<DWORD> ProcessId();

private:
    void NoteProcessesBefore();
    // The processes of the image that appeared since the start began.
    std::vector<OwnedProcess> Appeared();
    void Take(OwnedProcess process);

    std::wstring progId_;
    std::shared_ptr<const StartTurns> turns_;
    std::shared_ptr<const EndingJob> job_;
    std::unique_ptr<StartTurn> turn_;  // the batch's thread only
    std::mutex mutex_;
    std::wstring image_;
    std::vector<ProcessIdentity> before_;
    std::optional<OwnedProcess> process_;
    bool givenUp_ = false;
    ULONGLONG nextLook_ = 0;
};

// Activates the server within its start: a try that fails because the
// server is unavailable or stopping (as for a while after a server was
// killed) is made again for up to 30 s; an object served by a process that
// ran before is released at once and gets no call: it raises SharedServer
// when another session of the same batch has a server of its own running (a
// server registered for every client handed this activation to it),
// ForeignServer otherwise.
class StartingFactory : public AutomationFactory {
public:
    StartingFactory(AutomationFactory& inner, SessionStart& start, std::function<bool()> cancelled,
                    std::function<bool()> otherSessionServes)
        : inner_(inner), start_(start), cancelled_(std::move(cancelled)),
          otherSessionServes_(std::move(otherSessionServes)) {}
    AutomationRef CreateObject(const std::wstring& progId) override;

private:
    AutomationFactory& inner_;
    SessionStart& start_;
    std::function<bool()> cancelled_;
    std::function<bool()> otherSessionServes_;
};

}  // namespace kestrow::win32
