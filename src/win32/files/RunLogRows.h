#pragma once
// The rows a run writes to its log, and its lines handed to whoever shows
// them (a console; the window keeps only what went wrong). Rows may come
// from the batch and from a console control handler at once, hence the
// lock; each draft gets one settled row from here, and a later one only
// when its fate changes.
#include <functional>
#include <mutex>
#include <optional>
#include <string>
#include <unordered_set>
#include <vector>

#include "files/RunLogFile.h"
#include "unattended/UnattendedRun.h"

namespace kestrow::win32 {

class RunLogRows : public RunOutput {
public:
    // `log` may be null: no log is kept. `say` takes the run's lines.
    RunLogRows(RunLogFile* log, std::wstring run, std::function<void(const std::wstring&)> say)
        : log_(log), run_(std::move(run)), say_(std::move(say)) {}
    // Every row, in this version's layout, also goes to `sink` (a night's
    // database), whatever the log's layout, and with no log at all.
    void SetRowSink(std::function<void(const LogRow&)> sink) { sink_ = std::move(sink); }
    void Line(const std::wstring& text) override { say_(text); }
    void InHand(const DraftRecord& draft) override;
    void Row(const DraftRecord& draft, std::optional<double> seconds) override;
    void Row(const UnreadableFolder& folder) override;
    // Only in a log with a row's details: older layouts have no place for
    // the dialog's buttons, action and picture.
    void Dialog(const DraftRecord& draft, const CadDialog& dialog, const std::wstring& action) override;
    void Row(const wchar_t* result, const DraftCopy& copy) override;
    // Only in a log with a row's details, as a dialog's row.
    void Note(std::int32_t session, const std::wstring& text) override;
    void ExportRow(const DraftRecord& draft, const DraftExport& made) override;
    // A row of the run itself: its start, resumption or end. A start or a
    // resumption names the version of Kestrow in its detail, before `detail`.
    void RunMarker(const wchar_t* result, const std::wstring& folder, const std::wstring& description,
                   const std::wstring& seconds = std::wstring(), std::vector<DetailPart> detail = {});
    // The console is closing: every draft without a settled row gets its
    // not-reached row now, before the process is ended. A draft in hand
    // keeps its in-hand row as its last, so that a resume redoes it and
    // names it: it may be half stored when the process is ended.
    void SettleAll(const std::vector<std::wstring>& paths);
    // Whether a row could not be written (said once as a line).
    bool LogFailed() const { return logFailed_; }

private:
    // Which rows a log of an older layout has no place for.
    enum class Needs { Nothing, Runs, Details };
    bool LogTakes(Needs needs) const;
    bool AnyTakes(Needs needs) const { return sink_ || LogTakes(needs); }
    void Write(LogRow& row, Needs needs = Needs::Nothing);
    void WriteLocked(LogRow& row, Needs needs = Needs::Nothing);

    RunLogFile* log_;
    std::wstring run_;
    std::function<void(const std::wstring&)> say_;
    std::mutex mutex_;
    std::unordered_set<std::wstring> settled_;
    std::unordered_set<std::wstring> inHand_;  // drafts that had their in-hand row
    bool logFailed_ = false;
    std::function<void(const LogRow&)> sink_;
};

// The local time now, in ISO 8601 with its offset from UTC.
std::wstring LocalTimeNow();

}  // namespace kestrow::win32
