#pragma once
// What a run with /whatif says instead of running: the drafts it would
// update, one a line in the order it would take them (each followed by the
// files it would be exported to), then how many of how many listed and why
// the rest are left.
#include <cstdint>
#include <string>
#include <vector>

#include "exports/ExportTargets.h"
#include "listing/FileTree.h"
#include "unattended/ResumePlan.h"

namespace kestrow {

struct WhatIfRequest {
    std::wstring folder;  // full, ending with "\"
    size_t listed = 0;    // drafts listed in the folder (and below it)
    size_t inShare = 0;   // of them in this run's share
    std::int32_t shardIndex = 1, shardCount = 1;
    bool resume = false;          // /resume was given
    bool logRecordsRuns = false;  // a log with runs was given
    std::vector<UnreadableFolder> unreadable;
    // Names in the share whose file was listed before under another name,
    // each with that first name: the file is done once, under it.
    std::vector<std::pair<std::wstring, std::wstring>> otherNames;
    ExportRequest exports;  // its folder full, "" beside the drafts
};

std::vector<std::wstring> WhatIfLines(const WhatIfRequest& request, const RunPlan& plan);

}  // namespace kestrow
