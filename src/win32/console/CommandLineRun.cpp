#include "console/CommandLineRun.h"

#include <windows.h>

#include <chrono>
#include <mutex>
#include <unordered_set>
#include <vector>

#include "automation/ApartmentServer.h"
#include "batch/BatchSettings.h"
#include "system/ComApartment.h"
#include "console/ConsoleOutput.h"
#include "copies/CopyKeepingLauncher.h"
#include "copies/CopyMessages.h"
#include "files/DraftCopyFolder.h"
#include "system/FileTime.h"
#include "listing/FileTree.h"
#include "files/FindFileEnumerator.h"
#include "system/KernelHandle.h"
#include "common/LongPath.h"
#include "unattended/ResumePlan.h"
#include "files/RunLogFile.h"
#include "listing/Shard.h"
#include "unattended/UnattendedRun.h"

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
    const auto ticks = [](const FILETIME& t) { return static_cast<long long>(FileTimeNumber(t)); };
    const int offsetMinutes = static_cast<int>((ticks(local) - ticks(utc)) / 600000000LL);
    SYSTEMTIME time{};
    FileTimeToSystemTime(&local, &time);
    return Iso8601(time.wYear, time.wMonth, time.wDay, time.wHour, time.wMinute, time.wSecond, offsetMinutes);
}

// Lines to the console, rows to the log. Rows may come from the batch and
// from a console control handler at once, hence the lock; each draft gets
// one settled row from here, and a later one only when its fate changes.
class ConsoleAndLog : public RunOutput {
public:
    ConsoleAndLog(ConsoleOutput& console, RunLogFile* log, std::wstring run)
        : console_(console), log_(log), run_(std::move(run)) {}
    void Line(const std::wstring& text) override { console_.Line(text); }
    void InHand(const DraftRecord& draft) override {
        if (!RunRows()) return;
        LogRow row = DraftLogRow(LocalTimeNow(), draft);
        row.result = LogResult::InHand;
        const std::lock_guard<std::mutex> lock(mutex_);
        inHand_.insert(draft.path);
        WriteLocked(row);
    }
    void Row(const DraftRecord& draft, std::optional<double> seconds) override {
        LogRow row = DraftLogRow(LocalTimeNow(), draft);
        if (seconds) row.seconds = SecondsText(*seconds);
        if (draft.state == DraftState::Stored)
            if (const auto facts = DraftFactsOnDisk(draft.path)) {
                row.size = facts->size;
                row.written = facts->written;
            }
        const std::lock_guard<std::mutex> lock(mutex_);
        if (draft.state == DraftState::NotReached && !settled_.insert(draft.path).second) return;
        settled_.insert(draft.path);
        WriteLocked(row);
    }
    void Row(const UnreadableFolder& folder) override {
        LogRow row = FolderLogRow(LocalTimeNow(), folder);
        Write(row);
    }
    void RunMarker(const wchar_t* result, const std::wstring& folder, const std::wstring& description,
                   const std::wstring& seconds = std::wstring()) {
        if (!RunRows()) return;
        LogRow row;
        row.time = LocalTimeNow();
        row.result = result;
        row.file = folder;
        row.description = description;
        row.seconds = seconds;
        Write(row);
    }
    // The console is closing: every draft without a settled row gets its
    // not-reached row now, before the process is ended. A draft in hand
    // keeps its in-hand row as its last, so that a resume redoes it and
    // names it: it may be half stored when the process is ended.
    void SettleAll(const std::vector<std::wstring>& paths) {
        for (const std::wstring& path : paths) {
            {
                const std::lock_guard<std::mutex> lock(mutex_);
                if (inHand_.count(path) && !settled_.count(path)) continue;
            }
            DraftRecord draft;
            draft.path = path;
            Row(draft, {});
        }
    }

private:
    bool RunRows() const { return log_ && log_->Layout() == LogLayout::WithRuns; }
    void Write(LogRow& row) {
        const std::lock_guard<std::mutex> lock(mutex_);
        WriteLocked(row);
    }
    void WriteLocked(LogRow& row) {
        if (!log_) return;
        row.run = run_;
        if (!log_->Write(FormatLogRow(row, log_->Layout())) && !logFailed_) {
            logFailed_ = true;
            console_.Line(L"Kestrow: the log could not be written to any more: " + LastErrorText());
        }
    }

