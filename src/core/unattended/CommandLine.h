#pragma once
// Kestrow's command line:
//   Kestrow.exe /update <folder> [/subfolders] [/log <file> [/resume]] [/timeout <seconds>]
//               [/restart-every <drafts>] [/restart-memory <MB>] [/sessions <k>] [/shard <i>/<n>]
//               [/answer "<title>=<button>"]... [/export <formats> [/exportto <folder>]]
//   Kestrow.exe /update <folder> ... /queue "<connection>" [/lease <seconds>]
//   Kestrow.exe /update <folder> ... /whatif
//   Kestrow.exe /report <log>... [/html <file>] [/runs all]
//   Kestrow.exe /report /queue "<connection>" [<folder> [/subfolders]] [/html <file>]
//   Kestrow.exe /?
// Switches are case-insensitive and may start with "/" or "-".
#include <cstdint>
#include <string>
#include <vector>

#include "batch/CadDialog.h"
#include "exports/ExportTargets.h"

namespace kestrow {

struct CommandLine {
    enum class Action {
        Window,   // no arguments: the main window
        Usage,    // /?: print how to use the command line
        Update,   // an unattended run
        Report,   // what logs say about the runs they hold
        Invalid,  // `error` says why
    };
    static constexpr std::int64_t kDefaultTimeoutSeconds = 600;
    static constexpr std::int32_t kMaxShards = 1000;
    static constexpr std::int64_t kDefaultLeaseSeconds = 300;

    Action action = Action::Window;
    std::wstring folder;
    bool subfolders = false;
    std::wstring log;  // "" for none
    std::int64_t timeoutSeconds = kDefaultTimeoutSeconds;
    bool resume = false;             // continue the last run in the log
    std::int64_t restartEvery = 0;   // drafts per session before a fresh one; 0: never
    std::int64_t restartMemoryMB = 0;  // server memory that calls for a fresh session; 0: never
    std::int32_t sessions = 1;       // sessions of the CAD system at once
    std::int32_t shardIndex = 1;     // this run's share of the drafts: shardIndex of shardCount
    std::int32_t shardCount = 1;
    std::vector<AnswerRule> answers;  // for the CAD system's dialogs, in the order given
    // /export pdf,dxf and /exportto: what each stored draft is also saved as,
    // and where (the folder as given; "" beside each draft).
    ExportRequest exports;
    bool whatIf = false;  // list what the run would do, and do nothing
    // /queue: the drafts come from a night shared with other computers
    // through this database (an ODBC connection string or "DSN=name"), and
    // every row goes there too; "" for none. /lease: how long a draft taken
    // stays this computer's without a renewal.
    std::wstring queue;
    std::int64_t leaseSeconds = kDefaultLeaseSeconds;
    // /report
    std::vector<std::wstring> reportLogs;  // as given; a name may hold wildcards
    std::wstring reportPage;               // /html: the page to write, "" for none
    bool allRuns = false;                  // every run of each log, not only the last
    // /report /queue: the night of `folder` (and `subfolders`) in `queue`'s
    // database, or its latest night without a folder.
    std::wstring error;
};

// `arguments` as the shell split them, without the program's own name.
CommandLine ParseCommandLine(const std::vector<std::wstring>& arguments);

std::wstring UsageText();
// "<program> /? shows how to use the command line.", the program named as
// the user typed it ("Kestrow", "Kestrow.exe", a path), "Kestrow" when that
// is not known.
std::wstring HelpHintText(const std::wstring& typedProgram);

// The switches a run shares with /check, each read as a run reads it: ""
// when the value is sound (and stored), otherwise why it is not.
// /answer "<title>=<button>" at `i`, which moves past its value.
std::wstring ReadAnswerSwitch(const std::vector<std::wstring>& arguments, size_t& i, std::vector<AnswerRule>& answers);
std::wstring ReadTimeoutSwitch(const std::wstring& value, std::int64_t& seconds);
std::wstring ReadExportSwitch(const std::wstring& value, std::vector<ExportFormat>& formats);

}  // namespace kestrow
