#include "Server.h"

#include <cstdlib>
#include <cstring>

#include "system/SystemText.h"

namespace standin {
namespace {

// A setting from the environment the server was started with, or else
// from HKCU\Software\Kestrow\StandIn, where the project's scripts put them:
// text, or a number written as a DWORD (reg add ... /t REG_DWORD), read as
// its decimal text.
std::wstring Setting(const wchar_t* environmentName, const wchar_t* valueName) {
    wchar_t buffer[1024];
    const DWORD length = GetEnvironmentVariableW(environmentName, buffer, 1024);
    if (length > 0 && length < 1024) return std::wstring(buffer, length);
    DWORD size = sizeof(buffer);
    DWORD type = 0;
    if (RegGetValueW(HKEY_CURRENT_USER, L"Software\\Kestrow\\StandIn", valueName, RRF_RT_REG_SZ | RRF_RT_REG_DWORD,
                     &type, buffer, &size) != ERROR_SUCCESS)
        return std::wstring();
    if (type == REG_DWORD) {
        DWORD number = 0;
        memcpy(&number, buffer, sizeof(number));
        return std::to_wstring(number);
    }
    return buffer;
}

DWORD Milliseconds(const wchar_t* environmentName, const wchar_t* valueName, DWORD fallback) {
    const std::wstring text = Setting(environmentName, valueName);
    return text.empty() ? fallback : static_cast<DWORD>(std::wcstoul(text.c_str(), nullptr, 10));
}

}  // namespace

Server::Server() : lastCall_(GetTickCount64()) {
    const std::wstring path = Setting(L"KESTROW_STANDIN_JOURNAL", L"Journal");
    if (!path.empty()) {
        const HANDLE file = CreateFileW(path.c_str(), FILE_APPEND_DATA | SYNCHRONIZE,
                                        FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_ALWAYS,
                                        FILE_ATTRIBUTE_NORMAL, nullptr);
        if (file != INVALID_HANDLE_VALUE) journal_.reset(file);
        journalLock_.reset(CreateMutexW(nullptr, FALSE, L"Local\\KestrowStandIn.Journal"));
    }
    idleExitMs_ = Milliseconds(L"KESTROW_STANDIN_IDLE_MS", L"IdleExitMs", idleExitMs_);
    orphanExitMs_ = Milliseconds(L"KESTROW_STANDIN_ORPHAN_MS", L"OrphanExitMs", orphanExitMs_);
    startDelayMs_ = Milliseconds(L"KESTROW_STANDIN_START_DELAY_MS", L"StartDelayMs", startDelayMs_);
    createHangMs_ = Milliseconds(L"KESTROW_STANDIN_CREATE_HANG_MS", L"CreateHangMs", createHangMs_);
    documentsHangMs_ = Milliseconds(L"KESTROW_STANDIN_DOCUMENTS_HANG_MS", L"DocumentsHangMs", documentsHangMs_);
    viewUpdateMs_ = Milliseconds(L"KESTROW_STANDIN_VIEW_UPDATE_MS", L"ViewUpdateMs", viewUpdateMs_);
    exportMs_ = Milliseconds(L"KESTROW_STANDIN_EXPORT_MS", L"ExportMs", exportMs_);
    knowsSaveAs_ = Setting(L"KESTROW_STANDIN_NO_SAVE_AS", L"NoSaveAs") != L"1";
    multipleUse_ = Setting(L"KESTROW_STANDIN_MULTIPLE_USE", L"MultipleUse") == L"1";
    journalPids_ = Setting(L"KESTROW_STANDIN_JOURNAL_PIDS", L"JournalPids") == L"1";
    journalTimes_ = Setting(L"KESTROW_STANDIN_JOURNAL_TIMES", L"JournalTimes") == L"1";
    growMbPerOpen_ = Milliseconds(L"KESTROW_STANDIN_GROW_MB", L"GrowMbPerOpen", 0);
    if (journalPids_) Journal(L"start");
}

void Server::GrowForOpen() {
    if (growMbPerOpen_ == 0) return;
    const size_t bytes = static_cast<size_t>(growMbPerOpen_) << 20;
    auto block = std::make_unique<char[]>(bytes);
    // Touched page by page, so that it is committed and resident.
    for (size_t i = 0; i < bytes; i += 4096) block[i] = 1;
    grown_.push_back(std::move(block));
}

bool Server::IdleTooLong() const {
    constexpr ULONGLONG kAfterQuitMs = 5000;
    const ULONGLONG now = GetTickCount64();
    if (quitRequested_ && now - quitAt_ > kAfterQuitMs) return true;
    return now - lastCall_ > (liveObjects_ > 0 ? orphanExitMs_ : idleExitMs_);
}

bool Server::RefusesCreate() {
    const std::wstring text = Setting(L"", L"RefuseCreates");
    const unsigned long left = text.empty() ? 0 : std::wcstoul(text.c_str(), nullptr, 10);
    if (left == 0) return false;
    const std::wstring rest = std::to_wstring(left - 1);
    RegSetKeyValueW(HKEY_CURRENT_USER, L"Software\\Kestrow\\StandIn", L"RefuseCreates", REG_SZ, rest.c_str(),
                    static_cast<DWORD>((rest.size() + 1) * sizeof(wchar_t)));
    return true;
}

Server::~Server() = default;

void Server::Journal(const std::wstring& line) {
    if (!journal_) return;
    const std::string bytes = (journalTimes_ ? std::to_string(GetTickCount64()) + " " : std::string()) +
                              (journalPids_ ? std::to_string(GetCurrentProcessId()) + ": " : std::string()) +
                              kestrow::win32::Utf8(line) + "\n";
    // A writer that died holding the lock left whole lines: the journal is
    // still sound, so an abandoned lock is taken like a free one.
    const bool locked = journalLock_ && WaitForSingleObject(journalLock_.get(), 5000) != WAIT_TIMEOUT;
    LARGE_INTEGER end{};
    SetFilePointerEx(journal_.get(), end, nullptr, FILE_END);
    DWORD written = 0;
    WriteFile(journal_.get(), bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr);
    if (locked) ReleaseMutex(journalLock_.get());
}

}  // namespace standin
