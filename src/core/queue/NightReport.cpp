#include "queue/NightReport.h"

#include <algorithm>
#include <cwctype>
#include <map>
#include <tuple>

namespace kestrow {
namespace {

std::wstring Key(const std::wstring& path) {
    std::wstring key = path;
    for (wchar_t& c : key) c = static_cast<wchar_t>(std::towlower(static_cast<wint_t>(c)));
    return key;
}

// A settled fate outranks one that says the draft was left, at one time.
int Weight(DraftFate fate) { return fate == DraftFate::Stored || fate == DraftFate::Failed ? 1 : 0; }

}  // namespace

std::vector<ReportSource> NightSources(const std::vector<SentRow>& rows) {
    // By computer, in name order; each computer's runs by their sender, in
    // the order their rows came.
    std::map<std::wstring, std::vector<std::vector<std::wstring>>> byComputer;
    std::map<std::wstring, std::map<std::wstring, int>> runOf;
    for (const SentRow& sent : rows) {
        std::map<std::wstring, int>& runs = runOf[sent.computer];
        const int run = runs.emplace(sent.sender, static_cast<int>(runs.size()) + 1).first->second;
        const LogRow& r = sent.row;
        byComputer[sent.computer].push_back({r.time, r.result, r.file, r.error, r.source, r.description,
                                             std::to_wstring(run), r.seconds, r.size, r.written, r.session, r.detail});
    }
    std::vector<ReportSource> sources;
    for (const auto& [computer, computerRows] : byComputer)
        sources.push_back(ReportSource{computer, std::wstring(), ReadReportedRows(computerRows, RunsToRead::All), false});

    // Whose each draft is: the latest word on it.
    std::map<std::wstring, std::tuple<std::int64_t, int, const ReportedDraft*>> last;
    for (const ReportSource& source : sources)
        for (const ReportedRun& run : source.log.runs)
            for (const ReportedDraft& draft : run.drafts) {
                const auto rank = std::make_tuple(draft.time, Weight(draft.fate), &draft);
                auto [found, added] = last.try_emplace(Key(draft.file), rank);
                if (!added && std::tie(draft.time, std::get<1>(rank)) >
                                  std::tie(std::get<0>(found->second), std::get<1>(found->second)))
                    found->second = rank;
            }
    for (ReportSource& source : sources)
        for (ReportedRun& run : source.log.runs) {
            // Dialogs name drafts by index: keep the indexes whole by
            // dropping only whole drafts, and renumbering none of the dialogs.
            std::vector<ReportedDraft> kept;
            for (ReportedDraft& draft : run.drafts)
                if (std::get<2>(last[Key(draft.file)]) == &draft) kept.push_back(std::move(draft));
            run.drafts = std::move(kept);
        }
    return sources;
}

}  // namespace kestrow
