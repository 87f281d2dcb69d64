#include "unattended/CommandLine.h"

#include <set>

#include "batch/DraftBatch.h"
#include "common/CommandLineWords.h"
#include "common/ConnectionText.h"
#include "unattended/ResumePlan.h"

namespace kestrow {
namespace {

CommandLine Invalid(std::wstring why) {
    CommandLine line;
    line.action = CommandLine::Action::Invalid;
    line.error = std::move(why);
    return line;
}

// A whole number from `low` to `high`, digits only.
bool ParseWhole(const std::wstring& text, std::int64_t low, std::int64_t high, std::int64_t& result) {
    if (text.empty() || text.size() > 10) return false;
    std::int64_t value = 0;
    for (wchar_t c : text) {
        if (c < L'0' || c > L'9') return false;
        value = value * 10 + (c - L'0');
    }
    if (value < low || value > high) return false;
    result = value;
    return true;
}

// "<i>/<n>" with 1 <= i <= n <= the most shares.
bool ParseShard(const std::wstring& text, std::int32_t& index, std::int32_t& count) {
    const size_t slash = text.find(L'/');
    if (slash == std::wstring::npos) return false;
    std::int64_t i = 0, n = 0;
    if (!ParseWhole(text.substr(0, slash), 1, CommandLine::kMaxShards, i) ||
        !ParseWhole(text.substr(slash + 1), 1, CommandLine::kMaxShards, n) || i > n)
        return false;
    index = static_cast<std::int32_t>(i);
    count = static_cast<std::int32_t>(n);
    return true;
}

// /report <log>... [/html <file>] [/runs all|last]: every argument that is
// no switch names a log; with /queue, the one that may be given names the
// night's folder.
CommandLine ParseReport(const std::vector<std::wstring>& arguments) {
    CommandLine line;
    std::set<std::wstring> seen;
    for (size_t i = 0; i < arguments.size(); ++i) {
        const std::wstring name = SwitchName(arguments[i]);
        if (name.empty()) {
            line.reportLogs.push_back(arguments[i]);
            continue;
        }
        if (name == L"subfolders") {
            line.subfolders = true;
            continue;
        }
        if (IsHelpSwitch(name)) {
            line.action = CommandLine::Action::Usage;
            return line;
        }
        if (!seen.insert(name).second) return Invalid(L"/" + name + L" is given twice.");
        if (name == L"report") continue;
        if (name != L"html" && name != L"runs" && name != L"queue")
            return Invalid(L"/report takes logs, /html and /runs, or /queue, not " + arguments[i] + L".");
        if (i + 1 >= arguments.size() || !SwitchName(arguments[i + 1]).empty())
            return Invalid(arguments[i] + L" needs a value.");
        const std::wstring& value = arguments[++i];
        if (name == L"queue") {
            if (const std::wstring why = ConnectionProblem(value); !why.empty()) return Invalid(L"/queue: " + why + L".");
            line.queue = value;
        } else if (name == L"html") {
            if (value.empty()) return Invalid(L"/html needs a file name.");
            line.reportPage = value;
        } else if (FoldedPath(value) == L"all" || FoldedPath(value) == L"last") {
            line.allRuns = FoldedPath(value) == L"all";
        } else {
            return Invalid(L"/runs takes \"all\" or \"last\", not \"" + value + L"\".");
        }
    }
    if (!line.queue.empty()) {
        if (line.reportLogs.size() > 1)
            return Invalid(L"/report /queue takes one folder at most: the night's, as its runs name it.");
        if (!line.reportLogs.empty()) line.folder = line.reportLogs.front();
        line.reportLogs.clear();
        if (line.allRuns) return Invalid(L"/runs has no place with /queue: the report is of one night, every run of it.");
    } else if (line.reportLogs.empty()) {
        return Invalid(L"/report needs at least one log, or /queue and its database.");
    } else if (line.subfolders) {
        return Invalid(L"/subfolders goes with /report /queue and a folder only.");
    }
    line.action = CommandLine::Action::Report;
    return line;
}

}  // namespace

std::wstring ReadAnswerSwitch(const std::vector<std::wstring>& arguments, size_t& i, std::vector<AnswerRule>& answers) {
    const std::optional<AnswerRule> rule = i + 1 < arguments.size() ? ParseAnswerRule(arguments[++i]) : std::nullopt;
    if (!rule)
        return L"/answer needs \"<title>=<button>\", such as \"Missing references=OK\"" +
               (i < arguments.size() && SwitchName(arguments[i]) != L"answer" ? L", not \"" + arguments[i] + L"\"."
                                                                               : std::wstring(L"."));
    answers.push_back(*rule);
    return std::wstring();
}

std::wstring ReadTimeoutSwitch(const std::wstring& value, std::int64_t& seconds) {
    if (ParseWhole(value, 1, 7 * 24 * 3600, seconds)) return std::wstring();
    return L"/timeout needs a whole number of seconds from 1 to 604800, not \"" + value + L"\".";
}

std::wstring ReadExportSwitch(const std::wstring& value, std::vector<ExportFormat>& formats) {
    const std::optional<std::vector<ExportFormat>> read = ParseExportFormats(value);
    if (!read || read->empty())
        return L"/export needs a comma list of pdf, dwg and dxf, such as \"pdf,dxf\", not \"" + value + L"\".";
    formats = *read;
    return std::wstring();
}

CommandLine ParseCommandLine(const std::vector<std::wstring>& arguments) {
    CommandLine line;
    if (arguments.empty()) return line;
    if (HasSwitch(arguments, L"report")) return ParseReport(arguments);
    bool update = false;
    std::set<std::wstring> seen;
    for (size_t i = 0; i < arguments.size(); ++i) {
        const std::wstring name = SwitchName(arguments[i]);
        if (IsHelpSwitch(name)) {
            line.action = CommandLine::Action::Usage;
            return line;
        }
        const bool takesValue = name == L"update" || name == L"log" || name == L"timeout" ||
                                name == L"restart-every" || name == L"restart-memory" || name == L"sessions" ||
                                name == L"shard" || name == L"export" || name == L"exportto" ||
                                name == L"queue" || name == L"lease";
        if (name == L"answer") {
            if (const std::wstring why = ReadAnswerSwitch(arguments, i, line.answers); !why.empty()) return Invalid(why);
            continue;
        }
        if (takesValue && i + 1 >= arguments.size()) return Invalid(arguments[i] + L" needs a value.");
        // Each switch once: a second one would silently win over the first.
        if (takesValue && !seen.insert(name).second) return Invalid(L"/" + name + L" is given twice.");
        if (name == L"update") {
            update = true;
            line.folder = arguments[++i];
            if (line.folder.empty()) return Invalid(L"/update needs a folder.");
        } else if (name == L"log") {
            line.log = arguments[++i];
            if (line.log.empty()) return Invalid(L"/log needs a file name.");
        } else if (name == L"timeout") {
            if (const std::wstring why = ReadTimeoutSwitch(arguments[++i], line.timeoutSeconds); !why.empty())
                return Invalid(why);
        } else if (name == L"restart-every") {
            if (!ParseWhole(arguments[++i], 1, 1000000, line.restartEvery))
                return Invalid(L"/restart-every needs a whole number of drafts from 1 to 1000000, not \"" +
                               arguments[i] + L"\".");
        } else if (name == L"restart-memory") {
            if (!ParseWhole(arguments[++i], 1, 1048576, line.restartMemoryMB))
                return Invalid(L"/restart-memory needs a whole number of megabytes from 1 to 1048576, not \"" +
                               arguments[i] + L"\".");
        } else if (name == L"sessions") {
            std::int64_t sessions = 0;
            if (!ParseWhole(arguments[++i], 1, DraftBatch::kMaxSessions, sessions))
                return Invalid(L"/sessions needs a whole number from 1 to " + std::to_wstring(DraftBatch::kMaxSessions) +
                               L", not \"" + arguments[i] + L"\".");
            line.sessions = static_cast<std::int32_t>(sessions);
        } else if (name == L"shard") {
            if (!ParseShard(arguments[++i], line.shardIndex, line.shardCount))
                return Invalid(L"/shard needs <i>/<n> with 1 <= i <= n <= 1000, not \"" + arguments[i] + L"\".");
        } else if (name == L"export") {
            if (const std::wstring why = ReadExportSwitch(arguments[++i], line.exports.formats); !why.empty())
                return Invalid(why);
        } else if (name == L"exportto") {
            line.exports.folder = arguments[++i];
            if (line.exports.folder.empty()) return Invalid(L"/exportto needs a folder.");
        } else if (name == L"queue") {
            line.queue = arguments[++i];
            if (const std::wstring why = ConnectionProblem(line.queue); !why.empty())
                return Invalid(L"/queue: " + why + L".");
        } else if (name == L"lease") {
            if (!ParseWhole(arguments[++i], 3, 24 * 3600, line.leaseSeconds))
                return Invalid(L"/lease needs a whole number of seconds from 3 to 86400, not \"" + arguments[i] + L"\".");
        } else if (name == L"resume") {
            line.resume = true;
        } else if (name == L"subfolders") {
            line.subfolders = true;
        } else if (name == L"whatif") {
            line.whatIf = true;
        } else if (!name.empty()) {
            return Invalid(L"Unknown switch: " + arguments[i]);
        } else {
            return Invalid(L"Unexpected argument: \"" + arguments[i] + L"\" (a path with spaces needs quotes).");
        }
    }
    if (!update) return Invalid(L"Nothing to do: give /update and a folder.");
    if (line.resume && line.log.empty() && line.queue.empty())
        return Invalid(L"/resume needs /log: the log says where the last run stopped.");
    if (!line.queue.empty() && line.shardCount > 1)
        return Invalid(L"/shard and /queue do not go together: with /queue every computer takes the next draft "
                       L"nobody holds, so no computer needs a share of its own.");
    if (seen.count(L"lease") && line.queue.empty())
        return Invalid(L"/lease needs /queue: it is how long a draft taken from a shared night stays this computer's.");
    if (!line.exports.folder.empty() && !line.exports.Any())
        return Invalid(L"/exportto needs /export: it says where the exported files go.");
    line.action = CommandLine::Action::Update;
    return line;
}

std::wstring HelpHintText(const std::wstring& typedProgram) {
    std::wstring program = typedProgram.empty() ? std::wstring(L"Kestrow") : typedProgram;
    if (program.find_first_of(L" \t") != std::wstring::npos) program = L"\"" + program + L"\"";
    return program + L" /? shows how to use the command line.";
}

std::wstring UsageText() {
    return L"Kestrow updates all views in all the draft files (.dft) of a folder and stores them, through Solid "
           L"Edge's automation server.\n"
           L"\n"
           L"Usage:\n"
           L"  Kestrow.exe                       opens the Kestrow window\n"
           L"  Kestrow.exe /update <folder> [/subfolders] [/log <file> [/resume]] [/timeout <seconds>]\n"
           L"              [/restart-every <drafts>] [/restart-memory <MB>] [/sessions <k>] [/shard <i>/<n>]\n"
           L"              [/answer \"<title>=<button>\"]... [/export <formats> [/exportto <folder>]]\n"
           L"  Kestrow.exe /update <folder> ... /queue \"<connection>\" [/lease <seconds>]\n"
           L"  Kestrow.exe /update <folder> ... /whatif\n"
           L"  Kestrow.exe /report <log>... [/html <file>] [/runs all]\n"
           L"  Kestrow.exe /report /queue \"<connection>\" [<folder> [/subfolders]] [/html <file>]\n"
           L"  Kestrow.exe /?                    shows this text\n"
           L"\n"
           L"  /update <folder>     updates the drafts of <folder> without asking anything: a draft that fails is\n"
           L"                       skipped, a Solid Edge that stops is started again\n"
           L"  /subfolders          includes the drafts of every folder below <folder>\n"
           L"  /log <file>          appends CSV rows about each draft to <file>:\n"
           L"                       time,result,file,error,source,description,...\n"
           L"  /resume              continues the last run in the log if it did not end: drafts it stored that\n"
           L"                       have not changed since are skipped\n"
           L"  /timeout <seconds>   gives up on a Solid Edge that does not answer a call for so long\n"
           L"                       (default 600), ends it and goes on with a new one\n"
           L"  /restart-every <n>   ends the Solid Edge session after every n drafts and starts a fresh one\n"
           L"  /restart-memory <MB> starts a fresh Solid Edge session once the server's memory passes <MB> megabytes\n"
           L"  /sessions <k>        runs k sessions of Solid Edge at once (1 to 8, default 1)\n"
           L"  /shard <i>/<n>       takes only share i of n of the drafts, the same share on every computer\n"
           L"  /answer \"<t>=<b>\"    presses button <b> of a dialog of Solid Edge titled <t> (* and ? match\n"
           L"                       any text, any case); may be given again: the first rule whose title matches\n"
           L"                       decides. A dialog no rule answers is left, and its draft fails at /timeout\n"
           L"  /export <formats>    also saves each stored draft as pdf, dwg and/or dxf (a comma list), beside it\n"
           L"                       (a.dft -> a.pdf), in the same open; a file is replaced only once its draft\n"
           L"                       is stored, and never left half written\n"
           L"  /exportto <folder>   puts the exports under <folder> instead, at each draft's path from the /update\n"
           L"                       folder (Sub\\a.dft -> <folder>\\Sub\\a.pdf), folders made as needed\n"
           L"  /whatif              lists the drafts the run would update, in order, and why others are left;\n"
           L"                       starts no Solid Edge and changes nothing, not even the log\n"
           L"  /queue \"<conn>\"      shares the night with every computer that runs the same command: each takes\n"
           L"                       the next draft nobody holds, through this database (an ODBC connection\n"
           L"                       string or DSN=<name>, PostgreSQL or MariaDB; keep its password out of it),\n"
           L"                       and every row goes there too; the first computer lists the folder\n"
           L"  /lease <seconds>     how long a draft taken stays this computer's unless renewed (default 300);\n"
           L"                       a computer that stops loses its drafts to the others after so long\n"
           L"\n"
           L"  /report <log>...     what the logs say about their last run (every run with /runs all): the\n"
           L"                       drafts stored, failed, not reached and still in hand, when, how fast, and\n"
           L"                       every failure with its error; a name may hold * and ?\n"
           L"  /html <file>         also writes the report as one page, with a timeline of the night\n"
           L"  /report /queue ...   the same over every computer of the night the database holds for <folder>\n"
           L"                       (its latest night of any folder without one)\n"
           L"\n"
           L"Exit codes: 0 every draft stored (or none found), 1 some drafts not stored, exports failed or\n"
           L"subfolders unread, 2 Solid Edge was already running or still starting, could not be\n"
           L"started or kept failing, 3 bad command line, folder missing or unreadable, or log not writable,\n"
           L"or the database refused (no tables, rights or login), 4 Kestrow itself failed, 5 the night's\n"
           L"database could not be reached for long enough to go on.\n";
}

}  // namespace kestrow
