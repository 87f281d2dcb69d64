#include "TestSupport.h"

#include <algorithm>
#include <cstdlib>

#include "automation/ComAutomation.h"
#include "system/SystemText.h"

#include <shellapi.h>
#include <tlhelp32.h>

#include <sstream>
#include <thread>

namespace kestrow::wintest {

std::wstring Widen(const std::string& utf8) { return win32::FromUtf8(utf8); }

std::string Narrow(const std::wstring& text) { return win32::Utf8(text); }

TestFolder::TestFolder(const std::wstring& name) {
    wchar_t temp[MAX_PATH];
    GetTempPathW(MAX_PATH, temp);
    path_ = std::wstring(temp) + L"kestrow-test-" + std::to_wstring(GetCurrentProcessId()) + L"-" +
            std::to_wstring(GetTickCount64()) + L"-" + name;
    CreateDirectoryW(path_.c_str(), nullptr);
}

TestFolder::~TestFolder() {
    // SHFileOperation wants a double-NUL-terminated list.
    std::wstring from = path_;
    from.push_back(L'\0');
    SHFILEOPSTRUCTW op{};
    op.wFunc = FO_DELETE;
    op.pFrom = from.c_str();
    op.fFlags = FOF_NO_UI;
    SHFileOperationW(&op);
}

void WriteUtf8(const std::wstring& path, const std::string& bytes) {
    HANDLE file = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) return;
    DWORD written = 0;
    WriteFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr);
    CloseHandle(file);
}

std::string ReadUtf8(const std::wstring& path) {
    HANDLE file = CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING, 0,
                              nullptr);
    if (file == INVALID_HANDLE_VALUE) return std::string();
    std::string bytes;
    char buffer[4096];
    DWORD read = 0;
    while (ReadFile(file, buffer, sizeof(buffer), &read, nullptr) && read > 0) bytes.append(buffer, read);
    CloseHandle(file);
    return bytes;
}

void WriteDraft(const std::wstring& path, int views, const std::string& extraLines) {
    std::string text = "KESTROW-DRAFT 1\r\nstored 0\r\n";
    for (int i = 1; i <= views; ++i) text += "view V" + std::to_string(i) + " stale\r\n";
    text += extraLines;
    WriteUtf8(path, text);
}

int StoredCount(const std::wstring& path) {
    std::istringstream in(ReadUtf8(path));
    std::string word;
    while (in >> word)
        if (word == "stored") {
            int n = -1;
            in >> n;
            return n;
        }
    return -1;
}

bool AllViewsCurrent(const std::wstring& path) {
    const std::string text = ReadUtf8(path);
    return text.find(" stale") == std::string::npos && text.find("view ") != std::string::npos;
}

namespace {
constexpr const wchar_t* kSettingsKey = L"Software\\Kestrow\\StandIn";
}

void SetStandInSetting(const wchar_t* name, const std::wstring& value) {
    RegSetKeyValueW(HKEY_CURRENT_USER, kSettingsKey, name, REG_SZ, value.c_str(),
                    static_cast<DWORD>((value.size() + 1) * sizeof(wchar_t)));
}

void ClearStandInSetting(const wchar_t* name) { RegDeleteKeyValueW(HKEY_CURRENT_USER, kSettingsKey, name); }

Journal::Journal() {
    wchar_t temp[MAX_PATH];
    GetTempPathW(MAX_PATH, temp);
    path_ = std::wstring(temp) + L"kestrow-journal-" + std::to_wstring(GetCurrentProcessId()) + L"-" +
            std::to_wstring(GetTickCount64()) + L".log";
    DeleteFileW(path_.c_str());
    SetStandInSetting(L"Journal", path_);
}

Journal::~Journal() {
    ClearStandInSetting(L"Journal");
    DeleteFileW(path_.c_str());
}

std::vector<std::string> Journal::Lines() const {
    std::vector<std::string> lines;
    std::istringstream in(ReadUtf8(path_));
    std::string line;
    while (std::getline(in, line)) lines.push_back(line);
    return lines;
}

std::optional<JournalEntry> ReadJournalEntry(const std::string& line) {
    const size_t colon = line.find(": ");
    if (colon == std::string::npos) return std::nullopt;
    JournalEntry entry;
    const size_t space = line.rfind(' ', colon);
    if (space != std::string::npos) entry.tick = std::strtoull(line.c_str(), nullptr, 10);
    entry.pid = static_cast<DWORD>(std::strtoul(line.c_str() + (space == std::string::npos ? 0 : space + 1), nullptr, 10));
    entry.call = line.substr(colon + 2);
    return entry;
}

