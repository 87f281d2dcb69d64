#include "check/CheckCommand.h"

#include <set>

#include "common/CommandLineWords.h"
#include "common/ConnectionText.h"
#include "unattended/CommandLine.h"

namespace kestrow {
namespace {

CheckCommand Invalid(std::wstring why) {
    CheckCommand command;
    command.error = std::move(why);
    return command;
}

}  // namespace

bool AsksForCheck(const std::vector<std::wstring>& arguments) { return HasSwitch(arguments, L"check"); }

CheckCommand ParseCheckCommand(const std::vector<std::wstring>& arguments) {
    CheckCommand command;
    std::set<std::wstring> seen;
    for (size_t i = 0; i < arguments.size(); ++i) {
        const std::wstring name = SwitchName(arguments[i]);
        if (IsHelpSwitch(name)) {
            command.kind = CheckCommand::Kind::Usage;
            return command;
        }
        if (name.empty()) {
            if (!command.sample.empty())
                return Invalid(L"/check takes one sample draft, not also \"" + arguments[i] +
                               L"\" (a path with spaces needs quotes).");
            command.sample = arguments[i];
            continue;
        }
        if (name == L"answer") {
            if (const std::wstring why = ReadAnswerSwitch(arguments, i, command.answers); !why.empty())
                return Invalid(why);
            continue;
        }
        if (!seen.insert(name).second) return Invalid(L"/" + name + L" is given twice.");
        if (name == L"check") continue;
        if (name != L"export" && name != L"timeout" && name != L"html" && name != L"queue")
            return Invalid(L"/check takes a sample draft, /export, /answer, /timeout, /html and /queue, not " +
                           arguments[i] + L".");
        if (i + 1 >= arguments.size()) return Invalid(arguments[i] + L" needs a value.");
        const std::wstring& value = arguments[++i];
        std::wstring why;
        if (name == L"export") {
            why = ReadExportSwitch(value, command.exports);
        } else if (name == L"timeout") {
            why = ReadTimeoutSwitch(value, command.timeoutSeconds);
        } else if (name == L"queue") {
            if (const std::wstring problem = ConnectionProblem(value); !problem.empty()) why = L"/queue: " + problem + L".";
            command.queue = value;
        } else if (value.empty()) {
            why = L"/html needs a file name.";
        } else {
            command.page = value;
        }
        if (!why.empty()) return Invalid(why);
    }
    command.kind = CheckCommand::Kind::Check;
    return command;
}

std::wstring CheckUsageText() {
    return L"  Kestrow.exe /check [<sample draft>] [/export <formats>] [/answer \"<title>=<button>\"]...\n"
           L"              [/timeout <seconds>] [/html <file>] [/queue \"<connection>\"]\n"
           L"                       looks at Solid Edge before the first night: its registration, a start of\n"
           L"                       its own, a copy of the sample draft opened, updated, stored, saved as each\n"
           L"                       /export format and closed, the dialogs it shows, its end; then says whether a\n"
           L"                       night can run and which switches to give it. The draft itself is never opened\n"
           L"                       or written. /timeout defaults to 120 here. With /queue it also looks at the\n"
           L"                       database of a shared night: the connection, Kestrow's tables, the rights and\n"
           L"                       a draft taken there and undone. Exit code 0 a night can run,\n"
           L"                       1 it cannot, 3 bad command line, 4 Kestrow itself failed\n";
}

}  // namespace kestrow
