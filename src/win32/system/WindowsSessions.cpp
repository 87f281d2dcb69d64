#include "system/WindowsSessions.h"

#include <wtsapi32.h>

#include "system/SystemLibrary.h"

namespace kestrow::win32 {

WindowsSessions::WindowsSessions() {
    DWORD own = 0;
    if (!ProcessIdToSessionId(GetCurrentProcessId(), &own)) return;
    own_ = own;
    // Not imported: the library is not among those Windows always keeps
    // loaded.
    const SystemLibrary library(L"wtsapi32.dll");
    using Enumerate = BOOL WINAPI(HANDLE, DWORD, DWORD, PWTS_PROCESS_INFOW*, DWORD*);
    using Free = void WINAPI(PVOID);
    Enumerate* const enumerate = library.Find<Enumerate>("WTSEnumerateProcessesW");
    Free* const free = library.Find<Free>("WTSFreeMemory");
    if (!enumerate || !free) return;
    PWTS_PROCESS_INFOW processes = nullptr;
    DWORD count = 0;
    if (!enumerate(WTS_CURRENT_SERVER_HANDLE, 0, 1, &processes, &count)) return;
    for (DWORD i = 0; i < count; ++i) sessions_[processes[i].ProcessId] = processes[i].SessionId;
    free(processes);
}

bool WindowsSessions::Other(DWORD processId) const {
    const auto found = sessions_.find(processId);
    return own_ && found != sessions_.end() && found->second != *own_;
}

}  // namespace kestrow::win32
