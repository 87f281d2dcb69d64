#pragma once
// What a run with /resume takes up: the last run in the log, if it did not
// end, over the same folder and share. Its drafts that were stored and have
// not changed on disk since are skipped; everything else is done again.
// Runs before the last one are never consulted.
#include <cstdint>
#include <functional>
#include <optional>
#include <set>
#include <string>
#include <unordered_map>
#include <vector>

#include "common/LongPath.h"
#include "exports/ExportTargets.h"
#include "unattended/RunLog.h"

namespace kestrow {

// What a draft on disk looks like, as the log writes it.
struct DraftFacts {
    std::wstring size, written;
};

// The last run a log holds, from its rows.
struct LastRun {
    std::int64_t number = 0;  // 0: the log holds no run (new, or six columns)
    std::wstring folder, share;
    bool completed = false;  // it wrote a run-end row that says it completed
    struct Fate {
        std::wstring result, size, written;
        // The files it was exported to after that row, folded.
        std::set<std::wstring> exported{};
    };
    // Each draft's last row in the run, by its path folded to lower case.
    std::unordered_map<std::wstring, Fate> fates;
};

// The last run of a log of `layout`, from its rows; a row cut short is
// passed over as LogRowReader does.
LastRun ReadLastRun(const std::wstring& logText, LogLayout layout);

struct RunPlan {
    std::int64_t run = 1;  // the number of the run this one writes
    bool resumes = false;  // it continues the last run under its number
    std::vector<std::wstring> toDo;  // the listed names still to update
    std::int32_t skipped = 0;        // stored by the run and unchanged since
    std::vector<std::wstring> wasInHand;  // names the run was cut short on
};

// `names` as listed under `folder`; `facts` looks a draft's path up on
// disk (none when it cannot be read). A stored draft is skipped only when
// the run also exported it to every target of `exports`.
RunPlan PlanRun(const LastRun& last, bool resume, const std::wstring& folder, const std::wstring& share,
                const std::vector<std::wstring>& names,
                const std::function<std::optional<DraftFacts>(const std::wstring& path)>& facts,
                const ExportRequest& exports = {});

}  // namespace kestrow