std::vector<DWORD> JournalPids(const std::vector<std::string>& lines, const std::string& call) {
    std::vector<DWORD> pids;
    for (const auto& line : lines) {
        const auto entry = ReadJournalEntry(line);
        if (!entry || entry->call.compare(0, call.size(), call) != 0) continue;
        if (std::find(pids.begin(), pids.end(), entry->pid) == pids.end()) pids.push_back(entry->pid);
    }
    return pids;
}

DWORD JournalPid(const std::vector<std::string>& lines, const std::string& call) {
    const auto pids = JournalPids(lines, call);
    return pids.empty() ? 0 : pids.front();
}

bool ProcessRuns(DWORD pid) {
    HANDLE process = OpenProcess(SYNCHRONIZE, FALSE, pid);
    if (!process) return false;
    const bool runs = WaitForSingleObject(process, 0) == WAIT_TIMEOUT;
    CloseHandle(process);
    return runs;
}

std::vector<std::wstring> ListRows(HWND list) {
    std::vector<std::wstring> rows;
    const LRESULT count = SendMessageW(list, LB_GETCOUNT, 0, 0);
    for (LRESULT i = 0; i < count; ++i) {
        std::wstring text(static_cast<size_t>(SendMessageW(list, LB_GETTEXTLEN, static_cast<WPARAM>(i), 0)) + 1, L'\0');
        const LRESULT copied = SendMessageW(list, LB_GETTEXT, static_cast<WPARAM>(i), reinterpret_cast<LPARAM>(text.data()));
        text.resize(copied > 0 ? static_cast<size_t>(copied) : 0);
        rows.push_back(text);
    }
    return rows;
}

std::wstring StandInPath() {
    wchar_t buffer[MAX_PATH * 2] = L"";
    DWORD size = sizeof(buffer);
    RegGetValueW(HKEY_CLASSES_ROOT, L"CLSID\\{5F0C2D41-8A1B-4E7C-9B36-2C4E1D7A9B10}\\LocalServer32", nullptr,
                 RRF_RT_REG_SZ, nullptr, buffer, &size);
    std::wstring path = buffer;
    if (!path.empty() && path.front() == L'"') path = path.substr(1, path.find(L'"', 1) - 1);
    return path;
}

namespace {

// The stand-in beside the tests, registered or not.
std::wstring BuiltStandIn() {
    const std::wstring exe = KestrowExe();  // build\windows\src\win32\Kestrow.exe
    std::wstring root = exe;
    for (int i = 0; i < 3; ++i) root = root.substr(0, root.find_last_of(L'\\'));
    return root + L"\\tools\\standin\\KestrowStandIn.exe";
}

}  // namespace

HANDLE StartStandIn(const wchar_t* argument) {
    const std::wstring path = BuiltStandIn();
    std::wstring command = L"\"" + path + L"\" " + argument;
    STARTUPINFOW startup{};
    startup.cb = sizeof(startup);
    PROCESS_INFORMATION process{};
    if (!CreateProcessW(path.c_str(), command.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &process))
        return nullptr;
    CloseHandle(process.hThread);
    return process.hProcess;
}

void EndStandInGently(HANDLE process) {
    const DWORD pid = GetProcessId(process);
    HANDLE snapshot = CreateToolhelp32Snapshot(TH32CS_SNAPTHREAD, 0);
    if (snapshot != INVALID_HANDLE_VALUE) {
        THREADENTRY32 thread{};
        thread.dwSize = sizeof(thread);
        for (BOOL more = Thread32First(snapshot, &thread); more; more = Thread32Next(snapshot, &thread))
            if (thread.th32OwnerProcessID == pid) PostThreadMessageW(thread.th32ThreadID, WM_QUIT, 0, 0);
        CloseHandle(snapshot);
    }
    if (WaitForSingleObject(process, 10000) != WAIT_OBJECT_0) {
        TerminateProcess(process, 1);
        WaitForSingleObject(process, 5000);
    }
    CloseHandle(process);
}

DWORD RunStandIn(const wchar_t* argument) {
    HANDLE process = StartStandIn(argument);
    if (!process) return GetLastError();
    WaitForSingleObject(process, 30000);
    DWORD code = 1;
    GetExitCodeProcess(process, &code);
    CloseHandle(process);
    return code;
}

UnregisteredStandIn::UnregisteredStandIn() { done = RunStandIn(L"/UnregServer") == 0; }
UnregisteredStandIn::~UnregisteredStandIn() { RunStandIn(L"/RegServer"); }

UnquotedRegistration::UnquotedRegistration() {
    registered = CopyFileW(StandInPath().c_str(), exe.c_str(), FALSE) &&
                 RunKestrow(L"/RegServer /Unquoted", L"", 30000, exe).exitCode == 0;
}

