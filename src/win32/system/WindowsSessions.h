#pragma once
// Which Windows session each process runs in, read for every process at
// once without opening any (another user's processes cannot be opened):
// what tells a process of another logon from one of this logon's.
#include <windows.h>
#include <wtsapi32.h>

#include <optional>
#include <unordered_map>

#include "system/SystemLibrary.h"

namespace kestrow::win32 {

class WindowsSessions {
public:
    WindowsSessions();
    // Takes a snapshot of every process's session; an empty one when Windows
    // cannot say.
    void Refresh();
    // In the last snapshot, the process runs in a session other than this
    // program's. False when that is not known.
    bool Other(DWORD processId) const;

private:
    using Enumerate = BOOL WINAPI(HANDLE, DWORD, DWORD, PWTS_PROCESS_INFOW*, DWORD*);
    using Free = void WINAPI(PVOID);
    // Not imported: the library is not among those Windows always keeps
    // loaded.
    SystemLibrary library_{L"wtsapi32.dll"};
    Enumerate* enumerate_ = nullptr;
    Free* free_ = nullptr;
    std::optional<DWORD> own_;
    std::unordered_map<DWORD, DWORD> sessions_;
};

}  // namespace kestrow::win32
