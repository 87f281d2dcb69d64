#include "CommandLineRun.h"

#include <windows.h>

#include <atomic>
#include <vector>

#include "ApartmentServer.h"
#include "ComApartment.h"
#include "ConsoleOutput.h"
#include "FileTree.h"
#include "FindFileEnumerator.h"
#include "KernelHandle.h"
#include "LongPath.h"
#include "UnattendedRun.h"

namespace kestrow::win32 {
namespace {

std::wstring FullPath(const std::wstring& path) {
    const DWORD size = GetFullPathNameW(path.c_str(), 0, nullptr, nullptr);
    if (size == 0) return path;
    std::wstring full(size, L'\0');
    full.resize(GetFullPathNameW(path.c_str(), size, full.data(), nullptr));
    return full;
}

std::wstring LastErrorText() {
    const DWORD error = GetLastError();
    std::wstring text = SystemMessage(HRESULT_FROM_WIN32(error));
    return text.empty() ? L"error " + std::to_wstring(error) : text;
}

// The local time now, in ISO 8601 with its offset from UTC.
std::wstring LocalTimeNow() {
    FILETIME utc{}, local{};
    GetSystemTimeAsFileTime(&utc);
    FileTimeToLocalFileTime(&utc, &local);
    const auto ticks = [](const FILETIME& t) {
        return static_cast<long long>((static_cast<unsigned long long>(t.dwHighDateTime) << 32) | t.dwLowDateTime);
    };
    const int offsetMinutes = static_cast<int>((ticks(local) - ticks(utc)) / 600000000LL);
    SYSTEMTIME time{};
    FileTimeToSystemTime(&local, &time);
    return Iso8601(time.wYear, time.wMonth, time.wDay, time.wHour, time.wMinute, time.wSecond, offsetMinutes);
}

// The CSV log, appended to row by row so that a run cut short keeps what it
// wrote.
class LogFile {
public:
    bool Open(const std::wstring& path) {
        file_ = OwnHandle(CreateFileW(ExtendedLengthPath(path).c_str(), FILE_APPEND_DATA, FILE_SHARE_READ, nullptr,
                                      OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
        if (!file_) return false;
        LARGE_INTEGER size{};
        if (GetFileSizeEx(file_.get(), &size) && size.QuadPart == 0) return Write(LogHeader());
        return true;
    }
    bool Write(const std::wstring& line) {
        if (!file_) return true;
        const std::string bytes = Utf8(line + L"\r\n");
        DWORD written = 0;
        return WriteFile(file_.get(), bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr) &&
               written == bytes.size();
    }

private:
    KernelHandle file_;
};

class ConsoleAndLog : public RunOutput {
public:
    ConsoleAndLog(ConsoleOutput& console, LogFile& log) : console_(console), log_(log) {}
    void Line(const std::wstring& text) override { console_.Line(text); }
    void Row(const DraftRecord& draft) override {
        Write(LogRow(LocalTimeNow(), draft));
    }
    void Row(const UnreadableFolder& folder) override { Write(LogRow(LocalTimeNow(), folder)); }

private:
    void Write(const std::wstring& row) {
        if (!log_.Write(row) && !logFailed_) {
            logFailed_ = true;
            console_.Line(L"Kestrow: the log could not be written to any more: " + LastErrorText());
        }
    }

    ConsoleOutput& console_;
    LogFile& log_;
    bool logFailed_ = false;
};

// Ctrl+C or Ctrl+Break in the console: the batch stops after the draft in
// hand, the server is told to end, and the log gets its last rows. The
// handler is process-wide by nature, hence the one variable it reaches.
std::atomic<DraftBatch*> g_runningBatch{nullptr};

BOOL WINAPI OnConsoleControl(DWORD event) {
    if (event != CTRL_C_EVENT && event != CTRL_BREAK_EVENT) return FALSE;
    DraftBatch* batch = g_runningBatch.load();
    if (!batch || batch->StopRequested()) return FALSE;
    batch->RequestStop();
    return TRUE;
}

int Update(const CommandLine& line, ConsoleOutput& out, ConsoleOutput& err) {
    // Everything that can be wrong with the request is found before any
    // server starts or any file is touched.
    std::wstring folder = FullPath(line.folder);
    const DWORD attributes = GetFileAttributesW(ExtendedLengthPath(folder).c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES) {
        err.Line(L"Kestrow: the folder cannot be found: " + folder + L" (" + LastErrorText() + L")");
        return ExitCode::NothingTouched;
    }
    if (!(attributes & FILE_ATTRIBUTE_DIRECTORY)) {
        err.Line(L"Kestrow: this is a file, not a folder: " + folder);
        return ExitCode::NothingTouched;
    }
    FindFileEnumerator directory;
    DraftListing listing;
    try {
        listing = ListDrafts(folder, line.subfolders, directory);
    } catch (const RuntimeError& error) {
        err.Line(L"Kestrow: the folder could not be read: " + folder + L" (" + DescribeError(error) + L")");
        return ExitCode::NothingTouched;
    }
    LogFile log;
    if (!line.log.empty()) {
        const std::wstring logPath = FullPath(line.log);
        if (!log.Open(logPath)) {
            err.Line(L"Kestrow: the log cannot be written: " + logPath + L" (" + LastErrorText() + L")");
            return ExitCode::NothingTouched;
        }
    }
    ConsoleAndLog output(out, log);
    UnattendedUser user(output);
    user.FoldersUnreadable(listing.unreadableFolders);
    if (listing.names.empty()) return user.FinishWithoutDrafts(folder);
    const std::vector<std::wstring>& names = listing.names;

    const ThreadApartment apartment(COINIT_MULTITHREADED);
    ApartmentLauncher launcher;
    DraftBatch batch(folder, names, launcher,
                     CallWatch::Policy{std::chrono::milliseconds(0), std::chrono::seconds(line.timeoutSeconds)});
    out.Line(L"Kestrow: updating " + std::to_wstring(names.size()) + L" drafts in " + folder);
    g_runningBatch = &batch;
    SetConsoleCtrlHandler(&OnConsoleControl, TRUE);
    const BatchResult result = batch.Run(user, user);
    SetConsoleCtrlHandler(&OnConsoleControl, FALSE);
    g_runningBatch = nullptr;
    return user.Finish(result, folder);
}

}  // namespace

int RunCommandLine(const CommandLine& line) {
    ConsoleOutput out(STD_OUTPUT_HANDLE);
    ConsoleOutput err(STD_ERROR_HANDLE);
    switch (line.action) {
        case CommandLine::Action::Usage: {
            std::wstring usage = UsageText();
            if (!usage.empty() && usage.back() == L'\n') usage.pop_back();
            out.Line(usage);
            return ExitCode::AllStored;
        }
        case CommandLine::Action::Invalid:
            err.Line(L"Kestrow: " + line.error);
            err.Line(L"Kestrow.exe /? shows how to use the command line.");
            return ExitCode::NothingTouched;
        case CommandLine::Action::Update: return Update(line, out, err);
        case CommandLine::Action::Window: break;
    }
    return ExitCode::NothingTouched;
}

}  // namespace kestrow::win32
