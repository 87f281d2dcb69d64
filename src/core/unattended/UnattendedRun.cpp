#include "unattended/UnattendedRun.h"

#include <algorithm>
#include <cstdio>

#include "server/ServerOwnership.h"
#include "common/LongPath.h"
#include "common/NumberText.h"
#include "copies/CopyMessages.h"
#include "unattended/DialogRows.h"
#include "unattended/ExportRows.h"

namespace kestrow {
namespace {

const wchar_t* ResultName(DraftState state) {
    switch (state) {
        case DraftState::Stored: return L"stored";
        case DraftState::Failed: return L"failed";
        // Not done by this run, as a draft it never reached: its row says why.
        case DraftState::Released:
        case DraftState::NotReached: break;
    }
    return L"not-reached";
}

// Whether the draft's row and line carry its error.
bool SaysWhy(const DraftRecord& draft) {
    return (draft.state == DraftState::Failed || draft.state == DraftState::Released) && draft.error;
}

std::wstring DraftLine(const DraftRecord& draft) {
    const std::wstring result = draft.state == DraftState::Released ? L"left" : ResultName(draft.state);
    std::wstring line = result + L"  " + draft.name;
    if (!draft.doneUnder.empty()) return line + L"  (the same file as " + draft.doneUnder + L", done once)";
    if (SaysWhy(draft)) line += L"  (" + DescribeError(*draft.error) + L")";
    return line;
}

// ", <n> not put back as they were" when failed drafts may have changed.
std::wstring NotPutBackCount(const BatchResult& result) {
    const auto kept = std::count_if(result.drafts.begin(), result.drafts.end(),
                                    [](const DraftRecord& d) { return d.state == DraftState::Failed && d.keptCopy; });
    if (kept == 0) return std::wstring();
    return L", " + std::to_wstring(kept) + L" of them not put back as they were: their copies are kept";
}

// A row's first six columns; the error's only when there is one.
LogRow RowOf(const std::wstring& time, const wchar_t* result, const std::wstring& file, const RuntimeError* error) {
    LogRow row;
    row.time = time;
    row.result = result;
    row.file = file;
    if (error) {
        row.error = std::to_wstring(error->Number());
        row.source = error->Source();
        row.description = error->Description();
    }
    return row;
}

}  // namespace

int ExitCodeFor(const BatchResult& result) {
    switch (result.end) {
        case BatchEnd::CadAlreadyRunning:
        case BatchEnd::ServerCouldNotStart:
        case BatchEnd::ServerKeptFailing: return ExitCode::ServerFailed;
        case BatchEnd::KestrowFailed: return ExitCode::KestrowFailed;
        case BatchEnd::Completed:
        case BatchEnd::Cancelled:
        case BatchEnd::Stopped: break;
    }
    return result.Count(DraftState::Stored) == static_cast<std::int32_t>(result.drafts.size()) &&
                   result.CountExports(DraftExport::State::Failed) == 0
               ? ExitCode::AllStored
               : ExitCode::SomeNotStored;
}

void UnattendedUser::DraftStarting(std::int32_t index, std::int32_t, const DraftRecord& draft) {
    draftStarts_[index] = std::chrono::steady_clock::now();
    output_.InHand(draft);
}

void UnattendedUser::DraftEnded(std::int32_t index, std::int32_t count, const DraftRecord& draft) {
    // Sessions start and end drafts out of step: each draft keeps its own
    // start.
    // A name whose file was done under another was never started itself.
    const auto started = draftStarts_.find(index);
    std::optional<double> seconds;
    if (started != draftStarts_.end()) {
        seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - started->second).count();
        draftStarts_.erase(started);
    }
    if (draft.state == DraftState::NotReached) return;
    output_.Line(DraftLine(draft) +
                 (nameSessions_ && draft.session > 0 ? L"  [session " + std::to_wstring(draft.session) + L"]"
                                                      : std::wstring()));
    output_.Row(draft, seconds);
    for (const DraftExport& made : draft.exports) {
        output_.Line(ExportLine(draft, made));
        output_.ExportRow(draft, made);
    }
    if (earlier_)
        for (const DraftCopy& copy : earlier_->Settle(draft)) {
            output_.Line(RetiredCopyLine(copy));
            output_.Row(LogResult::RetiredCopy, copy);
        }
    if (!now_) return;
    timeLeft_.DraftDone();
    const auto now = now_();
    const std::optional<std::chrono::seconds> left = timeLeft_.Left(now);
    if (!left || left->count() == 0 || (timeLeftTold_ && now - *timeLeftTold_ < kTimeLeftEvery)) return;
    timeLeftTold_ = now;
    output_.Line(L"Kestrow: " + GroupedNumber(timeLeft_.Done()) + L" of " + GroupedNumber(count) + L" drafts done; at this pace, " +
                 TimeLeftText(*left) + L".");
}

