#include "report/NightLog.h"

#include <algorithm>
#include <cwctype>
#include <functional>
#include <unordered_map>

#include "report/LogTime.h"

namespace kestrow {
namespace {

enum Column { kTime, kResult, kFile, kError, kSource, kDescription, kRun, kSeconds, kSize, kWritten, kSession, kDetail };

// A whole number as the log writes it; none for anything else.
std::optional<std::int64_t> Whole(const std::wstring& text) {
    if (text.empty() || text.size() > 18) return std::nullopt;
    std::int64_t value = 0;
    for (wchar_t c : text) {
        if (c < L'0' || c > L'9') return std::nullopt;
        value = value * 10 + (c - L'0');
    }
    return value;
}

// "3.250" as the log writes seconds; 0 for anything else.
double Seconds(const std::wstring& text) {
    double value = 0, scale = 0;
    for (wchar_t c : text) {
        if (c == L'.' && scale == 0) {
            scale = 1;
        } else if (c >= L'0' && c <= L'9') {
            if (scale == 0) {
                value = value * 10 + (c - L'0');
            } else {
                scale /= 10;
                value += (c - L'0') * scale;
            }
        } else {
            return 0;
        }
    }
    return value;
}

std::optional<DraftFate> FateOf(const std::wstring& result) {
    if (result == LogResult::Stored) return DraftFate::Stored;
    if (result == LogResult::Failed) return DraftFate::Failed;
    if (result == LogResult::NotReached) return DraftFate::NotReached;
    if (result == LogResult::InHand) return DraftFate::InHand;
    return std::nullopt;
}

// A draft's path as Windows compares paths, letters in any case; ASCII
// letters folded here, as nearly all are, the rest by the library.
std::wstring DraftKey(const std::wstring& path) {
    std::wstring key = path;
    for (wchar_t& c : key) {
        if (c >= L'A' && c <= L'Z')
            c = static_cast<wchar_t>(c + (L'a' - L'A'));
        else if (c >= 0x80)
            c = static_cast<wchar_t>(std::towlower(static_cast<wint_t>(c)));
    }
    return key;
}

// A run as its rows come: its drafts found by path, and the part of it
// that is running now (from its start or resumption to its end).
class RunBuilder {
public:
    explicit RunBuilder(std::int64_t number) { run_.number = number; }

    void Row(const std::vector<std::wstring>& fields, size_t columns) {
        const std::wstring& result = fields[kResult];
        // A start or a resumption opens a part of the run: the pause before
        // it is no time the run ran.
        if (result == LogResult::RunStart || result == LogResult::RunResume) EndPart();
        const std::optional<LogTime> time = ParseLogTime(fields[kTime]);
        if (time) Seen(*time);
        const std::int32_t session = columns > kSession ? SessionOf(fields[kSession]) : 0;
        run_.sessions = std::max(run_.sessions, session);
        const std::int64_t at = time ? time->utcSeconds : kNoTime;
        if (const std::optional<DraftFate> fate = FateOf(result)) {
            ReportedDraft& draft = Draft(fields[kFile]);
            draft.fate = *fate;
            draft.time = at;
            draft.session = session;
            draft.seconds = columns > kSeconds ? Seconds(fields[kSeconds]) : 0;
            const bool failed = *fate == DraftFate::Failed;
            draft.error = failed ? fields[kError] : std::wstring();
            draft.source = failed ? fields[kSource] : std::wstring();
            draft.description = failed ? fields[kDescription] : std::wstring();
        } else if (result == LogResult::RunStart || result == LogResult::RunResume) {
            if (result == LogResult::RunStart) {
                run_.folder = fields[kFile];
                run_.share = fields[kDescription];
            } else {
                ++run_.resumptions;
            }
            run_.ended = false;
            run_.endedHow.clear();
        } else if (result == LogResult::RunEnd) {
            EndPart();
            run_.ended = true;
            run_.endedHow = fields[kDescription];
        } else if (result == LogResult::Dialog) {
            ReportedDialog dialog{fields[kFile], fields[kSource], fields[kDescription], {}, {}, {}, at, session};
            if (columns > kDetail)
                ForEachDetailPart(fields[kDetail], [&dialog](std::wstring_view name, std::wstring_view value) {
                    if (name == L"buttons") dialog.buttons = value;
                    if (name == L"action") dialog.action = value;
                    if (name == L"picture") dialog.picture = value;
                });
            run_.dialogs.push_back(std::move(dialog));
            const auto found = index_.find(DraftKey(fields[kFile]));
            if (found != index_.end())
                run_.drafts[found->second].dialogs.push_back(static_cast<std::uint32_t>(run_.dialogs.size() - 1));
        } else if (result == LogResult::SameFile) {
            // Another name of a file done under its first: it shares that
            // name's fate, as the run itself counted it.
            const std::wstring& detail = columns > kDetail ? fields[kDetail] : std::wstring();
            const auto first = index_.find(DraftKey(DetailValue(detail, L"done under")));
            if (first != index_.end()) {
                ReportedDraft shared = run_.drafts[first->second];
                ReportedDraft& draft = Draft(fields[kFile]);
                draft.fate = shared.fate;
                draft.time = at;
                draft.session = shared.session;
                draft.error = shared.error;
                draft.source = shared.source;
                draft.description = shared.description;
            }
        } else if ((result == LogResult::Exported || result == LogResult::ExportFailed) && columns > kDetail) {
            // A resumed run that exports a file again replaces what it said
            // of it before.
            const std::wstring to = DetailValue(fields[kDetail], L"to");
            const auto [found, added] = exportIndex_.try_emplace(DraftKey(to), run_.exports.size());
            if (added) run_.exports.emplace_back();
            const bool made = result == LogResult::Exported;
            run_.exports[found->second] =
                ReportedExport{fields[kFile], to, DetailValue(fields[kDetail], L"format"), made,
                               made ? std::wstring() : fields[kError], made ? std::wstring() : fields[kSource],
                               made ? std::wstring() : fields[kDescription], at, session};
        } else if (result == L"unreadable") {
            run_.unreadable.push_back(ReportedFolder{fields[kFile], fields[kError], fields[kDescription]});
        }
        // Rows of other kinds (kept copies, and whatever later versions
        // add) tell no draft's fate.
    }

