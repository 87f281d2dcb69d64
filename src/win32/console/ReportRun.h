#pragma once
// Kestrow /report: what the logs of a night say, on the console and, with
// /html, as a page. Returns the exit code: 0 when every draft of the runs
// reported was stored and every run ended, 1 when not, 3 when a log is
// missing or is no Kestrow log, or the page cannot be written (nothing is
// written then).
#include "console/ConsoleOutput.h"
#include "unattended/CommandLine.h"

namespace kestrow::win32 {

int RunReport(const CommandLine& line, ConsoleOutput& out, ConsoleOutput& err);

}  // namespace kestrow::win32
