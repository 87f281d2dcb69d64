#pragma once
// Which Windows session each process runs in, read for every process at
// once without opening any (another user's processes cannot be opened):
// what tells a process of another logon from one of this logon's.
#include <windows.h>

#include <optional>
#include <unordered_map>

namespace kestrow::win32 {

class WindowsSessions {
public:
    // A snapshot of every process's session; empty when Windows cannot say.
    WindowsSessions();
    // The process runs in a session other than this program's. False when
    // that is not known.
    bool Other(DWORD processId) const;

private:
    std::optional<DWORD> own_;
    std::unordered_map<DWORD, DWORD> sessions_;
};

}  // namespace kestrow::win32
