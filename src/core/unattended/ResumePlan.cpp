#include "unattended/ResumePlan.h"

#include "unattended/RunLog.h"

namespace kestrow {
namespace {

enum Column { kTime, kResult, kFile, kError, kSource, kDescription, kRun, kSeconds, kSize, kWritten, kSession, kDetail };

std::int64_t RunNumber(const std::wstring& text) {
    if (text.empty() || text.size() > 18) return 0;
    std::int64_t value = 0;
    for (wchar_t c : text) {
        if (c < L'0' || c > L'9') return 0;
        value = value * 10 + (c - L'0');
    }
    return value;
}

// Every export the run is asked for was made after the draft's stored row.
bool AllExported(const LastRun::Fate& fate, const ExportRequest& exports, const std::wstring& folder,
                 const std::wstring& name) {
    for (const ExportTarget& target : ExportTargetsOf(exports, folder, name))
        if (!fate.exported.count(FoldedPath(target.path))) return false;
    return true;
}

}  // namespace

LastRun ReadLastRun(const std::wstring& logText, LogLayout layout) {
    LastRun last;
    // Six-column logs record no runs.
    if (!RecordsRuns(layout)) return last;
    LogRowReader reader(logText, 0, layout);
    std::vector<std::wstring> fields;
    std::wstring runText;  // the last run's number as written
    while (reader.Next(fields)) {
        const std::wstring& result = fields[kResult];
        if (result == LogResult::RunStart) {
            const std::int64_t number = RunNumber(fields[kRun]);
            if (number == 0) continue;
            last = LastRun{};
            last.number = number;
            last.folder = fields[kFile];
            last.share = fields[kDescription];
            runText = fields[kRun];
            continue;
        }
        if (last.number == 0 || fields[kRun] != runText) continue;
        if (result == LogResult::RunResume) {
            last.completed = false;
        } else if (result == LogResult::RunEnd) {
            last.completed = fields[kDescription] == kRunCompleted;
        } else if (TellsAFate(result)) {
            last.fates[FoldedPath(fields[kFile])] = LastRun::Fate{result, fields[kSize], fields[kWritten]};
        } else if (result == LogResult::Exported && fields.size() > kDetail) {
            const auto fate = last.fates.find(FoldedPath(fields[kFile]));
            if (fate != last.fates.end()) fate->second.exported.insert(FoldedPath(DetailValue(fields[kDetail], L"to")));
        }
    }
    return last;
}

RunPlan PlanRun(const LastRun& last, bool resume, const std::wstring& folder, const std::wstring& share,
                const std::vector<std::wstring>& names,
                const std::function<std::optional<DraftFacts>(const std::wstring& path)>& facts,
                const ExportRequest& exports) {
    RunPlan plan;
    plan.resumes = resume && last.number > 0 && !last.completed && FoldedPath(last.folder) == FoldedPath(folder) &&
                   last.share == share;
    plan.run = plan.resumes ? last.number : last.number + 1;
    if (!plan.resumes) {
        plan.toDo = names;
        return plan;
    }
    for (const std::wstring& name : names) {
        const std::wstring path = folder + name;
        const auto fate = last.fates.find(FoldedPath(path));
        if (fate != last.fates.end()) {
            if (fate->second.result == LogResult::Stored) {
                const std::optional<DraftFacts> now = facts(path);
                if (now && !fate->second.size.empty() && now->size == fate->second.size &&
                    now->written == fate->second.written && AllExported(fate->second, exports, folder, name)) {
                    ++plan.skipped;
                    continue;
                }
            } else if (fate->second.result == LogResult::InHand) {
                plan.wasInHand.push_back(name);
            }
        }
        plan.toDo.push_back(name);
    }
    return plan;
}

}  // namespace kestrow
