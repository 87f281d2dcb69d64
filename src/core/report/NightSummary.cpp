#include "report/NightSummary.h"

#include <algorithm>
#include <map>

namespace kestrow {
namespace {

// Every draft of every run for which `wanted` holds.
template <typename Wanted>
std::vector<DraftInReport> DraftsWhere(const std::vector<ReportSource>& sources, Wanted wanted) {
    std::vector<DraftInReport> drafts;
    for (const ReportSource& source : sources)
        for (const ReportedRun& run : source.log.runs)
            for (const ReportedDraft& draft : run.drafts)
                if (wanted(draft)) drafts.push_back({&source, &run, &draft});
    return drafts;
}

}  // namespace

void FateCounts::Add(const FateCounts& other) {
    stored += other.stored;
    failed += other.failed;
    notReached += other.notReached;
    inHand += other.inHand;
}

FateCounts CountFates(const ReportedRun& run) {
    FateCounts counts;
    for (const ReportedDraft& draft : run.drafts) {
        switch (draft.fate) {
            case DraftFate::Stored: ++counts.stored; break;
            case DraftFate::Failed: ++counts.failed; break;
            case DraftFate::NotReached: ++counts.notReached; break;
            case DraftFate::InHand: ++counts.inHand; break;
        }
    }
    return counts;
}

ExportCounts CountExports(const ReportedRun& run) {
    ExportCounts counts;
    for (const ReportedExport& made : run.exports) ++(made.made ? counts.made : counts.failed);
    return counts;
}

double DraftsPerHour(std::int64_t tried, double seconds) {
    constexpr double kShortestPaced = 60;
    return seconds >= kShortestPaced ? static_cast<double>(tried) * 3600.0 / seconds : 0.0;
}

double NightTotals::DraftsPerHour() const {
    if (start == kNoTime || end == kNoTime) return 0.0;
    return kestrow::DraftsPerHour(fates.Tried(), static_cast<double>(end - start));
}

bool RunEndedWell(const ReportedRun& run) { return run.ended && run.endedHow == kRunCompleted; }

std::wstring SourcesText(const std::vector<ReportSource>& sources) {
    const bool computers = !sources.empty() && sources.front().path.empty();
    const std::wstring kind = computers ? L" computer" : L" log";
    return std::to_wstring(sources.size()) + kind + (sources.size() == 1 ? L"" : L"s");
}

NightTotals TotalsOf(const std::vector<ReportSource>& sources) {
    NightTotals totals;
    bool offsetTaken = false;
    for (const ReportSource& source : sources) {
        totals.tornRows += source.log.tornRows;
        for (const ReportedRun& run : source.log.runs) {
            ++totals.runs;
            if (RecordsRuns(source.log.layout) && !run.ended) ++totals.runsNotEnded;
            totals.fates.Add(CountFates(run));
            const ExportCounts exports = CountExports(run);
            totals.exports.made += exports.made;
            totals.exports.failed += exports.failed;
            totals.dialogs += static_cast<std::int64_t>(run.dialogs.size());
            totals.unreadableFolders += static_cast<std::int64_t>(run.unreadable.size());
            if (run.start == kNoTime) continue;
            if (!offsetTaken) {
                totals.offsetMinutes = run.offsetMinutes;
                offsetTaken = true;
            }
            if (totals.start == kNoTime || run.start < totals.start) totals.start = run.start;
            if (totals.end == kNoTime || run.end > totals.end) totals.end = run.end;
        }
    }
    return totals;
}

bool NightWentWell(const std::vector<ReportSource>& sources) {
    const NightTotals totals = TotalsOf(sources);
    if (!totals.fates.AllStored() || totals.exports.failed > 0 || totals.unreadableFolders > 0) return false;
    for (const ReportSource& source : sources)
        for (const ReportedRun& run : source.log.runs)
            if (RecordsRuns(source.log.layout) && !RunEndedWell(run)) return false;
    return true;
}

std::wstring RunStateText(const ReportSource& source, const ReportedRun& run) {
    if (!RecordsRuns(source.log.layout)) return L"this log records no runs";
    if (run.ended) return run.endedHow == kRunCompleted ? std::wstring(kRunCompleted) : L"ended: " + run.endedHow;
    const bool last = !source.log.runs.empty() && &source.log.runs.back() == &run;
    return last && source.beingWritten ? L"running now" : L"did not end (cut short)";
}

std::vector<FailureGroup> FailuresByError(const std::vector<ReportSource>& sources) {
    std::map<std::pair<std::wstring, std::wstring>, FailureGroup> groups;
    for (const DraftInReport& failed : DraftsWithFate(sources, DraftFate::Failed)) {
        FailureGroup& group = groups[{failed.draft->error, OneLine(failed.draft->description)}];
        if (group.drafts.empty()) {
            group.error = failed.draft->error;
            group.source = failed.draft->source;
            group.description = OneLine(failed.draft->description);
        }
        group.drafts.push_back(failed);
    }
    std::vector<FailureGroup> sorted;
    for (auto& [key, group] : groups) {
        std::stable_sort(group.drafts.begin(), group.drafts.end(), [](const DraftInReport& a, const DraftInReport& b) {
            return a.draft->time < b.draft->time;
        });
        sorted.push_back(std::move(group));
    }
    std::stable_sort(sorted.begin(), sorted.end(), [](const FailureGroup& a, const FailureGroup& b) {
        return a.drafts.size() > b.drafts.size();
    });
    return sorted;
}

std::vector<DraftInReport> DraftsWithFate(const std::vector<ReportSource>& sources, DraftFate fate) {
    return DraftsWhere(sources, [fate](const ReportedDraft& draft) { return draft.fate == fate; });
}

std::vector<ExportInReport> FailedExports(const std::vector<ReportSource>& sources) {
    std::vector<ExportInReport> failed;
    for (const ReportSource& source : sources)
        for (const ReportedRun& run : source.log.runs)
            for (const ReportedExport& made : run.exports)
                if (!made.made) failed.push_back({&source, &run, &made});
    return failed;
}

std::vector<DraftInReport> SlowestDrafts(const std::vector<ReportSource>& sources, size_t count) {
    std::vector<DraftInReport> drafts = DraftsWhere(sources, [](const ReportedDraft& draft) { return draft.seconds > 0; });
    const auto slower = [](const DraftInReport& a, const DraftInReport& b) { return a.draft->seconds > b.draft->seconds; };
    const size_t kept = std::min(count, drafts.size());
    std::partial_sort(drafts.begin(), drafts.begin() + static_cast<std::ptrdiff_t>(kept), drafts.end(), slower);
    drafts.resize(kept);
    return drafts;
}

std::wstring OneLine(const std::wstring& text) {
    std::wstring line;
    bool space = false;
    for (wchar_t c : text) {
        if (c == L' ' || c == L'\t' || c == L'\r' || c == L'\n') {
            space = !line.empty();
            continue;
        }
        if (space) line += L' ';
        space = false;
        line += c;
    }
    return line;
}

}  // namespace kestrow
