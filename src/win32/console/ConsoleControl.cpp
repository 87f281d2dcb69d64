#include "console/ConsoleControl.h"

#include "console/SessionEndWindow.h"

namespace kestrow::win32 {
namespace {

// The handlers run on threads of their own; the lock keeps the run they
// reach alive until they are done with it. A console handler is
// process-wide by nature and has no context of its own, hence the one
// variable.
struct ConsoleControlTarget {
    std::mutex mutex;
    RunningBatch* running = nullptr;
    KernelHandle ended{CreateEventW(nullptr, TRUE, FALSE, nullptr)};  // the run has written its last row
};
ConsoleControlTarget g_console;

// Stops the run for the end of the console or the session, then waits for
// its last row: Windows ends the process once this returns, or when its
// time is up (about five seconds after a close), whichever comes first.
void StopAndWaitForTheEnd(const std::wstring& why) {
    const std::lock_guard<std::mutex> lock(g_console.mutex);
    if (!g_console.running) return;
    g_console.running->StopForEnd(why);
    WaitForSingleObject(g_console.ended.get(), INFINITE);
}

BOOL WINAPI OnConsoleControl(DWORD event) {
    if (event == CTRL_C_EVENT || event == CTRL_BREAK_EVENT) {
        const std::lock_guard<std::mutex> lock(g_console.mutex);
        // No run: it has ended and returns its exit code now. A second
        // Ctrl+C ends Kestrow at once, as the default handler does.
        return !g_console.running || g_console.running->Stop();
    }
    if (event == CTRL_CLOSE_EVENT) {
        StopAndWaitForTheEnd(L"the console was closed");
        return TRUE;
    }
    // Not sent to a program that loads user32: the hidden window hears them.
    if (event == CTRL_LOGOFF_EVENT || event == CTRL_SHUTDOWN_EVENT) {
        StopAndWaitForTheEnd(event == CTRL_LOGOFF_EVENT ? L"Windows is logging off" : L"Windows is shutting down");
        return TRUE;
    }
    return FALSE;
}

}  // namespace

void RunningBatch::SetBatch(DraftBatch* batch) {
    SetStopTarget(batch ? std::function<void()>([batch] { batch->RequestStop(); }) : nullptr);
}

void RunningBatch::SetStopTarget(std::function<void()> requestStop) {
    const std::lock_guard<std::mutex> lock(mutex_);
    requestStop_ = std::move(requestStop);
    if (requestStop_ && stopRequested_) requestStop_();
}

bool RunningBatch::Stop() {
    const std::lock_guard<std::mutex> lock(mutex_);
    if (stopRequested_) return false;
    stopRequested_ = true;
    if (requestStop_) requestStop_();
    return true;
}

void RunningBatch::StopForEnd(const std::wstring& why) {
    {
        const std::lock_guard<std::mutex> lock(mutex_);
        stopRequested_ = true;
        if (stoppedBy_.empty()) stoppedBy_ = why;
        if (requestStop_) requestStop_();
    }
    output_.Line(L"Kestrow: " + why +
                 L": the run stops after the call in hand and Solid Edge is told to end its work. Kestrow waits "
                 L"for that as long as Windows lets it; what is not done by then is ended with Kestrow.");
    output_.SettleAll(paths_);
}

std::wstring RunningBatch::StoppedBy() {
    const std::lock_guard<std::mutex> lock(mutex_);
    return stoppedBy_;
}

ConsoleControlRegistration::ConsoleControlRegistration(RunningBatch& running) : running_(running) {
    {
        const std::lock_guard<std::mutex> lock(g_console.mutex);
        ResetEvent(g_console.ended.get());
        g_console.running = &running_;
    }
    SetConsoleCtrlHandler(&OnConsoleControl, TRUE);
    sessionEnd_ = std::make_unique<SessionEndWindow>(
        L"Kestrow is stopping its batch and telling Solid Edge to end its work.",
        [](const std::wstring& why) { StopAndWaitForTheEnd(why); });
}

ConsoleControlRegistration::~ConsoleControlRegistration() {
    // A handler waits for `ended` holding the lock: set it first.
    SetEvent(g_console.ended.get());
    {
        const std::lock_guard<std::mutex> lock(g_console.mutex);
        g_console.running = nullptr;
    }
    SetConsoleCtrlHandler(&OnConsoleControl, FALSE);
    sessionEnd_.reset();
}

void JoinParentConsole() { AttachConsole(ATTACH_PARENT_PROCESS); }

}  // namespace kestrow::win32