    ConsoleOutput& console_;
    RunLogFile* log_;
    std::wstring run_;
    std::mutex mutex_;
    std::unordered_set<std::wstring> settled_;
    std::unordered_set<std::wstring> inHand_;  // drafts that had their in-hand row
    bool logFailed_ = false;
};

// What a console control handler reaches: the handler is process-wide by
// nature, hence the one variable.
struct RunningBatch {
    DraftBatch* batch = nullptr;
    ConsoleAndLog* output = nullptr;
    std::vector<std::wstring> paths;
    KernelHandle ended{CreateEventW(nullptr, TRUE, FALSE, nullptr)};
};
// The handler runs on a thread of its own; the lock keeps the run it reaches
// alive until it is done with it.
struct ConsoleControlTarget {
    std::mutex mutex;
    RunningBatch* running = nullptr;
};
ConsoleControlTarget g_console;

// Windows ends the process some five seconds after a close, log-off or
// shutdown event; the call in hand gets what is left of them.
constexpr DWORD kCloseGraceMs = 4000;

// Ctrl+C or Ctrl+Break: the batch stops after the draft in hand, the server
// is told to end, and the log gets its last rows. Closing the console,
// logging off or shutting down do the same within the time Windows allows.
BOOL WINAPI OnConsoleControl(DWORD event) {
    const std::lock_guard<std::mutex> lock(g_console.mutex);
    RunningBatch* running = g_console.running;
    // Registered, yet no run: it has ended and returns its exit code now.
    if (!running) return event == CTRL_C_EVENT || event == CTRL_BREAK_EVENT;
    if (event == CTRL_C_EVENT || event == CTRL_BREAK_EVENT) {
        if (running->batch->StopRequested()) return FALSE;
        running->batch->RequestStop();
        return TRUE;
    }
    if (event != CTRL_CLOSE_EVENT && event != CTRL_LOGOFF_EVENT && event != CTRL_SHUTDOWN_EVENT) return FALSE;
    running->batch->RequestStop();
    running->output->SettleAll(running->paths);
    // The run sets `ended` before it takes the lock to leave.
    WaitForSingleObject(running->ended.get(), kCloseGraceMs);
    return TRUE;
}

// The run, as the console handler reaches it, from the start of the batch
// to its end on every path, an exception's too: the run's objects outlive it.
class ConsoleControlRegistration {
public:
    explicit ConsoleControlRegistration(RunningBatch& running) : running_(running) {
        {
            const std::lock_guard<std::mutex> lock(g_console.mutex);
            g_console.running = &running_;
        }
        SetConsoleCtrlHandler(&OnConsoleControl, TRUE);
    }
    ~ConsoleControlRegistration() {
        // A close handler waits for `ended` holding the lock: set it first.
        SetEvent(running_.ended.get());
        {
            const std::lock_guard<std::mutex> lock(g_console.mutex);
            g_console.running = nullptr;
        }
        SetConsoleCtrlHandler(&OnConsoleControl, FALSE);
    }
    ConsoleControlRegistration(const ConsoleControlRegistration&) = delete;
    ConsoleControlRegistration& operator=(const ConsoleControlRegistration&) = delete;

private:
    RunningBatch& running_;
};

