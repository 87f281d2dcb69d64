#include "batch/ServerOwnership.h"

#include <algorithm>

#include "common/CaseFold.h"
#include "common/RuntimeError.h"

namespace kestrow {
namespace {

// The arguments of a command line: white space separates them, double
// quotes group (and are dropped). Enough to find a switch that stands as an
// argument of its own.
std::vector<std::wstring> Arguments(const std::wstring& commandLine) {
    std::vector<std::wstring> arguments;
    std::wstring current;
    bool quoted = false, any = false;
    for (const wchar_t c : commandLine) {
        if (c == L'"') {
            quoted = !quoted;
            any = true;
        } else if ((c == L' ' || c == L'\t') && !quoted) {
            if (any) arguments.push_back(current);
            current.clear();
            any = false;
        } else {
            current += c;
            any = true;
        }
    }
    if (any) arguments.push_back(current);
    return arguments;
}

bool IsLaunchSwitch(const std::wstring& argument) {
    if (argument.size() < 2 || (argument[0] != L'-' && argument[0] != L'/')) return false;
    const std::wstring_view name = std::wstring_view(argument).substr(1);
    return SameIgnoringCase(name, L"Embedding") || SameIgnoringCase(name, L"Automation");
}

bool Candidate(const ServerProcessSeen& process) { return process.appeared && process.launchedByCom; }

std::vector<std::uint32_t> Candidates(const StartFacts& facts) {
    std::vector<std::uint32_t> found;
    for (const ServerProcessSeen& process : facts.processes)
        if (Candidate(process)) found.push_back(process.id);
    return found;
}

}  // namespace

bool CarriesLaunchSwitch(const std::wstring& commandLine) {
    const std::vector<std::wstring> arguments = Arguments(commandLine);
    // The first argument is the program, whatever its name.
    return std::any_of(arguments.begin() + (arguments.empty() ? 0 : 1), arguments.end(), IsLaunchSwitch);
}

std::optional<std::uint32_t> ProcessOfPendingStart(const StartFacts& facts) {
    if (!facts.imageKnown) return std::nullopt;
    const std::vector<std::uint32_t> candidates = Candidates(facts);
    if (candidates.size() != 1) return std::nullopt;
    return candidates.front();
}

bool MayAskServedProcess(const StartFacts& facts) {
    if (!facts.imageKnown || Candidates(facts).empty()) return false;
    return std::all_of(facts.processes.begin(), facts.processes.end(),
                       [](const ServerProcessSeen& process) { return process.launchedByCom; });
}

ServedVerdict JudgeServedSession(const StartFacts& facts, std::optional<std::uint32_t> reported) {
    if (!facts.imageKnown) return {ServedBy::UnprovenProcess, std::nullopt};
    // A process nobody proved COM started appeared meanwhile: a user's own
    // session, which may have taken the activation.
    const std::vector<std::uint32_t> candidates = Candidates(facts);
    if (std::any_of(facts.processes.begin(), facts.processes.end(),
                    [](const ServerProcessSeen& process) { return process.appeared && !process.launchedByCom; }))
        return {ServedBy::OtherProcess, std::nullopt,
                candidates.size() == 1 ? std::optional<std::uint32_t>(candidates.front()) : std::nullopt};
    if (reported) {
        if (std::find(candidates.begin(), candidates.end(), *reported) != candidates.end())
            return {ServedBy::OwnProcess, reported};
        return {ServedBy::OtherProcess, std::nullopt};
    }
    if (candidates.empty()) return {ServedBy::OtherProcess, std::nullopt};
    if (candidates.size() == 1) return {ServedBy::OwnProcess, candidates.front()};
    return {ServedBy::UnprovenProcess, std::nullopt};
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
