#include "console/SharedNightRun.h"

#include <windows.h>

#include <chrono>
#include <cstdio>
#include <map>

#include "common/ConnectionText.h"
#include "console/NightDatabase.h"
#include "console/ReportRun.h"
#include "console/UpdateSteps.h"
#include "copies/EarlierCopies.h"
#include "files/UnsentFile.h"
#include "listing/FileIdentity.h"
#include "queue/NightQueue.h"
#include "queue/NightReport.h"
#include "system/ComputerName.h"
#include "system/FullPath.h"
#include "system/Process.h"

namespace kestrow::win32 {
namespace {

LeasePolicy PolicyOf(const CommandLine& line) {
    LeasePolicy policy;
    policy.length = std::chrono::seconds(line.leaseSeconds);
    return policy;
}

// This run among the night's: the computer, and the process on it.
NightMember ThisMember() {
    const std::wstring computer = ThisComputerName();
    const ProcessIdentity self = ThisProcess();
    wchar_t started[24];
    std::swprintf(started, 24, L"%llx", static_cast<unsigned long long>(self.creationTime));
    return NightMember{computer, computer + L"/" + std::to_wstring(self.id) + L"/" + started};
}

// The names a new night lists: the first name of each file (a file listed
// under a second name is done once, under its first).
std::vector<std::wstring> FirstNames(const DraftListing& listing) {
    std::vector<FileIdentity> files(listing.files);
    files.resize(listing.names.size());
    const std::vector<std::int32_t> earlier = EarlierNamesOfFiles(files);
    std::vector<std::wstring> names;
    for (size_t i = 0; i < listing.names.size(); ++i)
        if (earlier[i] < 0) names.push_back(listing.names[i]);
    return names;
}

std::wstring NightName(std::int64_t night) { return L"night " + std::to_wstring(night); }

// "300 drafts: 280 stored, 2 failed, 3 in hand, 15 waiting"
std::wstring ProgressText(const NightProgress& progress) {
    return std::to_wstring(progress.Total()) + L" drafts: " + std::to_wstring(progress.stored) + L" stored, " +
           std::to_wstring(progress.failed) + L" failed, " + std::to_wstring(progress.taken) + L" in hand, " +
           std::to_wstring(progress.waiting) + L" waiting";
}

// Only the drafts this computer took are its run's.
BatchResult TakenHere(BatchResult result) {
    std::erase_if(result.drafts, [](const DraftRecord& draft) { return draft.session == 0; });
    return result;
}

}  // namespace

int SharedNight(const CommandLine& line, ConsoleOutput& out, ConsoleOutput& err) {
    CheckedRequest request;
    if (const std::optional<int> refused = CheckRequest(line, err, request)) return *refused;
    const LeasePolicy policy = PolicyOf(line);
    OpenedDatabase opened = OpenNightDatabase(line.queue, DatabaseUse::Night, policy, out, err);
    if (!opened.database) return opened.exitCode;
    NightDatabase& database = *opened.database;
    const std::wstring engine = EngineName(*database.connection);
    const std::wstring& folder = request.folder;
    const NightFolder nightFolder{folder, line.subfolders};
    const std::wstring unsentPath = UnsentFilePath(FolderKey(nightFolder), line.queue);

    const std::int64_t run = LogRecordsRuns(request) ? request.log.ReadLastRun().number + 1 : 1;
    ConsoleAndLog output(out, request.logged ? &request.log : nullptr, std::to_wstring(run));
    NightQueue queue(*database.connector, std::move(database.connection), policy, ThisMember(),
                     [&output](const std::wstring& text) { output.Line(text); });
    const std::vector<UnsentItem> earlierUnsent = ReadUnsent(unsentPath);
    if (!earlierUnsent.empty())
        output.Line(L"Kestrow: sending the database " + std::to_wstring(earlierUnsent.size()) +
                    L" rows and fates an earlier run of this night could not send.");
    queue.Resend(earlierUnsent);
    const OpenedNight* night = nullptr;
    try {
        night = &queue.Open(nightFolder, [&request] { return FirstNames(request.listing); });
    } catch (const DatabaseError& error) {
        err.Line(L"Kestrow: the night could not be chosen in the database (" + error.Message() +
                 L"). Nothing was changed.");
        return error.Failure() == DatabaseFailure::ConnectionLost ? ExitCode::DatabaseGone : ExitCode::NothingTouched;
    }
    output.SetRowSink([&queue](const LogRow& row) { queue.Send(row); });

    // A draft in hand when the console closes keeps its in-hand row: its
    // lease lapses, and another computer takes it.
    RunningBatch running(output, {});
    const ConsoleControlRegistration registration(running);
    output.RunMarker(LogResult::RunStart, folder, NightName(night->night) + L", shared");
    const auto started = std::chrono::steady_clock::now();
    if (night->listedHere)
        output.Line(L"Kestrow: listed " + std::to_wstring(night->open.size()) + L" drafts in " + folder + L" as " +
                    NightName(night->night) + L", shared with other computers through " + engine + L".");
    else
        output.Line(L"Kestrow: joined " + NightName(night->night) + L" over " + folder + L", shared through " + engine +
                    L": " + std::to_wstring(night->open.size()) + L" drafts not yet done.");

    UnattendedUser user(output);
    user.NameSessions(line.sessions > 1);
    DraftCopyFolder copies;
    copies.SetRunLabel(request.logged ? L"run " + std::to_wstring(run) + L" of " + FullPath(line.log)
                                      : L"Kestrow.exe /update " + folder + L" /queue");
    EarlierCopies earlier(copies, [&](const std::wstring& draftPath) { return InFolder(draftPath, folder, line.subfolders); });
    user.TellEarlierCopies(earlier);
    // The folders unread are the listing's, and only the computer that
    // listed the night has one.
    if (night->listedHere) user.FoldersUnreadable(request.listing.unreadableFolders);

    BatchResult result;
    int exitCode = ExitCode::AllStored;
    if (night->open.empty()) {
        exitCode = user.FinishWithNothingToDo(L"Kestrow: every draft of " + NightName(night->night) + L" over " + folder +
                                              L" is done; nothing is left for this computer.");
    } else {
        UpdatePlan plan;
        for (const OpenDraft& draft : night->open) plan.batchNames.push_back(draft.name);
        plan.run.run = run;
        plan.run.toDo = plan.batchNames;
        result = TakenHere(RunBatch(line, request, plan, output, user, copies, running, &queue));
        exitCode = user.Finish(result, folder);
    }
    const bool gaveUp = queue.GaveUp();
    const std::wstring how = gaveUp ? L"database-gone" : RunEndName(result.end);
    const std::wstring stoppedBy = running.StoppedBy();
    output.RunMarker(LogResult::RunEnd, folder, how,
                     SecondsText(std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count()),
                     stoppedBy.empty() ? std::vector<DetailPart>{} : std::vector<DetailPart>{{L"stopped by", stoppedBy}});
    const std::vector<UnsentItem> unsent = queue.Close(how);
    if (!KeepUnsent(unsentPath, unsent))
        output.Line(L"Kestrow: what the database missed could not be kept for the next run (" + unsentPath +
                    L"); this computer's log holds it.");
    else if (!unsent.empty())
        output.Line(L"Kestrow: " + std::to_wstring(unsent.size()) +
                    L" rows and fates the database missed are kept for this night's next run on this computer, "
                    L"which sends them first.");
    if (const std::optional<NightProgress> progress = queue.ProgressNow())
        output.Line(L"The night over " + folder + L" (" + NightName(night->night) + L"): " + ProgressText(*progress) +
                    L".");
    return gaveUp ? ExitCode::DatabaseGone : exitCode;
}

int SharedNightWhatIf(const CommandLine& line, ConsoleOutput& out, ConsoleOutput& err) {
    CheckedRequest request;
    if (const std::optional<int> refused = CheckRequest(line, err, request)) return *refused;
    const LeasePolicy policy = PolicyOf(line);
    OpenedDatabase opened = OpenNightDatabase(line.queue, DatabaseUse::ReadOnly, policy, out, err);
    if (!opened.database) return opened.exitCode;
    SqlConnection& connection = *opened.database->connection;
    const std::wstring& folder = request.folder;
    const NightFolder nightFolder{folder, line.subfolders};
    const NightMember member = ThisMember();
    try {
        NightStore store(connection);
        const std::optional<NightFacts> latest = store.LatestNight(nightFolder, member.computer);
        out.Line(L"Kestrow: the night over " + folder + L" is shared through " + EngineName(connection) + L" (" +
                 WithoutPassword(line.queue) + L"), as " + member.computer + L".");
        if (ChooseNight(latest) == NightChoice::ListAnew) {
            const std::vector<std::wstring> names = FirstNames(request.listing);
            out.Line(std::wstring(latest ? L"Its last night is done" : L"No night of this folder is under way") +
                     L": this computer would list the folder as a new night of " + std::to_wstring(names.size()) +
                     L" drafts" + (names.empty() ? L"." : L" and take the first: " + names.front()));
            return ExitCode::AllStored;
        }
        std::map<std::wstring, std::int64_t> inHand;  // by computer
        NightProgress progress;
        for (const NightDraft& draft : store.DraftsOf(latest->id)) {
            if (draft.state == L"waiting") ++progress.waiting;
            if (draft.state == L"stored") ++progress.stored;
            if (draft.state == L"failed") ++progress.failed;
            if (draft.state == L"taken") {
                ++progress.taken;
                ++inHand[draft.computer];
            }
        }
        std::wstring holders;
        for (const auto& [computer, count] : inHand)
            holders += (holders.empty() ? L" (" : L", ") + computer + L": " + std::to_wstring(count);
        out.Line(L"It holds " + NightName(latest->id) + L": " + ProgressText(progress) + (holders.empty() ? L"" : holders + L")") + L".");
        if (const std::optional<NightDraft> next = store.NextToTake(latest->id))
            out.Line(L"This computer would take next: " + next->name +
                     (next->state == L"taken" ? L" (its lease on " + next->computer + L" ran out)" : std::wstring()));
        else if (progress.taken > 0)
            out.Line(L"Nothing is free to take: this computer would wait for the drafts in other computers' hands.");
        else
            out.Line(L"Every draft of it is done: this computer would take nothing.");
    } catch (const DatabaseError& error) {
        err.Line(L"Kestrow: the night's database failed: " + error.Message() + L". Nothing was changed.");
        return ExitCode::NothingTouched;
    }
    return ExitCode::AllStored;
}

int SharedNightReport(const CommandLine& line, ConsoleOutput& out, ConsoleOutput& err) {
    if (!ReportPageMayBeWritten(line, err)) return ExitCode::NothingTouched;
    OpenedDatabase opened = OpenNightDatabase(line.queue, DatabaseUse::ReadOnly, PolicyOf(line), out, err);
    if (!opened.database) return opened.exitCode;
    try {
        NightStore store(*opened.database->connection);
        const std::optional<NightFolder> folder =
            line.folder.empty() ? std::nullopt : std::optional<NightFolder>(NightFolder{FullPath(line.folder), line.subfolders});
        const auto night = store.ReportedNight(folder);
        if (!night) {
            err.Line(L"Kestrow: the database holds no night" + (folder ? L" of " + folder->folder : std::wstring()) + L".");
            return ExitCode::NothingTouched;
        }
        const std::vector<ReportSource> sources = NightSources(store.RowsOf(night->first));
        const NightProgress progress = store.Progress(night->first);
        out.Line(L"Kestrow: " + NightName(night->first) + L" over " + night->second + L", shared through " +
                 EngineName(*opened.database->connection) + L": " + ProgressText(progress) + L".");
        return ReportOn(line, sources, RunsToRead::All, progress.waiting == 0 && progress.taken == 0, out, err);
    } catch (const DatabaseError& error) {
        err.Line(L"Kestrow: the night's database failed: " + error.Message() + L".");
        return ExitCode::NothingTouched;
    }
}

}  // namespace kestrow::win32
