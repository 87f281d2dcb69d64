#pragma once
// Whose session of the CAD system a start got, decided by one rule that a
// reader can check by hand. A session is Kestrow's only if
//  (a) from the moment its start begins until its activation has returned
//      and been looked at again, no process of the server's program runs in
//      this logon whose command line lacks COM's launch switch (already
//      running, still starting or appeared: a session a user started), and
//  (b) the process that serves it is proven: the one the application itself
//      names where it answers, which must have appeared with the switch
//      during this start; or, where it does not answer, the one process that
//      appeared so, when no other process with the switch (not one of this
//      batch's own sessions) ran that could have served the start instead.
// Anything else is let go of without a call. The process COM launched for
// the start is ended only when it is proven the start's (the one that
// appeared with the switch). A program that cannot be read from the
// registration proves nothing, and is refused the same way.
// The platform gathers the facts; every decision about them is made here.
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "server/Automation.h"
#include "server/SessionLetGo.h"

namespace kestrow {

// Whether a command line carries COM's launch switch: an argument after the
// first that is "-Embedding" or "/Embedding" (what COM appends when it starts
// a local server), or "-Automation" or "/Automation", in any case.
bool CarriesLaunchSwitch(const std::wstring& commandLine);

// A process of the server's program, as seen at any look from the start's
// beginning until its activation was looked at again.
struct ServerProcessSeen {
    std::uint32_t id = 0;
    // Not running when the start began; appeared while it held its turn.
    bool appeared = false;
    // Its command line carries the launch switch: false as well while the
    // command line cannot be read, so that a process not yet readable counts
    // as one a user started.
    bool launchedByCom = false;
    // It runs in another Windows session (another user's logon, or the same
    // user's elsewhere), whose processes are never handed this logon's
    // activations; false when that cannot be told.
    bool otherLogon = false;
    // Still running at the last look. One that lacked the switch counts
    // all the same: it ran during the start.
    bool running = true;
    // The process of another session of the same batch, which Kestrow proved
    // its own when that session started.
    bool batchSession = false;
    bool operator==(const ServerProcessSeen&) const = default;
};

struct StartFacts {
    // The server's program is known: without it no process can be told.
    bool imageKnown = false;
    // The server runs as a set user (RunAs), in whatever logon: then the
    // processes of every logon count.
    bool everyLogonCounts = false;
    std::vector<ServerProcessSeen> processes;
};

// (a) fails: a process that COM did not start runs, or ran during the start,
// in a logon whose activations it could serve.
bool UserSessionSeen(const StartFacts& facts);

// The process a start is held to while its activation has not returned, to
// be ended if the start is given up: the one that appeared with the launch
// switch. None when there is none, or several.
std::optional<std::uint32_t> ProcessOfPendingStart(const StartFacts& facts);

// Whether the application object may be asked which process it lives in:
// only when (a) holds and a process appeared with the switch, so that a
// session a user started never gets even that call.
bool MayAskServedProcess(const StartFacts& facts);

enum class ServedBy {
    OwnProcess,    // the session's own: called, recorded, in the job, ended when given up
    OtherProcess,  // let go of without a call
};

struct ServedVerdict {
    ServedBy by = ServedBy::OtherProcess;
    std::optional<std::uint32_t> process;  // OwnProcess: the session's process
    // OtherProcess: why it was let go of.
    std::optional<SessionLetGo> why;
    // OtherProcess: the process COM launched for this start, proven the
    // start's, which serves nothing of Kestrow's and is ended. None when no
    // single one is proven (the application named another, or several
    // appeared at once).
    std::optional<std::uint32_t> launchedUnused;
    bool operator==(const ServedVerdict&) const = default;
};

// The verdict on an activation that returned an object, on the facts of the
// last look, taken after the application was asked. `reported` is the
// process the application object said it lives in, when it was asked and
// answered.
ServedVerdict JudgeServedSession(const StartFacts& facts, std::optional<std::uint32_t> reported);

// The whole judgement of an activation that returned, in its order: the look
// on its return decides whether the application may be asked (`ask` is
// made only then), and a look taken after the answer (`lookAgain`) decides
// the verdict. A process first seen by that later look is no candidate: it
// appeared after the activation had been served.
ServedVerdict JudgeReturnedStart(const StartFacts& onReturn, const std::function<std::optional<std::uint32_t>()>& ask,
                                 const std::function<StartFacts()>& lookAgain);

// What a user is told of a session let go of, or not started: what Kestrow
// found, one sentence; and what to do about it before trying again, lower
// case, to follow a colon.
std::wstring LetGoText(SessionLetGo why);
std::wstring LetGoMend(SessionLetGo why);

// The name of the application's property that tells its process id.
inline const wchar_t* const kProcessIdProperty = L"ProcessID";

// What the application object says of its process: none when it has no such
// property or its answer is no process id. Raises only when its server is
// lost.
std::optional<std::uint32_t> AskServedProcess(AutomationObject& application);

}  // namespace kestrow
