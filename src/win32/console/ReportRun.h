#pragma once
// Kestrow /report: what the logs of a night say, on the console and, with
// /html, as a page. Returns the exit code: 0 when every draft of the runs
// reported was stored and every run ended, 1 when not, 3 when a log is
// missing or is no Kestrow log, or the page cannot be written (nothing is
// written then). With /queue, the night comes from its database instead.
#include <vector>

#include "console/ConsoleOutput.h"
#include "report/NightSummary.h"
#include "unattended/CommandLine.h"

namespace kestrow::win32 {

int RunReport(const CommandLine& line, ConsoleOutput& out, ConsoleOutput& err);

// Whether the page /html names may be written (it is none, or a page):
// said on `err` when not.
bool ReportPageMayBeWritten(const CommandLine& line, ConsoleOutput& err);
// The report over `sources`, on the console and as the page /html names:
// its exit code, 0 only when `wentWell` too.
int ReportOn(const CommandLine& line, const std::vector<ReportSource>& sources, RunsToRead which, bool wentWell,
             ConsoleOutput& out, ConsoleOutput& err);

}  // namespace kestrow::win32
