#include "console/ReportRun.h"

#include <optional>
#include <set>
#include <vector>

#include "console/ConsoleAndLog.h"
#include "console/SharedNightRun.h"
#include "files/ReportFiles.h"
#include "files/WholeFile.h"
#include "report/NightSummary.h"
#include "report/ReportPage.h"
#include "report/ReportText.h"
#include "system/FullPath.h"
#include "system/SystemText.h"
#include "unattended/ResumePlan.h"
#include "unattended/UnattendedRun.h"

namespace kestrow::win32 {
namespace {

std::wstring FileName(const std::wstring& path) {
    const size_t slash = path.find_last_of(L"\\/");
    return slash == std::wstring::npos ? path : path.substr(slash + 1);
}

std::wstring FolderOf(const std::wstring& path) {
    const size_t slash = path.find_last_of(L"\\/");
    return slash == std::wstring::npos ? path : path.substr(0, slash);
}

// Every log named, each read whole; none when one is missing or is not a
// Kestrow log (said on `err`).
std::optional<std::vector<ReportSource>> ReadLogs(const CommandLine& line, ConsoleOutput& err) {
    const RunsToRead which = line.allRuns ? RunsToRead::All : RunsToRead::Last;
    std::vector<ReportSource> sources;
    std::set<std::wstring> read;  // a log named twice (by a wildcard too) counts once
    for (const std::wstring& name : line.reportLogs) {
        const std::vector<std::wstring> paths = FilesMatching(FullPath(name));
        if (paths.empty()) {
            err.Line(L"Kestrow: no file matches " + FullPath(name));
            return std::nullopt;
        }
        for (const std::wstring& path : paths) {
            if (!read.insert(FoldedPath(path)).second) continue;
            std::optional<LogBytes> bytes = ReadLogForReport(path);
            if (!bytes) {
                err.Line(L"Kestrow: the log cannot be read: " + path + L" (" + LastErrorText() + L")");
                return std::nullopt;
            }
            std::optional<ReportedLog> log = ReadReportedLog(FromUtf8(bytes->bytes), which);
            if (!log) {
                err.Line(L"Kestrow: this file is not a Kestrow log: " + path);
                return std::nullopt;
            }
            sources.push_back(ReportSource{FileName(path), path, std::move(*log), bytes->beingWritten});
        }
    }
    return sources;
}

}  // namespace

bool ReportPageMayBeWritten(const CommandLine& line, ConsoleOutput& err) {
    const std::wstring page = line.reportPage.empty() ? std::wstring() : FullPath(line.reportPage);
    if (page.empty() || MayHoldPage(page)) return true;
    err.Line(L"Kestrow: the page would be written over a file that is no page, and Kestrow leaves it as it is: " + page);
    return false;
}

int ReportOn(const CommandLine& line, const std::vector<ReportSource>& sources, RunsToRead which, bool wentWell,
             ConsoleOutput& out, ConsoleOutput& err) {
    out.Lines(ReportLines(sources, which));
    const std::wstring page = line.reportPage.empty() ? std::wstring() : FullPath(line.reportPage);
    if (!page.empty()) {
        const std::string html = Utf8(ReportPage(sources, which, PageSetting{FolderOf(page), LocalTimeNow()}));
        if (!WriteWhole(page, html.data(), html.size())) {
            err.Line(L"Kestrow: the page cannot be written: " + page + L" (" + LastErrorText() + L")");
            return ExitCode::NothingTouched;
        }
        out.Line(L"The page: " + page);
    }
    return wentWell && NightWentWell(sources) ? ExitCode::AllStored : ExitCode::SomeNotStored;
}

int RunReport(const CommandLine& line, ConsoleOutput& out, ConsoleOutput& err) {
    if (!line.queue.empty()) return SharedNightReport(line, out, err);
    if (!ReportPageMayBeWritten(line, err)) return ExitCode::NothingTouched;
    const std::optional<std::vector<ReportSource>> sources = ReadLogs(line, err);
    if (!sources) return ExitCode::NothingTouched;
    return ReportOn(line, *sources, line.allRuns ? RunsToRead::All : RunsToRead::Last, true, out, err);
}

}  // namespace kestrow::win32
