#pragma once
// The report as one self-contained HTML page: no script and no file of its
// own beside it (its style and its timeline are inline), only the pictures
// of the CAD system's dialogs, which the logs' rows name, referred to from
// where the page is. Everything a log says is escaped.
#include <string>
#include <vector>

#include "report/NightSummary.h"

namespace kestrow {

struct PageSetting {
    std::wstring pageFolder;  // where the page is written, for the pictures' references
    std::wstring madeAt;      // the local time now, as the log writes times
    size_t failedDraftsShown = 5000;  // a page stays readable; the console lists every one
    size_t slowestDrafts = 10;
    // A page of one batch lists each of its drafts with its fate and its
    // exports, up to so many; a night's page lists none.
    size_t everyDraftShown = 0;
};

std::wstring ReportPage(const std::vector<ReportSource>& sources, RunsToRead which, const PageSetting& setting);

}  // namespace kestrow
