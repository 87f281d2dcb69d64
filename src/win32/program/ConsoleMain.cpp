// Kestrow.com: the console twin of Kestrow.exe. From cmd or PowerShell,
// "Kestrow /update ..." finds this one first: the shell waits for it, its
// lines go to that console, its exit code is the run's, and closing the
// console stops the run as Ctrl+C does. It runs the same code as the window
// program's command line.
#include <windows.h>

#include <string>
#include <vector>

#include "console/CommandLineRun.h"
#include "console/ConsoleOutput.h"
#include "unattended/UnattendedRun.h"

namespace {

// With no arguments the user wants the window: it is Kestrow.exe's, started
// beside this program, so that the console is free again at once and no
// console window stays open behind the window.
int StartWindowProgram() {
    std::wstring path(MAX_PATH, L'\0');
    for (;;) {
        const DWORD length = GetModuleFileNameW(nullptr, path.data(), static_cast<DWORD>(path.size()));
        if (length == 0) return kestrow::ExitCode::NothingTouched;
        if (length < path.size()) {
            path.resize(length);
            break;
        }
        path.resize(path.size() * 2);
    }
    const size_t dot = path.find_last_of(L'.');
    if (dot != std::wstring::npos && path.find_last_of(L'\\') < dot) path.resize(dot);
    path += L".exe";
    STARTUPINFOW startup{sizeof(startup)};
    PROCESS_INFORMATION process{};
    std::wstring commandLine = L"\"" + path + L"\"";
    if (!CreateProcessW(path.c_str(), commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup,
                        &process)) {
        kestrow::win32::ConsoleOutput(STD_ERROR_HANDLE).Line(L"Kestrow: the window program could not be started: " +
                                                             path);
        return kestrow::ExitCode::NothingTouched;
    }
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
    return kestrow::ExitCode::AllStored;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
    // Before anything else can load a DLL: only the system directory.
    SetDefaultDllDirectories(LOAD_LIBRARY_SEARCH_SYSTEM32);
    HeapSetInformation(nullptr, HeapEnableTerminationOnCorruption, nullptr, 0);

    const kestrow::CommandLine line = kestrow::ParseCommandLine(std::vector<std::wstring>(argv + 1, argv + argc));
    if (line.action == kestrow::CommandLine::Action::Window) return StartWindowProgram();
    return kestrow::win32::RunCommandLine(line);
}
