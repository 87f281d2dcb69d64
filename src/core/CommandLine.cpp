#include "CommandLine.h"

#include <cwctype>

namespace kestrow {
namespace {

// "/Update" and "-UPDATE" both give "update"; "" for what is no switch.
std::wstring SwitchName(const std::wstring& argument) {
    if (argument.size() < 2 || (argument[0] != L'/' && argument[0] != L'-')) return std::wstring();
    std::wstring name = argument.substr(1);
    for (wchar_t& c : name) c = static_cast<wchar_t>(std::towlower(c));
    return name;
}

CommandLine Invalid(std::wstring why) {
    CommandLine line;
    line.action = CommandLine::Action::Invalid;
    line.error = std::move(why);
    return line;
}

// A whole number of seconds from 1 to a week.
bool ParseSeconds(const std::wstring& text, std::int64_t& seconds) {
    constexpr std::int64_t kMax = 7 * 24 * 3600;
    if (text.empty() || text.size() > 7) return false;
    std::int64_t value = 0;
    for (wchar_t c : text) {
        if (c < L'0' || c > L'9') return false;
        value = value * 10 + (c - L'0');
    }
    if (value < 1 || value > kMax) return false;
    seconds = value;
    return true;
}

}  // namespace

CommandLine ParseCommandLine(const std::vector<std::wstring>& arguments) {
    CommandLine line;
    if (arguments.empty()) return line;
    bool update = false, timeoutGiven = false;
    for (size_t i = 0; i < arguments.size(); ++i) {
        const std::wstring name = SwitchName(arguments[i]);
        if (name == L"?" || name == L"h" || name == L"help") {
            line.action = CommandLine::Action::Usage;
            return line;
        }
        const bool takesValue = name == L"update" || name == L"log" || name == L"timeout";
        if (takesValue && i + 1 >= arguments.size()) return Invalid(arguments[i] + L" needs a value.");
        if (name == L"update") {
            if (update) return Invalid(L"/update is given twice.");
            update = true;
            line.folder = arguments[++i];
            if (line.folder.empty()) return Invalid(L"/update needs a folder.");
        } else if (name == L"log") {
            if (!line.log.empty()) return Invalid(L"/log is given twice.");
            line.log = arguments[++i];
            if (line.log.empty()) return Invalid(L"/log needs a file name.");
        } else if (name == L"timeout") {
            if (timeoutGiven) return Invalid(L"/timeout is given twice.");
            timeoutGiven = true;
            if (!ParseSeconds(arguments[++i], line.timeoutSeconds))
                return Invalid(L"/timeout needs a whole number of seconds from 1 to 604800, not \"" + arguments[i] +
                               L"\".");
        } else if (name == L"subfolders") {
            line.subfolders = true;
        } else if (!name.empty()) {
            return Invalid(L"Unknown switch: " + arguments[i]);
        } else {
            return Invalid(L"Unexpected argument: \"" + arguments[i] + L"\" (a path with spaces needs quotes).");
        }
    }
    if (!update) return Invalid(L"Nothing to do: give /update and a folder.");
    line.action = CommandLine::Action::Update;
    return line;
}

std::wstring UsageText() {
    return L"Kestrow updates all views in all the draft files (.dft) of a folder and stores them, through the CAD "
           L"system's automation server.\n"
           L"\n"
           L"Usage:\n"
           L"  Kestrow.exe                       opens the Kestrow window\n"
           L"  Kestrow.exe /update <folder> [/subfolders] [/log <file>] [/timeout <seconds>]\n"
           L"  Kestrow.exe /?                    shows this text\n"
           L"\n"
           L"  /update <folder>     updates the drafts of <folder> without asking anything: a draft that fails is\n"
           L"                       skipped, a CAD system that stops is started again\n"
           L"  /subfolders          includes the drafts of every folder below <folder>\n"
           L"  /log <file>          appends one CSV row per draft to <file>:\n"
           L"                       time,result,file,error,source,description\n"
           L"  /timeout <seconds>   gives up on a CAD system that does not answer a call for so long\n"
           L"                       (default 600) and goes on with a new one\n"
           L"\n"
           L"Exit codes: 0 every draft stored (or none found), 1 some drafts not stored, 2 the CAD system could not\n"
           L"be started or kept failing, 3 bad command line, folder missing or unreadable, or log not writable.\n";
}

}  // namespace kestrow
