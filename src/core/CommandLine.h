#pragma once
// Kestrow's command line:
//   Kestrow.exe /update <folder> [/subfolders] [/log <file>] [/timeout <seconds>]
//   Kestrow.exe /?
// Switches are case-insensitive and may start with "/" or "-".
#include <cstdint>
#include <string>
#include <vector>

namespace kestrow {

struct CommandLine {
    enum class Action {
        Window,   // no arguments: the main window
        Usage,    // /?: print how to use the command line
        Update,   // an unattended run
        Invalid,  // `error` says why
    };
    static constexpr std::int64_t kDefaultTimeoutSeconds = 600;

    Action action = Action::Window;
    std::wstring folder;
    bool subfolders = false;
    std::wstring log;  // "" for none
    std::int64_t timeoutSeconds = kDefaultTimeoutSeconds;
    std::wstring error;
};

// `arguments` as the shell split them, without the program's own name.
CommandLine ParseCommandLine(const std::vector<std::wstring>& arguments);

std::wstring UsageText();

}  // namespace kestrow
