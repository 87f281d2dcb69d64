#include "window/WindowBatchLog.h"

#include <windows.h>
#include <shellapi.h>

#include <algorithm>
#include <vector>

#include "files/ReportFiles.h"
#include "files/WholeFile.h"
#include "report/ReportPage.h"
#include "system/DataFolder.h"
#include "system/FindHandle.h"
#include "system/SystemText.h"
#include "unattended/DialogRows.h"

namespace kestrow::win32 {
namespace {

constexpr const wchar_t* kLogsFolder = L"Window logs";

std::wstring PageOf(const std::wstring& log) { return log.substr(0, log.size() - 4) + L".html"; }

// A log with its page and the folder of its dialogs' pictures.
void DeleteLog(const std::wstring& log) {
    DeleteFileW(log.c_str());
    DeleteFileW(PageOf(log).c_str());
    const std::wstring pictures = DialogFolderBesideLog(log);
    WIN32_FIND_DATAW found{};
    if (const FindHandle search = OwnSearch(FindFirstFileW((pictures + L"\\*").c_str(), &found)))
        do {
            if (!(found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY))
                DeleteFileW((pictures + L"\\" + found.cFileName).c_str());
        } while (FindNextFileW(search.get(), &found));
    RemoveDirectoryW(pictures.c_str());
}

// Keeps the logs written last, room left for one more; `keep` is never
// deleted.
void PruneLogs(const std::wstring& folder, const std::wstring& keep) {
    struct Log {
        std::wstring path;
        ULONGLONG written;
    };
    std::vector<Log> logs;
    WIN32_FIND_DATAW found{};
    if (const FindHandle search = OwnSearch(FindFirstFileW((folder + L"\\*.csv").c_str(), &found)))
        do {
            if (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) continue;
            const std::wstring path = folder + L"\\" + found.cFileName;
            if (_wcsicmp(path.c_str(), keep.c_str()) == 0) continue;
            logs.push_back({path, (static_cast<ULONGLONG>(found.ftLastWriteTime.dwHighDateTime) << 32) |
                                      found.ftLastWriteTime.dwLowDateTime});
        } while (FindNextFileW(search.get(), &found));
    if (logs.size() < WindowBatchLog::kMostLogs) return;
    std::sort(logs.begin(), logs.end(), [](const Log& a, const Log& b) { return a.written > b.written; });
    for (size_t i = WindowBatchLog::kMostLogs - 1; i < logs.size(); ++i) DeleteLog(logs[i].path);
}

unsigned long long FileSize(const std::wstring& path) {
    WIN32_FILE_ATTRIBUTE_DATA data{};
    if (!GetFileAttributesExW(path.c_str(), GetFileExInfoStandard, &data)) return 0;
    return (static_cast<unsigned long long>(data.nFileSizeHigh) << 32) | data.nFileSizeLow;
}

}  // namespace

WindowBatchLog::WindowBatchLog(std::function<void(const std::wstring&)> openPage) : openPage_(std::move(openPage)) {}

WindowBatchLog::~WindowBatchLog() = default;

std::wstring WindowBatchLog::LogOf(const std::wstring& folder) {
    const std::wstring logs = KestrowDataFolder(kLogsFolder);
    return logs.empty() ? std::wstring() : logs + L"\\" + BatchRecordName(folder);
}

std::wstring WindowBatchLog::Begin(const std::wstring& folder) {
    const std::wstring log = LogOf(folder);
    if (log.empty()) return L"Kestrow's data folder (%LOCALAPPDATA%\\Kestrow) cannot be made.";
    PruneLogs(log.substr(0, log.find_last_of(L'\\')), log);
    if (FileSize(log) > kMostLogBytes) DeleteLog(log);
    auto file = std::make_unique<RunLogFile>();
    switch (file->Open(log)) {
        case RunLogFile::Opened::Ok: break;
        case RunLogFile::Opened::InUse: return L"another Kestrow is writing its log of this folder (" + log + L").";
        case RunLogFile::Opened::NotALog: return L"the file in its place is not a Kestrow log (" + log + L").";
        case RunLogFile::Opened::Failed: return LastErrorText() + L" (" + log + L")";
    }
    const LastRun last = file->ReadLastRun();
    file_ = std::move(file);
    rows_ = std::make_unique<RunLogRows>(file_.get(), std::to_wstring(last.number + 1), [](const std::wstring&) {});
    user_ = std::make_unique<UnattendedUser>(*rows_);
    folder_ = folder;
    started_ = std::chrono::steady_clock::now();
    {
        const std::lock_guard<std::mutex> lock(pictures_);
        logPath_ = log;
    }
    rows_->RunMarker(LogResult::RunStart, folder, L"", L"", {{L"by", L"the Kestrow window"}});
    return std::wstring();
}

std::wstring WindowBatchLog::End(const BatchResult& result) {
    if (!rows_) return L"the batch was not recorded.";
    user_->Finish(result, folder_);
    rows_->RunMarker(LogResult::RunEnd, folder_, RunEndName(result.end),
                     SecondsText(std::chrono::duration<double>(std::chrono::steady_clock::now() - started_).count()));
    const bool failed = rows_->LogFailed();
    user_.reset();
    rows_.reset();
    file_.reset();  // closed: the report reads it, and another Kestrow may write it
    {
        const std::lock_guard<std::mutex> lock(pictures_);
        logPath_.clear();
    }
    return failed ? L"its log could not be written to the end: " + LastErrorText() : std::wstring();
}

bool WindowBatchLog::HasReport(const std::wstring& folder) {
    const std::wstring log = LogOf(folder);
    return !log.empty() && GetFileAttributesW(log.c_str()) != INVALID_FILE_ATTRIBUTES;
}

void WindowBatchLog::ShowReport(const std::wstring& folder) {
    const std::wstring log = LogOf(folder);
    const std::optional<LogBytes> bytes = ReadLogForReport(log);
    if (!bytes) throw LastErrorAs(L"The log cannot be read: " + log);
    std::optional<ReportedLog> read = ReadReportedLog(FromUtf8(bytes->bytes), RunsToRead::Last);
    if (!read) {
        SetLastError(ERROR_INVALID_DATA);
        throw LastErrorAs(L"This file is not a Kestrow log: " + log);
    }
    const std::vector<ReportSource> sources{
        ReportSource{log.substr(log.find_last_of(L'\\') + 1), log, std::move(*read), bytes->beingWritten}};
    const std::wstring page = PageOf(log);
    PageSetting setting{log.substr(0, log.find_last_of(L'\\')), LocalTimeNow()};
    setting.everyDraftShown = kDraftsOnPage;
    const std::string html = Utf8(ReportPage(sources, RunsToRead::Last, setting));
    if (!WriteWhole(page, html.data(), html.size())) throw LastErrorAs(L"The page cannot be written: " + page);
    if (openPage_) {
        openPage_(page);
        return;
    }
    const auto opened = reinterpret_cast<INT_PTR>(ShellExecuteW(nullptr, L"open", page.c_str(), nullptr, nullptr, SW_SHOWNORMAL));
    if (opened <= 32) {
        SetLastError(opened == SE_ERR_NOASSOC ? ERROR_NO_ASSOCIATION : static_cast<DWORD>(opened));
        throw LastErrorAs(L"Windows could not open the page " + page);
    }
}

std::wstring WindowBatchLog::PictureFolder() {
    std::wstring log;
    {
        const std::lock_guard<std::mutex> lock(pictures_);
        log = logPath_;
    }
    if (log.empty()) return KestrowDataFolder(L"Dialogs");
    const std::wstring folder = DialogFolderBesideLog(log);
    const bool made = CreateDirectoryW(folder.c_str(), nullptr) || GetLastError() == ERROR_ALREADY_EXISTS;
    return made ? folder : std::wstring();
}

}  // namespace kestrow::win32
