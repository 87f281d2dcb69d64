#pragma once
// What ends a run early from outside: Ctrl+C or Ctrl+Break stop the batch
// after the draft in hand; closing the console, logging off or shutting
// down do the same, settle the log's rows at once and wait, as long as
// Windows lets them, for the sessions to end their work and the run to write
// its last row. Kestrow.exe hears the console's events where it shares a
// console (from Kestrow.com or cmd), and log-off and shutdown through a
// hidden window (SessionEndWindow), as it loads user32.
#include <windows.h>

#include <atomic>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "batch/DraftBatch.h"
#include "console/ConsoleAndLog.h"
#include "system/KernelHandle.h"

namespace kestrow::win32 {

class SessionEndWindow;

// The run, as the handlers reach it.
class RunningBatch {
public:
    RunningBatch(ConsoleAndLog& output, std::vector<std::wstring> paths)
        : output_(output), paths_(std::move(paths)) {}

    // The batch from its start to its end; a stop asked for before it
    // existed reaches it as it starts.
    void SetBatch(DraftBatch* batch);
    // What a stop reaches when the run is no batch (a check), as SetBatch.
    void SetStopTarget(std::function<void()> requestStop);
    // Ctrl+C: false when a stop was asked for already.
    bool Stop();
    // The session or the console ends: stops, settles the log's rows, and
    // says so. `why` is kept for the run's last row.
    void StopForEnd(const std::wstring& why);
    // Why the run was stopped from outside, "" when it was not.
    std::wstring StoppedBy();

private:
    ConsoleAndLog& output_;
    const std::vector<std::wstring> paths_;
    std::mutex mutex_;  // over the batch and why it stopped
    std::function<void()> requestStop_;  // none until the run exists
    bool stopRequested_ = false;
    std::wstring stoppedBy_;
};

// The run reached by the handlers from before its first row to after its
// last: the run's objects outlive it.
class ConsoleControlRegistration {
public:
    explicit ConsoleControlRegistration(RunningBatch& running);
    ~ConsoleControlRegistration();
    ConsoleControlRegistration(const ConsoleControlRegistration&) = delete;
    ConsoleControlRegistration& operator=(const ConsoleControlRegistration&) = delete;

private:
    RunningBatch& running_;
    std::unique_ptr<SessionEndWindow> sessionEnd_;
};

// Shares the console of the program that started Kestrow.exe (Kestrow.com,
// or cmd), so that its Ctrl+C and close reach the run. Nothing when there
// is none, or Kestrow has one already.
void JoinParentConsole();

}  // namespace kestrow::win32
