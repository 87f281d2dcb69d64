#pragma once
// What a report says about a night: the logs it was given, the counts of
// each run and in total, the failures grouped by their error, the drafts
// still in hand and the slowest ones.
#include <cstdint>
#include <string>
#include <vector>

#include "report/NightLog.h"

namespace kestrow {

// One log given to the report.
struct ReportSource {
    std::wstring name;  // its file name, as the report names it
    std::wstring path;  // its full path; "" for a computer's rows read from a shared night's database
    ReportedLog log;
    bool beingWritten = false;  // a program (a Kestrow still running) writes it now
};

struct FateCounts {
    std::int64_t stored = 0, failed = 0, notReached = 0, inHand = 0;
    std::int64_t Tried() const { return stored + failed; }
    bool AllStored() const { return failed == 0 && notReached == 0 && inHand == 0; }
    void Add(const FateCounts& other);
};
FateCounts CountFates(const ReportedRun& run);

struct ExportCounts {
    std::int64_t made = 0, failed = 0;
    bool Any() const { return made + failed > 0; }
};
ExportCounts CountExports(const ReportedRun& run);

// Drafts tried an hour over `seconds`; 0 over less than a minute, which
// says nothing of an hour.
double DraftsPerHour(std::int64_t tried, double seconds);

struct NightTotals {
    FateCounts fates;
    ExportCounts exports;
    std::int64_t start = kNoTime, end = kNoTime;  // the earliest and latest row of all runs
    int offsetMinutes = 0;                        // the first log's
    std::int64_t dialogs = 0, unreadableFolders = 0, tornRows = 0;
    std::int64_t runs = 0, runsNotEnded = 0;
    // Over the night as a whole: the machines worked side by side.
    double DraftsPerHour() const;
};
NightTotals TotalsOf(const std::vector<ReportSource>& sources);
// "4 logs", or "3 computers" for a shared night's rows from its database.
std::wstring SourcesText(const std::vector<ReportSource>& sources);

// Every draft of the runs reported stored with every export, every run
// ended as completed and no folder left unread: what a morning script may
// take as all well.
bool NightWentWell(const std::vector<ReportSource>& sources);

// How a run ended, in words: "completed", "ended: stopped", "running now",
// "did not end (cut short)", or "this log records no runs".
std::wstring RunStateText(const ReportSource& source, const ReportedRun& run);
bool RunEndedWell(const ReportedRun& run);

struct DraftInReport {
    const ReportSource* source;
    const ReportedRun* run;
    const ReportedDraft* draft;
};

struct FailureGroup {
    std::wstring error, source, description;
    std::vector<DraftInReport> drafts;  // earliest first
};
// The failed drafts by their error and its description, the most common
// error first.
std::vector<FailureGroup> FailuresByError(const std::vector<ReportSource>& sources);
std::vector<DraftInReport> DraftsWithFate(const std::vector<ReportSource>& sources, DraftFate fate);

struct ExportInReport {
    const ReportSource* source;
    const ReportedRun* run;
    const ReportedExport* made;
};
// The exports that failed, in the order of the logs.
std::vector<ExportInReport> FailedExports(const std::vector<ReportSource>& sources);
// Up to `count` drafts that took longest, the slowest first.
std::vector<DraftInReport> SlowestDrafts(const std::vector<ReportSource>& sources, size_t count);

// A log's text on one line: line breaks and runs of spaces become one space.
std::wstring OneLine(const std::wstring& text);

}  // namespace kestrow
