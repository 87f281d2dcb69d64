#pragma once
// The report as lines for a console: per log and run, then in total, then
// every failed draft with its error, grouped by error, every failed export,
// and the drafts a run left in hand.
#include <string>
#include <vector>

#include "report/NightSummary.h"

namespace kestrow {

std::vector<std::wstring> ReportLines(const std::vector<ReportSource>& sources, RunsToRead which);

// "stored 1,204, failed 3, not reached 0, in hand 0"
std::wstring FateCountsText(const FateCounts& counts);
// "2026-12-07 02:00 to 05:12 (3 h 12 min)", or "" without times.
std::wstring SpanText(std::int64_t start, std::int64_t end, int offsetMinutes, double seconds);
// "run 4 (shard 1/2) over P:\Drawings\"; "all rows" for a log without runs.
std::wstring RunTitle(const ReportSource& source, const ReportedRun& run);
// "error 1234 (Source): Description"
std::wstring ErrorText(const std::wstring& error, const std::wstring& source, const std::wstring& description);
std::wstring ErrorText(const FailureGroup& group);
// "exports: made 6, failed 1"
std::wstring ExportCountsText(const ExportCounts& counts);
// "Sub.dft as pdf to D:\Out\Sub.pdf"
std::wstring FailedExportText(const ReportedExport& made);

}  // namespace kestrow
