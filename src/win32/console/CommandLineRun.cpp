#include "console/CommandLineRun.h"

#include <windows.h>

#include <chrono>
#include <functional>
#include <optional>
#include <unordered_map>
#include <unordered_set>
#include <vector>

#include "automation/SessionThread.h"
#include "batch/BatchSettings.h"
#include "check/CheckCommand.h"
#include "common/LongPath.h"
#include "console/ConsoleAndLog.h"
#include "console/ConsoleControl.h"
#include "console/ConsoleOutput.h"
#include "console/ReportRun.h"
#include "console/SharedNightRun.h"
#include "console/UpdateSteps.h"
#include "copies/CopyKeepingLauncher.h"
#include "copies/CopyMessages.h"
#include "copies/EarlierCopies.h"
#include "files/DraftCopyFolder.h"
#include "files/ExportFilesOnDisk.h"
#include "files/FindFileEnumerator.h"
#include "files/RunLogFile.h"
#include "listing/FileTree.h"
#include "listing/Shard.h"
#include "schedule/ScheduleCommand.h"
#include "system/ComApartment.h"
#include "system/DataFolder.h"
#include "system/FullPath.h"
#include "system/SystemText.h"
#include "unattended/DialogRows.h"
#include "unattended/ResumePlan.h"
#include "unattended/UnattendedRun.h"
#include "unattended/WhatIf.h"

