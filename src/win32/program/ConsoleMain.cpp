// Kestrow.com: the console twin of Kestrow.exe. From cmd or PowerShell,
// "Kestrow /update ..." finds this one first: the shell waits for it, and
// it starts Kestrow.exe beside it with the same arguments in the same
// console, waits for it and returns its exit code. It loads neither user32
// nor gdi32, so that Windows sends it the console's log-off and shutdown
// events, which it would not send a program that does.
#include <windows.h>

#include <atomic>
#include <string>

#include "unattended/UnattendedRun.h"

namespace {

// Kestrow.exe's process, for the console handler, which has no context of
// its own: the one variable this program needs.
std::atomic<HANDLE> g_windowProgram{nullptr};

// Kestrow.exe shares this console: Ctrl+C, Ctrl+Break and a close reach it
// as they reach this program, and it stops its run. This program goes on
// waiting for its exit code; for a close (or a log-off, shutdown) it waits
// as long as Windows lets it, which ends it once the handler returns.
BOOL WINAPI PassThrough(DWORD event) {
    if (event == CTRL_C_EVENT || event == CTRL_BREAK_EVENT) return TRUE;
    if (const HANDLE program = g_windowProgram.load()) WaitForSingleObject(program, INFINITE);
    return TRUE;
}

void WriteError(const std::wstring& text) {
    const HANDLE error = GetStdHandle(STD_ERROR_HANDLE);
    if (!error || error == INVALID_HANDLE_VALUE) return;
    const std::wstring line = text + L"\r\n";
    DWORD written = 0;
    DWORD mode = 0;
    if (GetConsoleMode(error, &mode)) {
        WriteConsoleW(error, line.data(), static_cast<DWORD>(line.size()), &written, nullptr);
        return;
    }
    const int size = WideCharToMultiByte(CP_UTF8, 0, line.data(), static_cast<int>(line.size()), nullptr, 0, nullptr, nullptr);
    std::string bytes(static_cast<size_t>(size > 0 ? size : 0), '\0');
    WideCharToMultiByte(CP_UTF8, 0, line.data(), static_cast<int>(line.size()), bytes.data(), size, nullptr, nullptr);
    WriteFile(error, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr);
}

// Kestrow.exe beside this program.
std::wstring WindowProgramPath() {
    std::wstring path(MAX_PATH, L'\0');
    for (;;) {
        const DWORD length = GetModuleFileNameW(nullptr, path.data(), static_cast<DWORD>(path.size()));
        if (length == 0) return std::wstring();
        if (length < path.size()) {
            path.resize(length);
            break;
        }
        path.resize(path.size() * 2);
    }
    const size_t dot = path.find_last_of(L'.');
    if (dot != std::wstring::npos && path.find_last_of(L'\\') < dot) path.resize(dot);
    return path + L".exe";
}

// Where the program's own name ends in a command line, as typed: at its
// closing quote, or at the first blank when unquoted.
const wchar_t* AfterProgram(const wchar_t* commandLine) {
    const wchar_t* at = commandLine;
    if (*at == L'"') {
        ++at;
        while (*at && *at != L'"') ++at;
        if (*at) ++at;
    } else {
        while (*at && *at != L' ' && *at != L'\t') ++at;
    }
    return at;
}

// The command line after the program's own name.
std::wstring ArgumentsOf(const wchar_t* commandLine) {
    const wchar_t* at = AfterProgram(commandLine);
    while (*at == L' ' || *at == L'\t') ++at;
    return at;
}

// A standard stream for Kestrow.exe: a file or a pipe is handed over as it
// is; a console it reaches by joining this one.
HANDLE Handed(DWORD stream) {
    const HANDLE handle = GetStdHandle(stream);
    DWORD mode = 0;
    if (!handle || handle == INVALID_HANDLE_VALUE || GetConsoleMode(handle, &mode)) return nullptr;
    return handle;
}

}  // namespace

int wmain() {
    // Before anything else can load a DLL: only the system directory.
    SetDefaultDllDirectories(LOAD_LIBRARY_SEARCH_SYSTEM32);
    HeapSetInformation(nullptr, HeapEnableTerminationOnCorruption, nullptr, 0);

    const std::wstring program = WindowProgramPath();
    const wchar_t* typed = GetCommandLineW();
    const std::wstring arguments = ArgumentsOf(typed);
    // Kestrow.exe is started by its path, but hears its name as the user
    // typed it ("Kestrow"), which its hints then name.
    std::wstring name(typed, AfterProgram(typed));
    if (name.empty()) name = L"\"" + program + L"\"";
    std::wstring commandLine = name + (arguments.empty() ? L"" : L" " + arguments);
    STARTUPINFOW startup{};
    startup.cb = sizeof(startup);
    PROCESS_INFORMATION process{};
    // With no arguments the user wants the window: it is started on its own,
    // and the console is free again at once.
    const bool window = arguments.empty();
    if (!window) {
        startup.dwFlags = STARTF_USESTDHANDLES;
        startup.hStdInput = Handed(STD_INPUT_HANDLE);
        startup.hStdOutput = Handed(STD_OUTPUT_HANDLE);
        startup.hStdError = Handed(STD_ERROR_HANDLE);
    }
    // From before the run starts: a Ctrl+C at once stops Kestrow.exe's run,
    // never this program before it can return the run's exit code.
    if (!window) SetConsoleCtrlHandler(&PassThrough, TRUE);
    if (!CreateProcessW(program.c_str(), commandLine.data(), nullptr, nullptr, window ? FALSE : TRUE, 0, nullptr,
                        nullptr, &startup, &process)) {
        WriteError(L"Kestrow: the program could not be started: " + program);
        return kestrow::ExitCode::NothingTouched;
    }
    CloseHandle(process.hThread);
    if (window) {
        CloseHandle(process.hProcess);
        return kestrow::ExitCode::AllStored;
    }
    g_windowProgram.store(process.hProcess);
    WaitForSingleObject(process.hProcess, INFINITE);
    DWORD exitCode = static_cast<DWORD>(kestrow::ExitCode::KestrowFailed);
    GetExitCodeProcess(process.hProcess, &exitCode);
    return static_cast<int>(exitCode);
}
