#pragma once
// The command line another process was started with, as Windows keeps it in
// that process's own memory (its PEB's process parameters): what tells a
// server COM started (with its launch switch) from one a user started.
#include <windows.h>

#include <optional>
#include <string>

namespace kestrow::win32 {

// `process` needs PROCESS_QUERY_LIMITED_INFORMATION and PROCESS_VM_READ.
// None while it cannot be read: a process that has only just been created
// may not have its parameters in place yet, one that ended has none.
std::optional<std::wstring> CommandLineOf(HANDLE process);

}  // namespace kestrow::win32
