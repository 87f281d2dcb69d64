#include "system/WindowsSessions.h"

namespace kestrow::win32 {

WindowsSessions::WindowsSessions()
    : enumerate_(library_.Find<Enumerate>("WTSEnumerateProcessesW")), free_(library_.Find<Free>("WTSFreeMemory")) {
    DWORD own = 0;
    if (ProcessIdToSessionId(GetCurrentProcessId(), &own)) own_ = own;
}

void WindowsSessions::Refresh() {
    sessions_.clear();
    if (!own_ || !enumerate_ || !free_) return;
    PWTS_PROCESS_INFOW processes = nullptr;
    DWORD count = 0;
    if (!enumerate_(WTS_CURRENT_SERVER_HANDLE, 0, 1, &processes, &count)) return;
    for (DWORD i = 0; i < count; ++i) sessions_[processes[i].ProcessId] = processes[i].SessionId;
    free_(processes);
}

bool WindowsSessions::Other(DWORD processId) const {
    const auto found = sessions_.find(processId);
    return own_ && found != sessions_.end() && found->second != *own_;
}

}  // namespace kestrow::win32
