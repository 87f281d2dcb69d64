#include "TestSupport.h"

#include <shellapi.h>
#include <tlhelp32.h>

#include <sstream>

namespace kestrow::wintest {

std::wstring Widen(const std::string& utf8) {
    if (utf8.empty()) return std::wstring();
    const int size = MultiByteToWideChar(CP_UTF8, 0, utf8.data(), static_cast<int>(utf8.size()), nullptr, 0);
    std::wstring out(static_cast<size_t>(size), L'\0');
    MultiByteToWideChar(CP_UTF8, 0, utf8.data(), static_cast<int>(utf8.size()), out.data(), size);
    return out;
}

std::string Narrow(const std::wstring& text) {
    if (text.empty()) return std::string();
    const int size = WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), nullptr, 0, nullptr, nullptr);
    std::string out(static_cast<size_t>(size), '\0');
    WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), out.data(), size, nullptr, nullptr);
    return out;
}

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
