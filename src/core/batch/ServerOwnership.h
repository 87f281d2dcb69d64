#pragma once
// Which process of the CAD system serves a session that Kestrow started,
// decided by what COM started for the activation and never by timing alone.
// COM starts a local server with a launch switch on its command line; the
// user's double-click, a shortcut or another program's plain start carries
// none. The platform gathers the facts (the processes of the server's
// program, whether each appeared while the start held its turn, whether it
// carries the switch, and what the application object says of its process);
// every decision about them is made here, the same for each caller.
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "batch/Automation.h"

namespace kestrow {

// Whether a command line carries COM's launch switch: an argument after the
// first that is "-Embedding" or "/Embedding" (what COM appends when it starts
// a local server), or "-Automation" or "/Automation", in any case.
bool CarriesLaunchSwitch(const std::wstring& commandLine);

struct ServerProcessSeen {
    std::uint32_t id = 0;
    // Not running when the activation began; appeared while the start held
    // its turn.
    bool appeared = false;
    // Its command line carries the launch switch (false as well while the
    // command line cannot be read).
    bool launchedByCom = false;
};

struct StartFacts {
    // The server's program is known: without it no process can be told.
    bool imageKnown = false;
    std::vector<ServerProcessSeen> processes;  // every running one of that program
};

// The process a start is held to while its activation has not returned:
// the one that appeared with the launch switch. None when there is none, or
// several (another program started the CAD system at the same moment).
std::optional<std::uint32_t> ProcessOfPendingStart(const StartFacts& facts);

// Whether the application object may be asked which process it lives in.
// Only when a candidate appeared and every process of the program was
// started by COM: a session a user started never gets even that call.
bool MayAskServedProcess(const StartFacts& facts);

enum class ServedBy {
    OwnProcess,       // the session's own: recorded, in the job, ended when given up
    UnprovenProcess,  // one of several COM started at once: used, never recorded or ended
    OtherProcess,     // one that ran before, or may be a user's: let go without a call
};

struct ServedVerdict {
    ServedBy by = ServedBy::OtherProcess;
    std::optional<std::uint32_t> process;  // the own process
    // Let go to a process a user started meanwhile, while the one COM
    // launched for this start serves nothing: that one is still the start's
    // to end. None when the application named another process: then what
    // COM launched meanwhile was another program's.
    std::optional<std::uint32_t> launchedUnused;
    bool operator==(const ServedVerdict&) const = default;
};

// The verdict on an activation that returned an object. `reported` is the
// process the application object said it lives in, when it was asked and
// answered: that answer decides between candidates.
ServedVerdict JudgeServedSession(const StartFacts& facts, std::optional<std::uint32_t> reported);

// The name of the application's property that tells its process id.
inline const wchar_t* const kProcessIdProperty = L"ProcessID";

// What the application object says of its process: none when it has no such
// property or its answer is no process id. Raises only when its server is
// lost.
std::optional<std::uint32_t> AskServedProcess(AutomationObject& application);

}  // namespace kestrow
