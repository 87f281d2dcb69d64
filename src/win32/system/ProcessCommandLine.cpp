#include "system/ProcessCommandLine.h"

#include <winternl.h>

namespace kestrow::win32 {
namespace {

using QueryInformationProcess = NTSTATUS(NTAPI*)(HANDLE, PROCESSINFOCLASS, PVOID, ULONG, PULONG);

// Reads exactly one object of the other process's memory.
template <typename T>
bool ReadWhole(HANDLE process, const void* at, T& into) {
    SIZE_T read = 0;
    return at && ReadProcessMemory(process, at, &into, sizeof(into), &read) && read == sizeof(into);
}

}  // namespace

std::optional<std::wstring> CommandLineOf(HANDLE process) {
    // ntdll has no import library: the documented way in is by name.
    static const auto query = reinterpret_cast<QueryInformationProcess>(
        reinterpret_cast<void*>(GetProcAddress(GetModuleHandleW(L"ntdll.dll"), "NtQueryInformationProcess")));
    if (!query) return std::nullopt;
    PROCESS_BASIC_INFORMATION basic{};
    ULONG length = 0;
    if (query(process, ProcessBasicInformation, &basic, sizeof(basic), &length) < 0) return std::nullopt;
    PEB peb{};
    RTL_USER_PROCESS_PARAMETERS parameters{};
    if (!ReadWhole(process, basic.PebBaseAddress, peb) || !ReadWhole(process, peb.ProcessParameters, parameters))
        return std::nullopt;
    const UNICODE_STRING& line = parameters.CommandLine;
    if (!line.Buffer || line.Length % sizeof(wchar_t) != 0) return std::nullopt;
    std::wstring text(line.Length / sizeof(wchar_t), L'\0');
    SIZE_T read = 0;
    if (line.Length > 0 && (!ReadProcessMemory(process, line.Buffer, text.data(), line.Length, &read) || read != line.Length))
        return std::nullopt;
    return text;
}

}  // namespace kestrow::win32