void UnattendedUser::EstimateTimeLeft(std::int64_t drafts, std::int32_t sessions,
                                      std::function<std::chrono::steady_clock::time_point()> now) {
    now_ = std::move(now);
    timeLeft_.Start(now_(), drafts, sessions);
}

void UnattendedUser::TellEarlierCopies(EarlierCopies& earlier) {
    earlier_ = &earlier;
    for (const DraftCopy& copy : earlier.Copies()) {
        output_.Line(LeftoverCopyLine(copy));
        output_.Row(LogResult::KeptCopy, copy);
    }
}

void UnattendedUser::SessionRenewed(const std::wstring& why) {
    output_.Line(L"Kestrow: ended the Solid Edge session as planned (" + why + L"); the next draft starts a fresh one.");
}

void UnattendedUser::SessionsReduced(std::int32_t running, const std::wstring& why) {
    if (now_) timeLeft_.SessionsAtWork(now_(), running);
    output_.Line(L"Kestrow: " + why + L"; going on with " + std::to_wstring(running) +
                 (running == 1 ? L" session." : L" sessions."));
}

void UnattendedUser::SessionsShareOneProcess() {
    output_.Line(L"Kestrow: Solid Edge serves several sessions from one process (it is registered for every "
                 L"client); going on with the sessions that have a process of their own.");
}

std::wstring StartNoticeText(StartNotice notice, std::int32_t session, bool named) {
    const std::wstring which = named ? L"session " + std::to_wstring(session) : std::wstring(L"the session");
    switch (notice) {
        case StartNotice::TurnNotComputerWide:
            return L"the turn that starts of Solid Edge take could not be shared with every Kestrow of this "
                   L"computer, so starts may overlap with other Kestrows'; each start still knows its own process "
                   L"by how COM started it.";
        case StartNotice::StartedWithoutTurn:
            return L"another start of Solid Edge held the turn for over 10 minutes; " + which +
                   L" started without it, and knows its own process by how COM started it.";
    }
    return std::wstring();
}

void UnattendedUser::StartNoticed(std::int32_t session, StartNotice notice) {
    const std::wstring text = StartNoticeText(notice, session, nameSessions_);
    output_.Line(L"Kestrow: " + text);
    output_.Note(notice == StartNotice::TurnNotComputerWide ? 0 : session, text);
}

void UnattendedUser::DialogShown(const DraftRecord& draft, const CadDialog& dialog, const std::wstring& action) {
    output_.Line(DialogLine(draft, dialog, action));
    output_.Dialog(draft, dialog, action);
}

void UnattendedUser::FoldersUnreadable(const std::vector<UnreadableFolder>& folders) {
    for (const UnreadableFolder& folder : folders) {
        output_.Line(L"unreadable  " + folder.path + L"  (" + DescribeError(folder.error) + L")");
        output_.Row(folder);
    }
    unreadableFolders_ += folders.size();
}

int UnattendedUser::WithUnreadableFolders(int exitCode) const {
    return unreadableFolders_ > 0 && exitCode == ExitCode::AllStored ? ExitCode::SomeNotStored : exitCode;
}

std::wstring UnattendedUser::UnreadableSummary() const {
    if (unreadableFolders_ == 0) return std::wstring();
    return L" " + std::to_wstring(unreadableFolders_) +
           (unreadableFolders_ == 1 ? L" folder could not be read." : L" folders could not be read.");
}

int UnattendedUser::FinishWithNothingToDo(const std::wstring& why) {
    output_.Line(why + UnreadableSummary());
    return WithUnreadableFolders(ExitCode::AllStored);
}

int UnattendedUser::FinishWithoutDrafts(const std::wstring& folder) {
    return FinishWithNothingToDo(L"No Draft file(s) in " + folder + L"; nothing to update.");
}

