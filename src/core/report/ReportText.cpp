#include "report/ReportText.h"

#include <cmath>
#include <cwchar>

#include "common/NumberText.h"
#include "common/RuntimeError.h"
#include "report/LogTime.h"

namespace kestrow {
namespace {

std::wstring Drafts(std::int64_t count) { return GroupedNumber(count) + (count == 1 ? L" draft" : L" drafts"); }

std::wstring PerHour(double rate) { return GroupedNumber(std::llround(rate)) + L" drafts an hour"; }

// "(ws1.csv, 02:14)": where and when a draft's row is.
std::wstring Where(const DraftInReport& draft) {
    std::wstring where = L"  (" + draft.source->name;
    if (draft.draft->time != kNoTime) where += L", " + LocalClockText(draft.draft->time, draft.run->offsetMinutes);
    if (draft.draft->session > 0) where += L", session " + std::to_wstring(draft.draft->session);
    return where + L")";
}

void RunLines(std::vector<std::wstring>& lines, const ReportSource& source, const ReportedRun& run) {
    lines.push_back(source.name + L": " + RunTitle(source, run));
    const std::wstring span = SpanText(run.start, run.end, run.offsetMinutes, run.activeSeconds);
    lines.push_back(L"  " + (span.empty() ? std::wstring() : span + L", ") + RunStateText(source, run));
    const FateCounts counts = CountFates(run);
    std::wstring fates = L"  " + FateCountsText(counts);
    if (const double pace = DraftsPerHour(counts.Tried(), run.activeSeconds); pace > 0) fates += L"; " + PerHour(pace);
    lines.push_back(fates);
    if (const ExportCounts exports = CountExports(run); exports.Any()) lines.push_back(L"  " + ExportCountsText(exports));
    if (!run.dialogs.empty())
        lines.push_back(L"  Solid Edge showed " + GroupedNumber(static_cast<std::int64_t>(run.dialogs.size())) +
                        (run.dialogs.size() == 1 ? L" dialog" : L" dialogs"));
}

}  // namespace

std::wstring FateCountsText(const FateCounts& counts) {
    return L"stored " + GroupedNumber(counts.stored) + L", failed " + GroupedNumber(counts.failed) +
           L", not reached " + GroupedNumber(counts.notReached) + L", in hand " + GroupedNumber(counts.inHand);
}

std::wstring SpanText(std::int64_t start, std::int64_t end, int offsetMinutes, double seconds) {
    if (start == kNoTime || end == kNoTime) return std::wstring();
    return LocalDateTimeText({start, offsetMinutes}) + L" to " +
           (end - start < 86400 ? LocalClockText(end, offsetMinutes) : LocalDateTimeText({end, offsetMinutes})) +
           L" (" + DurationText(seconds) + L")";
}

std::wstring RunTitle(const ReportSource& source, const ReportedRun& run) {
    if (!RecordsRuns(source.log.layout)) return L"all rows (this log records no runs)";
    std::wstring title = L"run " + std::to_wstring(run.number);
    if (!run.share.empty()) title += L" (" + run.share + L")";
    if (!run.folder.empty()) title += L" over " + run.folder;
    if (run.resumptions > 0)
        title += L", resumed " + std::to_wstring(run.resumptions) + (run.resumptions == 1 ? L" time" : L" times");
    return title;
}

std::wstring ErrorText(const std::wstring& error, const std::wstring& source, const std::wstring& description) {
    // As the run's own lines said it, from the number the log keeps.
    wchar_t* end = nullptr;
    const long number = error.empty() ? 0 : std::wcstol(error.c_str(), &end, 10);
    if (!error.empty() && end && *end == L'\0') return DescribeError(RuntimeError(number, OneLine(source), description));
    return L"Error " + error + (source.empty() ? L"" : L" in " + OneLine(source)) + L": " + description;
}

std::wstring ErrorText(const FailureGroup& group) { return ErrorText(group.error, group.source, group.description); }

std::wstring ExportCountsText(const ExportCounts& counts) {
    return L"exports: made " + GroupedNumber(counts.made) + L", failed " + GroupedNumber(counts.failed);
}

std::wstring FailedExportText(const ReportedExport& made) {
    return made.file + L" as " + made.format + L" to " + made.to;
}

std::vector<std::wstring> ReportLines(const std::vector<ReportSource>& sources, RunsToRead which) {
    std::vector<std::wstring> lines;
    lines.push_back(L"Kestrow report over " + SourcesText(sources) +
                    (which == RunsToRead::All ? L", every run" : L", the last run of each") + L".");
    for (const ReportSource& source : sources) {
        lines.emplace_back();
        if (source.log.runs.empty()) lines.push_back(source.name + L": no runs yet");
        for (const ReportedRun& run : source.log.runs) RunLines(lines, source, run);
        if (source.log.tornRows > 0)
            lines.push_back(L"  " + GroupedNumber(source.log.tornRows) +
                            (source.log.tornRows == 1 ? L" row was cut short and is left out"
                                                      : L" rows were cut short and are left out"));
    }

    const NightTotals totals = TotalsOf(sources);
    lines.emplace_back();
    std::wstring total = L"In total: " + FateCountsText(totals.fates);
    if (totals.start != kNoTime) {
        total += L"; " + SpanText(totals.start, totals.end, totals.offsetMinutes,
                                   static_cast<double>(totals.end - totals.start));
        if (totals.DraftsPerHour() > 0) total += L"; " + PerHour(totals.DraftsPerHour());
    }
    lines.push_back(total);
    if (totals.exports.Any()) lines.push_back(L"  " + ExportCountsText(totals.exports));
    if (totals.runsNotEnded > 0)
        lines.push_back(L"  " + std::to_wstring(totals.runsNotEnded) +
                        (totals.runsNotEnded == 1 ? L" run has not ended" : L" runs have not ended"));

    const std::vector<FailureGroup> failures = FailuresByError(sources);
    if (!failures.empty()) {
        lines.emplace_back();
        lines.push_back(L"Failed, by error (" + Drafts(totals.fates.failed) + L"):");
        for (const FailureGroup& group : failures) {
            lines.push_back(L"  " + ErrorText(group) + L"  [" + Drafts(static_cast<std::int64_t>(group.drafts.size())) +
                            L"]");
            for (const DraftInReport& draft : group.drafts) lines.push_back(L"    " + draft.draft->file + Where(draft));
        }
    }
    const std::vector<ExportInReport> failedExports = FailedExports(sources);
    if (!failedExports.empty()) {
        lines.emplace_back();
        lines.push_back(L"Failed exports (" + GroupedNumber(static_cast<std::int64_t>(failedExports.size())) +
                        L"; their drafts were stored):");
        for (const ExportInReport& failed : failedExports) {
            std::wstring where = L"  (" + failed.source->name;
            if (failed.made->time != kNoTime)
                where += L", " + LocalClockText(failed.made->time, failed.run->offsetMinutes);
            lines.push_back(L"    " + FailedExportText(*failed.made) + where + L")");
            lines.push_back(L"      " +
                            ErrorText(failed.made->error, failed.made->source, OneLine(failed.made->description)));
        }
    }
    const std::vector<DraftInReport> inHand = DraftsWithFate(sources, DraftFate::InHand);
    if (!inHand.empty()) {
        lines.emplace_back();
        lines.push_back(L"In hand when the log ends (" + Drafts(static_cast<std::int64_t>(inHand.size())) + L"):");
        for (const DraftInReport& draft : inHand) lines.push_back(L"    " + draft.draft->file + Where(draft));
    }
    bool folderHeading = false;
    for (const ReportSource& source : sources)
        for (const ReportedRun& run : source.log.runs)
            for (const ReportedFolder& folder : run.unreadable) {
                if (!folderHeading) {
                    lines.emplace_back();
                    lines.push_back(L"Folders that could not be read:");
                    folderHeading = true;
                }
                lines.push_back(L"    " + folder.path + L"  (" + OneLine(folder.description) + L"; " + source.name +
                                L")");
            }
    return lines;
}

}  // namespace kestrow
