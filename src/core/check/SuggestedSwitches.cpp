#include "check/SuggestedSwitches.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <optional>

#include "batch/BatchSettings.h"
#include "common/CaseFold.h"
#include "common/CommandLineWords.h"
#include "common/NumberText.h"
#include "listing/WildcardMatch.h"

namespace kestrow {
namespace {

// A night gives a call ten times what the slowest took here, and never
// less than a minute: a loaded computer at night is slower than an idle one.
constexpr double kTimeoutTimesSlowest = 10;
constexpr std::int64_t kLeastTimeoutSeconds = 60;
constexpr std::int32_t kMostSessions = 8;

struct Slowest {
    double seconds = 0;
    std::wstring what;
    void Consider(double s, const std::wstring& name) {
        if (s < seconds) return;
        seconds = s;
        what = name;
    }
};

// The slowest call that answered; none when nothing answered, or a call was
// given up (its time is not known).
std::optional<Slowest> SlowestCall(const CheckFacts& facts) {
    if (!facts.start.tried || facts.start.error) return std::nullopt;
    Slowest slowest;
    slowest.Consider(facts.start.seconds, L"the start");
    if (facts.second.served == SecondSession::Served::OwnProcess)
        slowest.Consider(facts.second.seconds, L"the second start");
    for (const std::vector<TimedCall>* calls : {&facts.second.calls, &facts.sample.calls, &facts.end.calls})
        for (const TimedCall& call : *calls) {
            if (!call.answered) return std::nullopt;
            // The activation is counted in its start.
            if (call.step != DraftStep::Activation) slowest.Consider(call.seconds, CallName(call));
        }
    return slowest;
}

std::optional<SuggestedSwitch> Timeout(const CheckFacts& facts) {
    const std::optional<Slowest> slowest = SlowestCall(facts);
    if (!slowest) return std::nullopt;
    const auto seconds = std::max(kLeastTimeoutSeconds,
                                  static_cast<std::int64_t>(std::ceil(kTimeoutTimesSlowest * slowest->seconds)));
    return SuggestedSwitch{L"/timeout " + std::to_wstring(seconds),
                           L"ten times the slowest call (" + slowest->what + L": " + SecondsFigure(slowest->seconds) +
                               L"), and at least " + std::to_wstring(kLeastTimeoutSeconds) + L" s",
                           SuggestedSwitch::Kind::Timeout, seconds};
}

std::optional<std::uint64_t> SessionMemory(const CheckFacts& facts) {
    if (facts.sample.memoryBytes && facts.sample.stored) return facts.sample.memoryBytes;
    return facts.start.memoryBytes;
}

std::optional<SuggestedSwitch> Sessions(const CheckFacts& facts) {
    switch (facts.second.served) {
        case SecondSession::Served::NotTried: return std::nullopt;
        case SecondSession::Served::FirstSessionsProcess:
            return SuggestedSwitch{L"/sessions 1",
                                   L"Solid Edge serves every program from one process: a second session would be "
                                   L"handed the first one's",
                                   SuggestedSwitch::Kind::Sessions, 1};
        case SecondSession::Served::Failed:
            return SuggestedSwitch{L"/sessions 1", L"a second session could not be started beside the first",
                                   SuggestedSwitch::Kind::Sessions, 1};
        case SecondSession::Served::OwnProcess: break;
    }
    // One core is left to the rest of the computer.
    const std::int32_t byCores = std::max(1, facts.machine.cores - 1);
    std::wstring why = std::to_wstring(facts.machine.cores) + L" cores, one left for the rest of the computer";
    std::int64_t sessions = byCores;
    const std::optional<std::uint64_t> memory = SessionMemory(facts);
    if (memory && *memory > 0 && facts.machine.freeMemoryBytes > 0) {
        // Each session may grow to twice its size before /restart-memory renews it.
        const std::uint64_t each = 2 * *memory;
        sessions = std::min<std::int64_t>(sessions, static_cast<std::int64_t>(facts.machine.freeMemoryBytes / each));
        why += L"; " + MegabytesFigure(facts.machine.freeMemoryBytes) + L" of memory free, for sessions of up to " +
               MegabytesFigure(each) + L" each";
    } else {
        why += L" (the session's memory is not known)";
    }
    sessions = std::clamp<std::int64_t>(sessions, 1, kMostSessions);
    return SuggestedSwitch{L"/sessions " + std::to_wstring(sessions), why, SuggestedSwitch::Kind::Sessions, sessions};
}

// Twice the megabytes, rounded up to a round figure: tens below 1,000,
// hundreds from there.
std::uint64_t RoundBound(std::uint64_t megabytes) {
    const std::uint64_t step = megabytes < 1000 ? 10 : 100;
    return std::max<std::uint64_t>(step, (megabytes + step - 1) / step * step);
}

std::optional<SuggestedSwitch> RestartMemory(const CheckFacts& facts) {
    if (!facts.sample.stored || !facts.sample.memoryBytes) return std::nullopt;
    const std::uint64_t megabytes = (*facts.sample.memoryBytes + kBytesPerMegabyte - 1) / kBytesPerMegabyte;
    const std::uint64_t bound = RoundBound(2 * megabytes);
    return SuggestedSwitch{L"/restart-memory " + std::to_wstring(bound),
                           L"about twice the " + MegabytesFigure(*facts.sample.memoryBytes) +
                               L" Solid Edge committed after the sample",
                           SuggestedSwitch::Kind::RestartMemory, static_cast<std::int64_t>(bound)};
}

SuggestedSwitch AnswerSwitch(const std::wstring& title, const std::wstring& button, std::wstring why) {
    const AnswerRule rule{title, button};
    return SuggestedSwitch{L"/answer " + QuotedArgument(AnswerRuleText(rule), true), std::move(why),
                           SuggestedSwitch::Kind::Answer, 0, rule};
}

std::wstring AnswerWords(const std::wstring& title, const std::wstring& button) {
    return AnswerSwitch(title, button, L"").words;
}

const AnswerRule* RuleForTitle(const std::vector<AnswerRule>& answers, const std::wstring& title) {
    for (const AnswerRule& rule : answers)
        if (WildcardMatch(rule.title, title)) return &rule;
    return nullptr;
}

std::optional<SuggestedSwitch> Answer(const CheckedDialog& seen, const std::vector<AnswerRule>& answers) {
    const CadDialog& dialog = seen.dialog;
    const AnswerRule* rule = RuleForTitle(answers, dialog.title);
    if (seen.pressed && rule) return AnswerSwitch(rule->title, rule->button, L"answered '" + dialog.title + L"' here");
    std::vector<std::wstring> enabled;
    for (size_t i = 0; i < dialog.buttons.size(); ++i)
        if (std::find(dialog.disabled.begin(), dialog.disabled.end(), i) == dialog.disabled.end())
            enabled.push_back(dialog.buttons[i]);
    if (enabled.empty()) return std::nullopt;
    std::wstring buttons;
    for (const std::wstring& button : enabled) buttons += (buttons.empty() ? L"" : L", ") + button;
    std::wstring why = L"'" + dialog.title + L"' was left open here: name the button a night should press (" +
                       buttons + L")";
    if (rule) why += L", in place of " + AnswerWords(rule->title, rule->button) + L", which names no button it can press";
    return AnswerSwitch(dialog.title, enabled.front(), why);
}

}  // namespace

std::wstring SecondsFigure(double seconds) {
    wchar_t text[32];
    std::swprintf(text, 32, seconds < 10 ? L"%.2f s" : seconds < 100 ? L"%.1f s" : L"%.0f s", seconds);
    return text;
}

std::wstring MegabytesFigure(std::uint64_t bytes) {
    return GroupedNumber(static_cast<std::int64_t>((bytes + kBytesPerMegabyte / 2) / kBytesPerMegabyte)) + L" MB";
}

std::vector<SuggestedSwitch> SuggestSwitches(const CheckFacts& facts, const std::vector<AnswerRule>& answers) {
    std::vector<SuggestedSwitch> switches;
    for (const std::optional<SuggestedSwitch>& suggested : {Timeout(facts), Sessions(facts), RestartMemory(facts)})
        if (suggested) switches.push_back(*suggested);
    for (const CheckedDialog& seen : facts.dialogs) {
        // One session, as suggested then, starts no second one to meet it.
        if (seen.during == CheckStep::SecondStart && !seen.pressed) continue;
        const std::optional<SuggestedSwitch> answer = Answer(seen, answers);
        const bool said = answer && std::any_of(switches.begin(), switches.end(), [&](const SuggestedSwitch& s) {
                              return s.words == answer->words;
                          });
        if (answer && !said) switches.push_back(*answer);
    }
    return switches;
}

StoredSettings SettingsWithSuggestions(StoredSettings stored, const std::vector<SuggestedSwitch>& switches,
                                       const std::vector<ExportFormat>& formats,
                                       const std::vector<DraftExport>& checked) {
    for (const SuggestedSwitch& suggested : switches) {
        const auto number = static_cast<std::uint32_t>(suggested.number);
        switch (suggested.kind) {
            case SuggestedSwitch::Kind::Timeout: stored.callSeconds = number; break;
            case SuggestedSwitch::Kind::Sessions: stored.sessions = number; break;
            case SuggestedSwitch::Kind::RestartMemory: stored.restartMemoryMB = number; break;
            case SuggestedSwitch::Kind::Answer: {
                // The first rule whose title matches decides: one for the
                // same title gives way to the check's.
                std::vector<std::wstring> kept;
                for (const std::wstring& line : stored.answers) {
                    const std::optional<AnswerRule> rule = ParseAnswerRule(line);
                    if (!rule || !SameIgnoringCase(rule->title, suggested.answer.title)) kept.push_back(line);
                }
                kept.push_back(AnswerRuleText(suggested.answer));
                stored.answers = std::move(kept);
                break;
            }
        }
    }
    std::vector<ExportFormat> working;
    for (const ExportFormat format : formats)
        if (std::none_of(checked.begin(), checked.end(), [&](const DraftExport& made) {
                return made.format == format && made.state == DraftExport::State::Failed;
            }))
            working.push_back(format);
    stored.exports = ExportFormatsText(working);
    return stored;
}

}  // namespace kestrow
