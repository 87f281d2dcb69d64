#pragma once
// One Kestrow log read for a report: its runs (the last one, or every one),
// each with its drafts' fates, the dialogs the CAD system showed and the
// folders it could not read. Logs of every version are read: six columns
// (no runs: the whole log counts as one), ten (runs, no sessions) and
// twelve (sessions and details). Rows cut short by a power cut, or not of
// the log's layout, are left out and counted.
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "unattended/RunLog.h"

namespace kestrow {

// A time the log did not give, or gave in no form it writes.
constexpr std::int64_t kNoTime = INT64_MIN;

enum class DraftFate { Stored, Failed, NotReached, InHand };

// A draft's last row in its run tells its fate.
struct ReportedDraft {
    std::wstring file;
    DraftFate fate = DraftFate::InHand;
    std::int64_t time = kNoTime;  // of its last row, UTC seconds
    double seconds = 0;           // how long it took; 0 when the log does not say
    std::int32_t session = 0;     // 0 when the log does not say
    std::wstring error, source, description;  // why it failed
    // The CAD system's dialogs while it was in hand: where they are in its
    // run's dialogs, so that a page finds them without a look at the others.
    std::vector<std::uint32_t> dialogs;
};

struct ReportedDialog {
    std::wstring file, title, text, buttons, action, picture;
    std::int64_t time = kNoTime;
    std::int32_t session = 0;
};

// A stored draft's export, as its last row about that file says.
struct ReportedExport {
    std::wstring file;  // the draft
    std::wstring to, format;
    bool made = false;  // in place; otherwise it failed, and why says so
    std::wstring error, source, description;
    std::int64_t time = kNoTime;
    std::int32_t session = 0;
};

struct ReportedFolder {
    std::wstring path, error, description;
};

struct ReportedRun {
    std::int64_t number = 0;  // 0: a log that records no runs
    std::wstring folder, share;
    std::int64_t start = kNoTime, end = kNoTime;  // its earliest and latest row
    // The time it ran: a run cut short and resumed later does not count
    // the pause between.
    double activeSeconds = 0;
    bool ended = false;     // its last part wrote its run-end row
    std::wstring endedHow;  // that row's description ("completed", "stopped", ...)
    std::int32_t resumptions = 0;
    int offsetMinutes = 0;  // the writer's offset from UTC
    std::vector<ReportedDraft> drafts;  // in the order the log first names them
    std::vector<ReportedDialog> dialogs;
    std::vector<ReportedExport> exports;  // one an exported file, in the log's order
    std::vector<ReportedFolder> unreadable;
    std::int32_t sessions = 0;  // the highest session the log names
};

struct ReportedLog {
    LogLayout layout = LogLayout::SixColumns;
    std::vector<ReportedRun> runs;  // oldest first
    std::int64_t tornRows = 0;
};

enum class RunsToRead { Last, All };

// None when the text is not a Kestrow log.
std::optional<ReportedLog> ReadReportedLog(const std::wstring& text, RunsToRead which);
// Rows of this version's layout (twelve fields each) that come from
// elsewhere than a file, such as a shared night's database.
ReportedLog ReadReportedRows(const std::vector<std::vector<std::wstring>>& rows, RunsToRead which);

}  // namespace kestrow
