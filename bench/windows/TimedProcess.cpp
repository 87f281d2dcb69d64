#include "TimedProcess.h"

#include <psapi.h>

#include <algorithm>

#include "BenchSupport.h"

namespace kestrow::bench {

TimedRun RunTimed(const std::wstring& exe, const std::wstring& arguments, DWORD watchMemoryMs) {
    TimedRun run;
    SECURITY_ATTRIBUTES inherit{sizeof(inherit), nullptr, TRUE};
    HANDLE nul = CreateFileW(L"NUL", GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, &inherit, OPEN_EXISTING, 0,
                             nullptr);
    STARTUPINFOW startup{};
    startup.cb = sizeof(startup);
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdInput = GetStdHandle(STD_INPUT_HANDLE);
    startup.hStdOutput = nul;
    startup.hStdError = nul;
    std::wstring command = L"\"" + exe + L"\" " + arguments;
    PROCESS_INFORMATION process{};
    const double start = Now();
    const BOOL started =
        CreateProcessW(exe.c_str(), command.data(), nullptr, nullptr, TRUE, 0, nullptr, nullptr, &startup, &process);
    if (nul != INVALID_HANDLE_VALUE) CloseHandle(nul);
    if (!started) {
        run.exitCode = static_cast<DWORD>(-1);
        return run;
    }
    const DWORD interval = watchMemoryMs ? watchMemoryMs : INFINITE;
    while (WaitForSingleObject(process.hProcess, interval) == WAIT_TIMEOUT) {
        PROCESS_MEMORY_COUNTERS counters{};
        counters.cb = sizeof(counters);
        if (GetProcessMemoryInfo(process.hProcess, &counters, sizeof(counters))) {
            run.peakWorkingSet = std::max({run.peakWorkingSet, counters.WorkingSetSize, counters.PeakWorkingSetSize});
            run.peakPagefileUsage =
                std::max({run.peakPagefileUsage, counters.PagefileUsage, counters.PeakPagefileUsage});
        }
    }
    run.seconds = Now() - start;
    GetExitCodeProcess(process.hProcess, &run.exitCode);
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
    return run;
}

std::wstring BenchFolder() {
    wchar_t self[MAX_PATH];
    GetModuleFileNameW(nullptr, self, MAX_PATH);
    std::wstring path = self;
    return path.substr(0, path.find_last_of(L'\\'));
}

}  // namespace kestrow::bench