UnquotedRegistration::~UnquotedRegistration() {
    WaitForNoStandIn(20000);
    KillStandIn();
    RunStandIn(L"/RegServer");
}

HANDLE StartStandInUserSession() {
    HANDLE process = StartStandIn(L"/UserSession");
    if (!process) return nullptr;
    for (int i = 0; i < 100; ++i) {
        if (win32::ActiveObjectExists(L"SolidEdge.Application")) return process;
        if (WaitForSingleObject(process, 100) == WAIT_OBJECT_0) break;
    }
    TerminateProcess(process, 1);
    CloseHandle(process);
    return nullptr;
}

std::wstring KestrowExe() {
    wchar_t self[MAX_PATH];
    GetModuleFileNameW(nullptr, self, MAX_PATH);
    std::wstring path = self;
    for (int i = 0; i < 3; ++i) path = path.substr(0, path.find_last_of(L'\\'));  // build\windows
    return path + L"\\src\\win32\\Kestrow.exe";
}

std::wstring ProgramRun::Text() const {
    std::wstring text;
    for (const auto& line : lines) text += line + L"\n";
    return text;
}

ProgramRun RunKestrow(const std::wstring& arguments, const std::wstring& directory, DWORD limitMs,
                      const std::wstring& program, const std::wstring& typed) {
    ProgramRun run;
    SECURITY_ATTRIBUTES inherit{sizeof(inherit), nullptr, TRUE};
    HANDLE readEnd = nullptr, writeEnd = nullptr;
    if (!CreatePipe(&readEnd, &writeEnd, &inherit, 0)) return run;
    SetHandleInformation(readEnd, HANDLE_FLAG_INHERIT, 0);
    STARTUPINFOW startup{};
    startup.cb = sizeof(startup);
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdInput = GetStdHandle(STD_INPUT_HANDLE);
    startup.hStdOutput = writeEnd;
    startup.hStdError = writeEnd;
    const std::wstring exe = program.empty() ? KestrowExe() : program;
    std::wstring command = (typed.empty() ? L"\"" + exe + L"\"" : typed) + L" " + arguments;
    PROCESS_INFORMATION process{};
    const BOOL started = CreateProcessW(exe.c_str(), command.data(), nullptr, nullptr, TRUE, 0, nullptr,
                                        directory.empty() ? nullptr : directory.c_str(), &startup, &process);
    CloseHandle(writeEnd);
    if (!started) {
        CloseHandle(readEnd);
        run.exitCode = static_cast<DWORD>(-1);
        return run;
    }
    // Read while it runs, so that a full pipe never holds it up.
    std::string bytes;
    std::thread reader([&] {
        char buffer[4096];
        DWORD read = 0;
        while (ReadFile(readEnd, buffer, sizeof(buffer), &read, nullptr) && read > 0) bytes.append(buffer, read);
    });
    if (WaitForSingleObject(process.hProcess, limitMs) != WAIT_OBJECT_0) TerminateProcess(process.hProcess, 99);
    GetExitCodeProcess(process.hProcess, &run.exitCode);
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
    reader.join();
    CloseHandle(readEnd);
    std::istringstream in(bytes);
    std::string line;
    while (std::getline(in, line)) {
        if (!line.empty() && line.back() == '\r') line.pop_back();
        run.lines.push_back(Widen(line));
    }
    return run;
}

namespace {

template <typename Visit>
void ForEachStandIn(Visit visit) {
    HANDLE snapshot = CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0);
    if (snapshot == INVALID_HANDLE_VALUE) return;
    PROCESSENTRY32W entry{};
    entry.dwSize = sizeof(entry);
    for (BOOL more = Process32FirstW(snapshot, &entry); more; more = Process32NextW(snapshot, &entry))
        if (_wcsicmp(entry.szExeFile, L"KestrowStandIn.exe") == 0) visit(entry.th32ProcessID);
    CloseHandle(snapshot);
}

}  // namespace

int StandInProcessCount() {
    int count = 0;
    ForEachStandIn([&](DWORD) { ++count; });
    return count;
}

bool WaitForNoStandIn(DWORD ms) {
    const ULONGLONG end = GetTickCount64() + ms;
    while (StandInProcessCount() > 0) {
        if (GetTickCount64() > end) return false;
        Sleep(100);
    }
    return true;
}

void KillStandIn() {
    ForEachStandIn([](DWORD pid) {
        HANDLE process = OpenProcess(PROCESS_TERMINATE | SYNCHRONIZE, FALSE, pid);
        if (!process) return;
        TerminateProcess(process, 1);
        WaitForSingleObject(process, 5000);
        CloseHandle(process);
    });
}

}  // namespace kestrow::wintest
