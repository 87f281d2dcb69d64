#include "unattended/WhatIf.h"

#include <algorithm>

#include "common/NumberText.h"

namespace kestrow {
namespace {

std::wstring Count(size_t count, const wchar_t* one, const wchar_t* many) {
    return GroupedNumber(static_cast<std::int64_t>(count)) + L" " + (count == 1 ? one : many);
}

}  // namespace

std::vector<std::wstring> WhatIfLines(const WhatIfRequest& request, const RunPlan& plan) {
    std::vector<std::wstring> lines;
    for (const UnreadableFolder& folder : request.unreadable)
        lines.push_back(L"unreadable  " + folder.path + L"  (" + DescribeError(folder.error) + L")");
    for (const std::wstring& name : plan.toDo) {
        const bool inHand = std::find(plan.wasInHand.begin(), plan.wasInHand.end(), name) != plan.wasInHand.end();
        lines.push_back(L"would update  " + name + (inHand ? L"  (in hand when the run was cut short)" : L""));
        for (const ExportTarget& target : ExportTargetsOf(request.exports, request.folder, name))
            lines.push_back(L"  and save it as  " + target.path);
        for (const auto& [other, first] : request.otherNames)
            if (first == name)
                lines.push_back(L"would update  " + other + L"  (the same file as " + name +
                                L": done once, under that name)");
    }

    std::vector<std::wstring> why;
    if (request.shardCount > 1)
        why.push_back(Count(request.listed - request.inShare, L"is in another share", L"are in other shares") +
                      L" (this run takes share " + std::to_wstring(request.shardIndex) + L" of " +
                      std::to_wstring(request.shardCount) + L")");
    if (!request.otherNames.empty())
        why.push_back(Count(request.otherNames.size(), L"is another name", L"are other names") +
                      L" of a file listed before, done once under its first name");
    if (plan.resumes)
        why.push_back(Count(static_cast<size_t>(plan.skipped), L"was", L"were") + L" stored by run " +
                      std::to_wstring(plan.run) + L" of the log, which this one resumes, and unchanged since");
    std::wstring summary = L"Kestrow would update " + GroupedNumber(static_cast<std::int64_t>(plan.toDo.size())) +
                           L" of the " + Count(request.listed, L"draft", L"drafts") + L" listed in " + request.folder;
    for (size_t i = 0; i < why.size(); ++i) summary += (i == 0 ? L": " : L"; ") + why[i];
    summary += L".";
    if (request.resume && !plan.resumes)
        summary += request.logRecordsRuns ? L" /resume finds no run to resume in the log (its last run ended, or was "
                                            L"over another folder or share): every draft is done."
                                          : L" /resume: the log records no runs, so every draft is done.";
    if (!request.unreadable.empty())
        summary += L" " + Count(request.unreadable.size(), L"folder", L"folders") + L" could not be read.";
    lines.push_back(summary);
    lines.push_back(L"Nothing was started, written or changed.");
    return lines;
}

}  // namespace kestrow