int UnattendedUser::Finish(const BatchResult& result, const std::wstring& folder) {
    // Every draft that was reached has had its row as it ended.
    for (const DraftRecord& draft : result.drafts)
        if (draft.state == DraftState::NotReached) output_.Row(draft, std::nullopt);

    switch (result.end) {
        case BatchEnd::CadAlreadyRunning: {
            const SessionLetGo why = result.letGo.value_or(SessionLetGo::UsersSession);
            const std::wstring text =
                LetGoText(why) + L" Kestrow works only in a session of its own and made no call to this one: " +
                LetGoMend(why) + L", then run Kestrow again. " +
                (result.Count(DraftState::NotReached) < static_cast<std::int32_t>(result.drafts.size())
                     ? L"This was found as a fresh session started during the run, which stopped there."
                     : L"Nothing was changed.");
            output_.Line(text);
            // A row of the log too, so that the morning's report tells why
            // the night did nothing.
            output_.Note(0, text);
            break;
        }
        case BatchEnd::ServerCouldNotStart:
            output_.Line(L"Solid Edge could not be started: " + DescribeError(*result.serverError));
            break;
        case BatchEnd::ServerKeptFailing:
            output_.Line(L"Solid Edge keeps failing: it stopped on " +
                         std::to_wstring(DraftBatch::kServerLossesInARow) + L" drafts in a row. Last error: " +
                         DescribeError(*result.serverError));
            break;
        case BatchEnd::KestrowFailed:
            output_.Line(L"Kestrow itself failed (" + result.kestrowFailure +
                         L"); Solid Edge was told to end its work. Please report this.");
            break;
        case BatchEnd::Completed:
        case BatchEnd::Cancelled:
        case BatchEnd::Stopped: break;
    }
    const std::int32_t listed = static_cast<std::int32_t>(result.drafts.size());
    const std::int32_t failed = result.Count(DraftState::Failed);
    const std::int32_t notReached = result.Count(DraftState::NotReached);
    const std::int32_t released = result.Count(DraftState::Released);
    std::wstring summary = L"Updated " + std::to_wstring(result.Count(DraftState::Stored)) + L" of " +
                           std::to_wstring(listed) + L" files in " + folder;
    if (failed > 0 || notReached > 0 || released > 0)
        summary += L" (" + std::to_wstring(failed) + L" failed, " + std::to_wstring(notReached) + L" not reached" +
                   (released > 0 ? L", " + std::to_wstring(released) + L" left to other computers" : std::wstring()) +
                   NotPutBackCount(result) + L")";
    output_.Line(summary + L"." + ExportSummary(result) + UnreadableSummary());
    return WithUnreadableFolders(ExitCodeFor(result));
}

std::wstring CsvField(const std::wstring& text) {
    if (text.find_first_of(L",\"\r\n") == std::wstring::npos && (text.empty() || (text.front() != L' ' && text.back() != L' ')))
        return text;
    std::wstring quoted = L"\"";
    for (wchar_t c : text) {
        if (c == L'"') quoted += L'"';
        quoted += c;
    }
    return quoted + L"\"";
}

LogRow DraftLogRow(const std::wstring& time, const DraftRecord& draft) {
    if (!draft.doneUnder.empty() && draft.state != DraftState::NotReached) {
        LogRow row = RowOf(time, LogResult::SameFile, draft.path, nullptr);
        row.detail = FormatDetail({{L"done under", draft.doneUnder}});
        return row;
    }
    LogRow row = RowOf(time, ResultName(draft.state), draft.path, SaysWhy(draft) ? &*draft.error : nullptr);
    if (draft.session > 0) row.session = std::to_wstring(draft.session);
    if (draft.keptCopy) row.detail = FormatDetail({{L"copy", OrdinaryPath(*draft.keptCopy)}});
    if (draft.replaced)
        row.detail = FormatDetail({{L"copy", OrdinaryPath(draft.replaced->copyPath)},
                                   {L"replaced", OrdinaryPath(draft.replaced->replacedPath)}});
    return row;
}

LogRow CopyLogRow(const std::wstring& time, const wchar_t* result, const DraftCopy& copy) {
    LogRow row = RowOf(time, result, OrdinaryPath(copy.draftPath), nullptr);
    std::vector<DetailPart> parts{{L"copy", OrdinaryPath(copy.copyPath)}};
    if (!copy.replacedPath.empty()) parts.push_back({L"replaced", OrdinaryPath(copy.replacedPath)});
    if (!copy.leftBy.empty()) parts.push_back({L"left by", copy.leftBy});
    row.detail = FormatDetail(parts);
    return row;
}

std::wstring RunEndName(BatchEnd end) {
    switch (end) {
        case BatchEnd::Completed: return kRunCompleted;
        case BatchEnd::Cancelled: return L"cancelled";
        case BatchEnd::Stopped: return L"stopped";
        case BatchEnd::CadAlreadyRunning: return L"cad-already-running";
        case BatchEnd::ServerCouldNotStart: return L"server-could-not-start";
        case BatchEnd::ServerKeptFailing: return L"server-kept-failing";
        case BatchEnd::KestrowFailed: break;
    }
    return L"kestrow-failed";
}

LogRow FolderLogRow(const std::wstring& time, const UnreadableFolder& folder) {
    return RowOf(time, LogResult::Unreadable, folder.path, &folder.error);
}

std::wstring Iso8601(int year, int month, int day, int hour, int minute, int second, int offsetMinutes) {
    wchar_t text[40];
    const int offset = offsetMinutes < 0 ? -offsetMinutes : offsetMinutes;
    std::swprintf(text, 40, L"%04d-%02d-%02dT%02d:%02d:%02d%lc%02d:%02d", year, month, day, hour, minute, second,
                  static_cast<wint_t>(offsetMinutes < 0 ? L'-' : L'+'), offset / 60, offset % 60);
    return text;
}

}  // namespace kestrow
