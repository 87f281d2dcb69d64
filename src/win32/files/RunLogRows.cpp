#include "files/RunLogRows.h"

#include "common/Version.h"

#include "system/FileTime.h"
#include "system/SystemText.h"
#include "unattended/DialogRows.h"
#include "unattended/ExportRows.h"

namespace kestrow::win32 {

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

bool RunLogRows::LogTakes(Needs needs) const {
    if (!log_) return false;
    switch (needs) {
        case Needs::Nothing: return true;
        case Needs::Runs: return RecordsRuns(log_->Layout());
        case Needs::Details: break;
    }
    return log_->Layout() == LogLayout::WithDetails;
}

void RunLogRows::InHand(const DraftRecord& draft) {
    if (!AnyTakes(Needs::Runs)) return;
    LogRow row = DraftLogRow(LocalTimeNow(), draft);
    row.result = LogResult::InHand;
    const std::lock_guard<std::mutex> lock(mutex_);
    inHand_.insert(draft.path);
    WriteLocked(row, Needs::Runs);
}

void RunLogRows::Row(const DraftRecord& draft, std::optional<double> seconds) {
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

void RunLogRows::Row(const UnreadableFolder& folder) {
    LogRow row = FolderLogRow(LocalTimeNow(), folder);
    Write(row);
}

void RunLogRows::Dialog(const DraftRecord& draft, const CadDialog& dialog, const std::wstring& action) {
    if (!AnyTakes(Needs::Details)) return;
    LogRow row = DialogLogRow(LocalTimeNow(), draft, dialog, action);
    Write(row, Needs::Details);
}

void RunLogRows::ExportRow(const DraftRecord& draft, const DraftExport& made) {
    if (!AnyTakes(Needs::Details)) return;
    LogRow row = ExportLogRow(LocalTimeNow(), draft, made);
    Write(row, Needs::Details);
}

void RunLogRows::Row(const wchar_t* result, const DraftCopy& copy) {
    if (!AnyTakes(Needs::Runs)) return;
    LogRow row = CopyLogRow(LocalTimeNow(), result, copy);
    Write(row, Needs::Runs);
}

void RunLogRows::Note(std::int32_t session, const std::wstring& text) {
    if (!AnyTakes(Needs::Details)) return;
    LogRow row;
    row.time = LocalTimeNow();
    row.result = LogResult::Note;
    row.description = text;
    if (session > 0) row.session = std::to_wstring(session);
    Write(row, Needs::Details);
}

void RunLogRows::RunMarker(const wchar_t* result, const std::wstring& folder, const std::wstring& description,
                              const std::wstring& seconds, std::vector<DetailPart> detail) {
    if (!AnyTakes(Needs::Runs)) return;
    LogRow row;
    row.time = LocalTimeNow();
    row.result = result;
    row.file = folder;
    row.description = description;
    row.seconds = seconds;
    // Which Kestrow wrote the run's rows from here on.
    if (std::wstring(result) != LogResult::RunEnd) detail.insert(detail.begin(), {L"version", kKestrowVersion});
    row.detail = FormatDetail(detail);
    Write(row, Needs::Runs);
}

void RunLogRows::SettleAll(const std::vector<std::wstring>& paths) {
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

void RunLogRows::Write(LogRow& row, Needs needs) {
    const std::lock_guard<std::mutex> lock(mutex_);
    WriteLocked(row, needs);
}

void RunLogRows::WriteLocked(LogRow& row, Needs needs) {
    row.run = run_;
    if (sink_) sink_(row);
    if (!LogTakes(needs)) return;
    if (!log_->Write(FormatLogRow(row, log_->Layout())) && !logFailed_) {
        logFailed_ = true;
        say_(L"Kestrow: the log could not be written to any more: " + LastErrorText());
    }
}

}  // namespace kestrow::win32
