#pragma once
// Where an unattended run reports: lines to the console, rows to the log.
#include "console/ConsoleOutput.h"
#include "files/RunLogRows.h"

namespace kestrow::win32 {

class ConsoleAndLog : public RunLogRows {
public:
    // `log` may be null: no /log was given.
    ConsoleAndLog(ConsoleOutput& console, RunLogFile* log, std::wstring run)
        : RunLogRows(log, std::move(run), [&console](const std::wstring& line) { console.Line(line); }) {}
};

}  // namespace kestrow::win32
