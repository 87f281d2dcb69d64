#include "server/ServerOwnership.h"

#include <algorithm>

#include "server/AutomationContract.h"
#include "common/CaseFold.h"
#include "common/CommandLineWords.h"
#include "common/RuntimeError.h"

namespace kestrow {
namespace {

bool IsLaunchSwitch(const std::wstring& argument) {
    if (argument.size() < 2 || (argument[0] != L'-' && argument[0] != L'/')) return false;
    const std::wstring_view name = std::wstring_view(argument).substr(1);
    return SameIgnoringCase(name, L"Embedding") || SameIgnoringCase(name, L"Automation");
}

// The arguments after the program, read as Windows reads a command line:
// the program ends at its closing quote or its first blank.
std::vector<std::wstring> ArgumentsAfterProgram(const std::wstring& commandLine) {
    size_t end = 0;
    if (!commandLine.empty() && commandLine[0] == L'"') {
        end = commandLine.find(L'"', 1);
        end = end == std::wstring::npos ? commandLine.size() : end + 1;
    } else {
        end = commandLine.find_first_of(L" \t");
        if (end == std::wstring::npos) end = commandLine.size();
    }
    return SplitArguments(commandLine.substr(end));
}

// A process whose activations this start's could be: one of this logon, or
// of any when the server runs as a set user.
bool Counts(const StartFacts& facts, const ServerProcessSeen& process) {
    return facts.everyLogonCounts || !process.otherLogon;
}

// Appeared during this start with the switch, and still there to serve.
std::vector<std::uint32_t> Candidates(const StartFacts& facts) {
    std::vector<std::uint32_t> found;
    for (const ServerProcessSeen& process : facts.processes)
        if (process.appeared && process.launchedByCom && process.running && Counts(facts, process))
            found.push_back(process.id);
    return found;
}

std::optional<std::uint32_t> TheOne(const std::vector<std::uint32_t>& candidates) {
    if (candidates.size() != 1) return std::nullopt;
    return candidates.front();
}

// Another program's server with the switch, from before the start, that
// could have served it: then the one that appeared proves nothing alone.
bool AnotherServerRan(const StartFacts& facts) {
    return std::any_of(facts.processes.begin(), facts.processes.end(), [&](const ServerProcessSeen& process) {
        return process.launchedByCom && !process.appeared && process.running && !process.batchSession &&
               Counts(facts, process);
    });
}

ServedVerdict LetGo(SessionLetGo why, std::optional<std::uint32_t> launchedUnused = std::nullopt) {
    return ServedVerdict{ServedBy::OtherProcess, std::nullopt, why, launchedUnused};
}

}  // namespace

bool CarriesLaunchSwitch(const std::wstring& commandLine) {
    const std::vector<std::wstring> arguments = ArgumentsAfterProgram(commandLine);
    return std::any_of(arguments.begin(), arguments.end(), IsLaunchSwitch);
}

bool UserSessionSeen(const StartFacts& facts) {
    return std::any_of(facts.processes.begin(), facts.processes.end(), [&](const ServerProcessSeen& process) {
        return !process.launchedByCom && Counts(facts, process);
    });
}

std::optional<std::uint32_t> ProcessOfPendingStart(const StartFacts& facts) {
    if (!facts.imageKnown) return std::nullopt;
    return TheOne(Candidates(facts));
}

bool MayAskServedProcess(const StartFacts& facts) {
    return facts.imageKnown && !UserSessionSeen(facts) && !Candidates(facts).empty();
}

ServedVerdict JudgeServedSession(const StartFacts& facts, std::optional<std::uint32_t> reported) {
    if (!facts.imageKnown) return LetGo(SessionLetGo::ProgramNotKnown);
    const std::vector<std::uint32_t> candidates = Candidates(facts);
    // (a): the start may have gone to a session a user started; what COM
    // launched for it serves nothing of Kestrow's and is ended.
    if (UserSessionSeen(facts)) return LetGo(SessionLetGo::UsersSession, TheOne(candidates));
    // (b): the application's own word decides, and must name what appeared;
    // naming another, what COM launched meanwhile was another program's.
    if (reported) {
        if (std::find(candidates.begin(), candidates.end(), *reported) != candidates.end())
            return ServedVerdict{ServedBy::OwnProcess, reported, std::nullopt, std::nullopt};
        return LetGo(SessionLetGo::NotProven);
    }
    const std::optional<std::uint32_t> own = TheOne(candidates);
    if (own && !AnotherServerRan(facts)) return ServedVerdict{ServedBy::OwnProcess, own, std::nullopt, std::nullopt};
    // None appeared (a server from before took it), several did at once, or
    // one did beside another program's server: none can be told apart.
    return LetGo(SessionLetGo::NotProven);
}

ServedVerdict JudgeReturnedStart(const StartFacts& onReturn, const std::function<std::optional<std::uint32_t>()>& ask,
                                 const std::function<StartFacts()>& lookAgain) {
    const std::optional<std::uint32_t> reported = MayAskServedProcess(onReturn) ? ask() : std::nullopt;
    const StartFacts again = lookAgain();
    // What the later look adds with the switch came after the activation was
    // served: neither the start's nor a server that could have taken it.
    // Without the switch, it still counts against the start.
    StartFacts facts{again.imageKnown, again.everyLogonCounts, {}};
    for (const ServerProcessSeen& process : again.processes) {
        const auto onReturnToo = std::find_if(onReturn.processes.begin(), onReturn.processes.end(),
                                              [&](const ServerProcessSeen& seen) { return seen.id == process.id; });
        if (onReturnToo == onReturn.processes.end() && process.launchedByCom) continue;
        facts.processes.push_back(process);
        if (onReturnToo == onReturn.processes.end()) facts.processes.back().appeared = false;
    }
    const ServedVerdict verdict = JudgeServedSession(facts, reported);
    // A launch that was there on the return and is gone since may be the one
    // that served: then none is proven.
    const std::vector<std::uint32_t> before = Candidates(onReturn), after = Candidates(facts);
    if (verdict.by == ServedBy::OwnProcess &&
        std::any_of(before.begin(), before.end(), [&](std::uint32_t id) {
            return std::find(after.begin(), after.end(), id) == after.end();
        }))
        return LetGo(SessionLetGo::NotProven);
    return verdict;
}

std::wstring LetGoText(SessionLetGo why) {
    switch (why) {
        case SessionLetGo::UsersSession:
            return L"Solid Edge is already running on this computer, or is still starting, as a session that Windows "
                   L"did not start for Kestrow.";
        case SessionLetGo::ProgramNotKnown:
            return std::wstring(L"Kestrow cannot read which program Windows starts for Solid Edge (") +
                   contract::kProgId + L"), so it cannot tell a session of its own from one of yours.";
        case SessionLetGo::NotProven:
            return L"Windows handed Kestrow's session to a Solid Edge that Kestrow cannot prove it started for it "
                   L"(another program may have started Solid Edge at the same moment).";
    }
    return std::wstring();
}

std::wstring LetGoMend(SessionLetGo why) {
    switch (why) {
        case SessionLetGo::UsersSession: return L"close Solid Edge (if it is still starting, let it open first)";
        case SessionLetGo::ProgramNotKnown: return L"repair Solid Edge's installation";
        case SessionLetGo::NotProven: return L"close the Solid Edge that another program started, or let it end";
    }
    return std::wstring();
}

std::optional<std::uint32_t> AskServedProcess(AutomationObject& application) {
    try {
        const std::optional<std::int32_t> member = application.DispatchIdOf(kProcessIdProperty);
        if (!member) return std::nullopt;
        const AutomationResult answer = application.Invoke(*member, InvokeKind::Get, {});
        if (!answer.number || *answer.number <= 0) return std::nullopt;
        return static_cast<std::uint32_t>(*answer.number);
    } catch (const RuntimeError& error) {
        // A server that cannot say is judged without its word; one that is
        // gone fails the start.
        if (error.ServerLost()) throw;
        return std::nullopt;
    }
}

}  // namespace kestrow
