#include "console/ConsoleControl.h"

#include <mutex>

namespace kestrow::win32 {
namespace {

// The handler runs on a thread of its own; the lock keeps the run it reaches
// alive until it is done with it. The handler is process-wide by nature,
// hence the one variable.
struct ConsoleControlTarget {
    std::mutex mutex;
    RunningBatch* running = nullptr;
};
ConsoleControlTarget g_console;

// Windows ends the process some five seconds after a close, log-off or
// shutdown event; the call in hand gets what is left of them.
constexpr DWORD kCloseGraceMs = 4000;

BOOL WINAPI OnConsoleControl(DWORD event) {
    const std::lock_guard<std::mutex> lock(g_console.mutex);
    RunningBatch* running = g_console.running;
    // Registered, yet no run: it has ended and returns its exit code now.
    if (!running) return event == CTRL_C_EVENT || event == CTRL_BREAK_EVENT;
    if (event == CTRL_C_EVENT || event == CTRL_BREAK_EVENT) {
        if (running->batch->StopRequested()) return FALSE;
        running->batch->RequestStop();
        return TRUE;
    }
    if (event != CTRL_CLOSE_EVENT && event != CTRL_LOGOFF_EVENT && event != CTRL_SHUTDOWN_EVENT) return FALSE;
    running->batch->RequestStop();
    running->output->SettleAll(running->paths);
    // The run sets `ended` before it takes the lock to leave.
    WaitForSingleObject(running->ended.get(), kCloseGraceMs);
    return TRUE;
}

}  // namespace

ConsoleControlRegistration::ConsoleControlRegistration(RunningBatch& running) : running_(running) {
    {
        const std::lock_guard<std::mutex> lock(g_console.mutex);
        g_console.running = &running_;
    }
    SetConsoleCtrlHandler(&OnConsoleControl, TRUE);
}

ConsoleControlRegistration::~ConsoleControlRegistration() {
    // A close handler waits for `ended` holding the lock: set it first.
    SetEvent(running_.ended.get());
    {
        const std::lock_guard<std::mutex> lock(g_console.mutex);
        g_console.running = nullptr;
    }
    SetConsoleCtrlHandler(&OnConsoleControl, FALSE);
}

}  // namespace kestrow::win32