std::wstring ShareOf(const CommandLine& line) {
    if (line.shardCount <= 1) return std::wstring();
    return L"shard " + std::to_wstring(line.shardIndex) + L"/" + std::to_wstring(line.shardCount);
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
    RunLogFile log;
    if (!line.log.empty()) {
        const std::wstring logPath = FullPath(line.log);
        switch (log.Open(logPath)) {
            case RunLogFile::Opened::Ok: break;
            case RunLogFile::Opened::NotALog:
                err.Line(L"Kestrow: this file is not a Kestrow log, and Kestrow writes nothing into it: " + logPath);
                return ExitCode::NothingTouched;
            case RunLogFile::Opened::InUse:
                err.Line(L"Kestrow: the log is in use by another program, perhaps another Kestrow: " + logPath);
                return ExitCode::NothingTouched;
            case RunLogFile::Opened::Failed:
                err.Line(L"Kestrow: the log cannot be written: " + logPath + L" (" + LastErrorText() + L")");
                return ExitCode::NothingTouched;
        }
    }
    const std::vector<std::wstring>& listed = listing.names;
    const std::vector<std::wstring> names = TakeShard(listed, line.shardIndex, line.shardCount);

    const std::wstring share = ShareOf(line);
    const bool runRows = !line.log.empty() && log.Layout() == LogLayout::WithRuns;
    const RunPlan plan = PlanRun(runRows ? ReadLastRun(log.Text()) : LastRun{}, line.resume && runRows, folder,
                                 share, names, DraftFactsOnDisk);
    log.ForgetText();
    if (line.resume && !runRows)
        out.Line(L"Kestrow: this log was written by an earlier version and records no runs: every draft is updated.");
    if (plan.resumes) {
        out.Line(L"Kestrow: resuming run " + std::to_wstring(plan.run) + L" of this log: " +
                 std::to_wstring(plan.skipped) + L" drafts stored then and unchanged since are skipped.");
        for (const std::wstring& name : plan.wasInHand) out.Line(L"in hand when the run was cut short: " + name);
    }

    ConsoleAndLog output(out, line.log.empty() ? nullptr : &log, std::to_wstring(plan.run));
    output.RunMarker(plan.resumes ? LogResult::RunResume : LogResult::RunStart, folder, share);
    const auto started = std::chrono::steady_clock::now();
    const auto endRun = [&](BatchEnd end) {
        output.RunMarker(LogResult::RunEnd, folder, RunEndName(end),
                         SecondsText(std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count()));
    };
    UnattendedUser user(output);
    user.NameSessions(line.sessions > 1);
    user.FoldersUnreadable(listing.unreadableFolders);
    if (listed.empty()) {
        const int exitCode = user.FinishWithoutDrafts(folder);
        endRun(BatchEnd::Completed);
        return exitCode;
    }
    if (names.empty() || plan.toDo.empty()) {
        const int exitCode = user.FinishWithNothingToDo(
            names.empty() ? L"None of the " + std::to_wstring(listed.size()) + L" drafts in " + folder +
                                L" falls in share " + std::to_wstring(line.shardIndex) + L" of " +
                                std::to_wstring(line.shardCount) + L"; nothing to update."
                          : L"Kestrow: every draft in " + folder +
                                L" was stored by the run and has not changed since.");
        endRun(BatchEnd::Completed);
        return exitCode;
    }

    const ThreadApartment apartment(COINIT_MULTITHREADED);
    ApartmentLauncher servers;
    DraftCopyFolder copies;
    for (const DraftCopy& left : copies.FromEndedRuns()) out.Line(LeftoverCopyLine(left));
    CopyKeepingLauncher launcher(servers, copies);
    DraftBatch batch(folder, plan.toDo, launcher,
                     CallWatch::Policy{std::chrono::milliseconds(0), std::chrono::seconds(line.timeoutSeconds)});
    batch.SetRenewal(RenewalPolicy{line.restartEvery, static_cast<std::uint64_t>(line.restartMemoryMB) * kBytesPerMegabyte});
    batch.SetSessions(line.sessions);
    out.Line(L"Kestrow: updating " + std::to_wstring(plan.toDo.size()) + L" drafts in " + folder +
             (line.shardCount > 1 ? L" (share " + std::to_wstring(line.shardIndex) + L" of " +
                                        std::to_wstring(line.shardCount) + L": " + std::to_wstring(names.size()) +
                                        L" of the " + std::to_wstring(listed.size()) + L" listed)"
                                  : std::wstring()));
    RunningBatch running;
    running.batch = &batch;
    running.output = &output;
    for (const std::wstring& name : plan.toDo) running.paths.push_back(folder + name);
    const ConsoleControlRegistration registration(running);
    const BatchResult result = batch.Run(user, user);
    const int exitCode = user.Finish(result, folder);
    endRun(result.end);
    return exitCode;
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
        case CommandLine::Action::Update:
            try {
                return Update(line, out, err);
            } catch (const std::exception&) {
                // The batch reports its own failures; this is one around it.
                err.Line(L"Kestrow itself failed outside the batch; please report this.");
                return ExitCode::KestrowFailed;
            }
        case CommandLine::Action::Window: break;
    }
    return ExitCode::NothingTouched;
}

}  // namespace kestrow::win32