namespace kestrow::win32 {

// Everything that can be wrong with the request is found before any server
// starts or any file is touched: the exit code when something is.
std::optional<int> CheckRequest(const CommandLine& line, ConsoleOutput& err, CheckedRequest& request) {
    request.folder = FullPath(line.folder);
    request.exports = line.exports;
    if (!request.exports.folder.empty()) request.exports.folder = FullPath(request.exports.folder);
    const std::wstring& folder = request.folder;
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
    try {
        request.listing = ListDrafts(request.folder, line.subfolders, directory);
    } catch (const RuntimeError& error) {
        err.Line(L"Kestrow: the folder could not be read: " + folder + L" (" + DescribeError(error) + L")");
        return ExitCode::NothingTouched;
    }
    if (line.log.empty()) return std::nullopt;
    request.logged = true;
    const std::wstring logPath = FullPath(line.log);
    // A run that only says what it would do reads the log and writes nothing.
    switch (line.whatIf ? request.log.OpenToRead(logPath) : request.log.Open(logPath)) {
        case RunLogFile::Opened::Ok: return std::nullopt;
        case RunLogFile::Opened::NotALog:
            err.Line(L"Kestrow: this file is not a Kestrow log, and Kestrow writes nothing into it: " + logPath);
            break;
        case RunLogFile::Opened::InUse:
            err.Line(L"Kestrow: the log is in use by another program, perhaps another Kestrow: " + logPath);
            break;
        case RunLogFile::Opened::Failed:
            err.Line(L"Kestrow: the log cannot be written: " + logPath + L" (" + LastErrorText() + L")");
            break;
    }
    return ExitCode::NothingTouched;
}

namespace {

std::wstring ShareOf(const CommandLine& line) {
    if (line.shardCount <= 1) return std::wstring();
    return L"shard " + std::to_wstring(line.shardIndex) + L"/" + std::to_wstring(line.shardCount);
}

// The plan is made over the first name of each file: a later name's row
// says only under which name its file was done, so the first name's row
// decides whether a resumed run does the file again.
void PlanOverFirstNames(UpdatePlan& plan, const DraftListing& listing,
                        const std::function<RunPlan(const std::vector<std::wstring>&)>& planRun) {
    std::unordered_map<std::wstring, FileIdentity> fileOf;
    for (size_t i = 0; i < listing.names.size() && i < listing.files.size(); ++i)
        fileOf.emplace(listing.names[i], listing.files[i]);
    std::vector<FileIdentity> files;
    for (const std::wstring& name : plan.share) files.push_back(fileOf[name]);
    const std::vector<std::int32_t> earlier = EarlierNamesOfFiles(files);
    std::vector<std::wstring> firstNames;
    for (size_t i = 0; i < plan.share.size(); ++i) {
        if (earlier[i] < 0)
            firstNames.push_back(plan.share[i]);
        else
            plan.otherNames.emplace_back(plan.share[i], plan.share[static_cast<size_t>(earlier[i])]);
    }
    plan.run = planRun(firstNames);
    const std::unordered_set<std::wstring> toDo(plan.run.toDo.begin(), plan.run.toDo.end());
    for (size_t i = 0; i < plan.share.size(); ++i) {
        const std::wstring& first = earlier[i] < 0 ? plan.share[i] : plan.share[static_cast<size_t>(earlier[i])];
        if (!toDo.count(first)) continue;
        plan.batchNames.push_back(plan.share[i]);
        plan.batchFiles.push_back(files[i]);
    }
}

}  // namespace

bool LogRecordsRuns(const CheckedRequest& request) { return request.logged && RecordsRuns(request.log.Layout()); }

namespace {

UpdatePlan PlanUpdate(const CommandLine& line, CheckedRequest& request) {
    UpdatePlan plan;
    plan.share = TakeShard(request.listing.names, line.shardIndex, line.shardCount);
    const bool runRows = LogRecordsRuns(request);
    const LastRun last = runRows ? request.log.ReadLastRun() : LastRun{};
    PlanOverFirstNames(plan, request.listing, [&](const std::vector<std::wstring>& names) {
        return PlanRun(last, line.resume && runRows, request.folder, ShareOf(line), names, DraftFactsOnDisk,
                       request.exports);
    });
    return plan;
}

void TellPlan(const CommandLine& line, const CheckedRequest& request, const UpdatePlan& plan, ConsoleOutput& out) {
    if (line.resume && !LogRecordsRuns(request))
        out.Line(L"Kestrow: this log was written by an earlier version and records no runs: every draft is updated.");
    if (plan.run.resumes) {
        out.Line(L"Kestrow: resuming run " + std::to_wstring(plan.run.run) + L" of this log: " +
                 std::to_wstring(plan.run.skipped) + L" drafts stored then and unchanged since are skipped.");
        for (const std::wstring& name : plan.run.wasInHand) out.Line(L"in hand when the run was cut short: " + name);
    }
}

// What the run would do, and nothing more: no server, no copy, no log row.
int WhatIf(const CommandLine& line, ConsoleOutput& out, ConsoleOutput& err) {
    CheckedRequest request;
    if (const std::optional<int> refused = CheckRequest(line, err, request)) return *refused;
    const UpdatePlan plan = PlanUpdate(line, request);
    WhatIfRequest asked;
    asked.folder = request.folder;
    asked.listed = request.listing.names.size();
    asked.inShare = plan.share.size();
    asked.shardIndex = line.shardIndex;
    asked.shardCount = line.shardCount;
    asked.resume = line.resume;
    asked.logRecordsRuns = LogRecordsRuns(request);
    asked.unreadable = request.listing.unreadableFolders;
    asked.otherNames = plan.otherNames;
    asked.exports = request.exports;
    out.Lines(WhatIfLines(asked, plan.run));
    return ExitCode::AllStored;
}

// Why a run has nothing to do, or "" when it has.
std::wstring NothingToDo(const CommandLine& line, const CheckedRequest& request, const UpdatePlan& plan) {
    const size_t listed = request.listing.names.size();
    if (plan.share.empty())
        return L"None of the " + std::to_wstring(listed) + L" drafts in " + request.folder + L" falls in share " +
               std::to_wstring(line.shardIndex) + L" of " + std::to_wstring(line.shardCount) +
               L"; nothing to update.";
    if (plan.run.toDo.empty())
        return L"Kestrow: every draft in " + request.folder + L" was stored by the run and has not changed since.";
    return std::wstring();
}

}  // namespace

// Where the pictures of the CAD system's dialogs go: beside the log, named
// after it, or else in Kestrow's data folder. Made when first needed.
std::function<std::wstring()> DialogPictures(const CommandLine& line) {
    if (line.log.empty()) return [] { return KestrowDataFolder(L"Dialogs"); };
    return [folder = DialogFolderBesideLog(FullPath(line.log))] {
        const bool made = CreateDirectoryW(folder.c_str(), nullptr) || GetLastError() == ERROR_ALREADY_EXISTS;
        return made ? folder : std::wstring();
    };
}

// The batch over the plan's drafts, in sessions of the CAD system of its
// own, with a copy of each draft kept while it is open. With a `source`, the
// plan's drafts are those the source may hand out, and it hands them out.
BatchResult RunBatch(const CommandLine& line, const CheckedRequest& request, const UpdatePlan& plan,
                     ConsoleAndLog& output, UnattendedUser& user, DraftCopyFolder& copies, RunningBatch& running,
                     DraftSource* source) {
    const ThreadApartment apartment(COINIT_MULTITHREADED);
    ExportFilesOnDisk exportFiles;
    SessionThreadLauncher servers(BusyRetry{}, nullptr, DialogPictures(line));
    CopyKeepingLauncher launcher(servers, copies);
    const std::wstring& folder = request.folder;
    DraftBatch batch(folder, plan.batchNames, launcher,
                     CallWatch::Policy{std::chrono::milliseconds(0), std::chrono::seconds(line.timeoutSeconds)});
    batch.SetFiles(plan.batchFiles);
    batch.SetRenewal(
        RenewalPolicy{line.restartEvery, static_cast<std::uint64_t>(line.restartMemoryMB) * kBytesPerMegabyte});
    batch.SetSessions(line.sessions);
    batch.SetAnswers(line.answers);
    batch.SetExports(request.exports, exportFiles);
    if (source) batch.SetSource(*source);
    const size_t listed = request.listing.names.size();
    if (!source)
        output.Line(L"Kestrow: updating " + std::to_wstring(plan.run.toDo.size()) + L" drafts in " + folder +
                    (line.shardCount > 1 ? L" (share " + std::to_wstring(line.shardIndex) + L" of " +
                                               std::to_wstring(line.shardCount) + L": " +
                                               std::to_wstring(plan.share.size()) + L" of the " +
                                               std::to_wstring(listed) + L" listed)"
                                         : std::wstring()));
    // The batch is reached from outside only while it exists.
    struct Reachable {
        RunningBatch& running;
        Reachable(RunningBatch& r, DraftBatch& batch) : running(r) { running.SetBatch(&batch); }
        ~Reachable() { running.SetBatch(nullptr); }
    } reachable(running, batch);
    // How long a shared night has left depends on the other computers too.
    if (!source) user.EstimateTimeLeft(static_cast<std::int64_t>(plan.batchNames.size()), line.sessions);
    return batch.Run(user, user);
}

namespace {

int Update(const CommandLine& line, ConsoleOutput& out, ConsoleOutput& err) {
    CheckedRequest request;
    if (const std::optional<int> refused = CheckRequest(line, err, request)) return *refused;
    const UpdatePlan plan = PlanUpdate(line, request);
    TellPlan(line, request, plan, out);

    const std::wstring& folder = request.folder;
    ConsoleAndLog output(out, request.logged ? &request.log : nullptr, std::to_wstring(plan.run.run));
    std::vector<std::wstring> paths;
    for (const std::wstring& name : plan.batchNames) paths.push_back(folder + name);
    // From before the run's first row to after its last: a close or the end
    // of the session waits for that last row.
    RunningBatch running(output, std::move(paths));
    const ConsoleControlRegistration registration(running);
    output.RunMarker(plan.run.resumes ? LogResult::RunResume : LogResult::RunStart, folder, ShareOf(line));
    const auto started = std::chrono::steady_clock::now();
    const auto endRun = [&](BatchEnd end, int exitCode) {
        const std::wstring stoppedBy = running.StoppedBy();
        output.RunMarker(LogResult::RunEnd, folder, RunEndName(end),
                         SecondsText(std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count()),
                         stoppedBy.empty() ? std::vector<DetailPart>{} : std::vector<DetailPart>{{L"stopped by", stoppedBy}});
        return exitCode;
    };
    UnattendedUser user(output);
    user.NameSessions(line.sessions > 1);
    // The copies earlier runs left of drafts in this folder are named at the
    // start of every run until a run stores their drafts; those of other
    // folders are other runs' business.
    DraftCopyFolder copies;
    copies.SetRunLabel(request.logged ? L"run " + std::to_wstring(plan.run.run) + L" of " + FullPath(line.log)
                                      : L"Kestrow.exe /update " + folder);
    EarlierCopies earlier(copies, [&](const std::wstring& draftPath) {
        return InFolder(draftPath, folder, line.subfolders);
    });
    user.TellEarlierCopies(earlier);
    user.FoldersUnreadable(request.listing.unreadableFolders);
    if (request.listing.names.empty()) return endRun(BatchEnd::Completed, user.FinishWithoutDrafts(folder));
    if (const std::wstring why = NothingToDo(line, request, plan); !why.empty())
        return endRun(BatchEnd::Completed, user.FinishWithNothingToDo(why));

    const BatchResult result = RunBatch(line, request, plan, output, user, copies, running);
    return endRun(result.end, user.Finish(result, folder));
}

}  // namespace

int RunCommandLine(const CommandLine& line) {
    JoinParentConsole();
    ConsoleOutput out(STD_OUTPUT_HANDLE);
    ConsoleOutput err(STD_ERROR_HANDLE);
    switch (line.action) {
        case CommandLine::Action::Usage: {
            std::wstring usage = UsageText() + L"\nBefore the first night:\n" + CheckUsageText() +
                                 L"\nNights in the Task Scheduler:\n" + ScheduleUsageText();
            if (!usage.empty() && usage.back() == L'\n') usage.pop_back();
            out.Line(usage);
            return ExitCode::AllStored;
        }
        case CommandLine::Action::Invalid:
            err.Line(L"Kestrow: " + line.error);
            err.Line(HelpHint());
            return ExitCode::NothingTouched;
        case CommandLine::Action::Update:
            try {
                if (!line.queue.empty()) return line.whatIf ? SharedNightWhatIf(line, out, err) : SharedNight(line, out, err);
                return line.whatIf ? WhatIf(line, out, err) : Update(line, out, err);
            } catch (const std::exception&) {
                // The batch reports its own failures; this is one around it.
                err.Line(L"Kestrow itself failed outside the batch; please report this.");
                return ExitCode::KestrowFailed;
            }
        case CommandLine::Action::Report:
            try {
                return RunReport(line, out, err);
            } catch (const std::exception&) {
                err.Line(L"Kestrow itself failed while reading the logs; please report this.");
                return ExitCode::KestrowFailed;
            }
        case CommandLine::Action::Window: break;
    }
    return ExitCode::NothingTouched;
}

}  // namespace kestrow::win32