    ReportedRun Finish() {
        EndPart();
        return std::move(run_);
    }

    std::int64_t Number() const { return run_.number; }

private:
    static std::int32_t SessionOf(const std::wstring& text) {
        const std::optional<std::int64_t> number = Whole(text);
        return number && *number <= 1000 ? static_cast<std::int32_t>(*number) : 0;
    }

    void Seen(const LogTime& time) {
        if (run_.start == kNoTime || time.utcSeconds < run_.start) run_.start = time.utcSeconds;
        if (run_.end == kNoTime || time.utcSeconds > run_.end) {
            run_.end = time.utcSeconds;
            run_.offsetMinutes = time.offsetMinutes;
        }
        if (partStart_ == kNoTime) partStart_ = time.utcSeconds;
        partEnd_ = std::max(partEnd_, time.utcSeconds);
    }

    void EndPart() {
        if (partStart_ != kNoTime && partEnd_ > partStart_) run_.activeSeconds += static_cast<double>(partEnd_ - partStart_);
        partStart_ = kNoTime;
        partEnd_ = kNoTime;
    }

    ReportedDraft& Draft(const std::wstring& file) {
        const auto [found, added] = index_.try_emplace(DraftKey(file), run_.drafts.size());
        if (added) {
            run_.drafts.emplace_back();
            run_.drafts.back().file = file;
        }
        return run_.drafts[found->second];
    }

    ReportedRun run_;
    std::unordered_map<std::wstring, size_t> index_;        // by DraftKey
    std::unordered_map<std::wstring, size_t> exportIndex_;  // by DraftKey of the exported file
    std::int64_t partStart_ = kNoTime, partEnd_ = kNoTime;
};

// The log's runs from its rows, as `next` gives them one by one.
ReportedLog ReadRuns(LogLayout layout, RunsToRead which, const std::function<bool(std::vector<std::wstring>&)>& next) {
    ReportedLog log;
    log.layout = layout;
    const size_t columns = ColumnsOf(layout);

    std::vector<RunBuilder> runs;  // oldest first
    const auto runNumbered = [&](std::int64_t number) -> RunBuilder* {
        for (auto run = runs.rbegin(); run != runs.rend(); ++run)
            if (run->Number() == number) return &*run;
        return nullptr;
    };
    const auto startRun = [&](std::int64_t number) -> RunBuilder& {
        if (which == RunsToRead::Last) runs.clear();
        runs.emplace_back(number);
        return runs.back();
    };

    std::vector<std::wstring> fields;
    while (next(fields)) {
        if (fields[kTime] == L"time" && fields[kResult] == L"result") continue;
        if (!RecordsRuns(layout)) {
            (runs.empty() ? startRun(0) : runs.back()).Row(fields, columns);
            continue;
        }
        const std::int64_t number = Whole(fields[kRun]).value_or(0);
        if (fields[kResult] == LogResult::RunStart) {
            startRun(number).Row(fields, columns);
        } else if (RunBuilder* run = runNumbered(number)) {
            run->Row(fields, columns);
        } else if (runs.empty() || which == RunsToRead::All || number > runs.back().Number()) {
            // Rows of a run whose start the log does not hold.
            startRun(number).Row(fields, columns);
        }
    }
    for (RunBuilder& run : runs) log.runs.push_back(run.Finish());
    return log;
}

}  // namespace

std::optional<ReportedLog> ReadReportedLog(const std::wstring& text, RunsToRead which) {
    const size_t firstLineEnd = text.find(L'\n');
    const std::optional<LogLayout> layout =
        LogLayoutOf(text.substr(0, firstLineEnd == std::wstring::npos ? text.size() : firstLineEnd));
    if (!layout) return std::nullopt;
    LogRowReader reader(text, firstLineEnd == std::wstring::npos ? text.size() : firstLineEnd + 1, *layout);
    ReportedLog log = ReadRuns(*layout, which, [&reader](std::vector<std::wstring>& fields) { return reader.Next(fields); });
    log.tornRows = reader.TornRows();
    return log;
}

ReportedLog ReadReportedRows(const std::vector<std::vector<std::wstring>>& rows, RunsToRead which) {
    size_t at = 0;
    return ReadRuns(LogLayout::WithDetails, which, [&](std::vector<std::wstring>& fields) {
        // A row of another length is none of this layout's, as in a file.
        while (at < rows.size() && rows[at].size() != ColumnsOf(LogLayout::WithDetails)) ++at;
        if (at >= rows.size()) return false;
        fields = rows[at++];
        return true;
    });
}

}  // namespace kestrow
