#include "schedule/Night.h"

#include "common/CommandLineWords.h"
#include "form/WindowSettings.h"
#include "unattended/CommandLine.h"

namespace kestrow {
namespace {

// The switches whose values a night always writes in quotes: paths, and the
// rules, whose titles are often several words.
bool QuotedAfter(const std::wstring& argument) {
    return argument == L"/update" || argument == L"/log" || argument == L"/exportto" || argument == L"/answer" ||
           argument == L"/queue";
}

}  // namespace

std::vector<std::wstring> NightArguments(const Night& night) {
    std::vector<std::wstring> words = {L"/update", night.folder};
    if (night.subfolders) words.push_back(L"/subfolders");
    if (night.shardCount > 1)
        words.insert(words.end(), {L"/shard", std::to_wstring(night.shardIndex) + L"/" + std::to_wstring(night.shardCount)});
    words.insert(words.end(), {L"/log", night.log, L"/resume"});
    if (night.sessions > 1) words.insert(words.end(), {L"/sessions", std::to_wstring(night.sessions)});
    if (night.timeoutSeconds != CommandLine::kDefaultTimeoutSeconds)
        words.insert(words.end(), {L"/timeout", std::to_wstring(night.timeoutSeconds)});
    if (night.restartEvery > 0) words.insert(words.end(), {L"/restart-every", std::to_wstring(night.restartEvery)});
    if (night.restartMemoryMB > 0)
        words.insert(words.end(), {L"/restart-memory", std::to_wstring(night.restartMemoryMB)});
    if (!night.exports.empty()) words.insert(words.end(), {L"/export", ExportFormatsText(night.exports)});
    if (!night.exportFolder.empty()) words.insert(words.end(), {L"/exportto", night.exportFolder});
    for (const AnswerRule& rule : night.answers) words.insert(words.end(), {L"/answer", AnswerRuleText(rule)});
    if (!night.queue.empty()) words.insert(words.end(), {L"/queue", night.queue});
    if (!night.queue.empty() && night.leaseSeconds != CommandLine::kDefaultLeaseSeconds)
        words.insert(words.end(), {L"/lease", std::to_wstring(night.leaseSeconds)});
    return words;
}

std::wstring NightArgumentsText(const Night& night) {
    const std::vector<std::wstring> words = NightArguments(night);
    std::wstring text;
    for (size_t i = 0; i < words.size(); ++i) {
        const bool quoted = i > 0 && QuotedAfter(words[i - 1]);
        text += (text.empty() ? L"" : L" ") + QuotedArgument(words[i], quoted);
    }
    return text;
}

std::optional<ExpandedValue> ExpandedByTheTaskScheduler(const Night& night, const std::wstring& program) {
    std::vector<std::pair<NightValue, std::wstring>> values = {
        {NightValue::Program, program}, {NightValue::Folder, night.folder}, {NightValue::Log, night.log},
        {NightValue::ExportFolder, night.exportFolder}, {NightValue::Queue, night.queue}};
    for (const AnswerRule& rule : night.answers) values.emplace_back(NightValue::Answers, AnswerRuleText(rule));
    for (const auto& [value, text] : values) {
        if (text.find(L'%') == std::wstring::npos) continue;
        std::wstring what;
        switch (value) {
            case NightValue::Program: what = L"Kestrow's own path"; break;
            case NightValue::Folder: what = L"The folder"; break;
            case NightValue::Log: what = L"The log"; break;
            case NightValue::ExportFolder: what = L"The folder of the exports"; break;
            case NightValue::Answers: what = L"The rule"; break;
            case NightValue::Queue: what = L"The database's connection"; break;
        }
        return ExpandedValue{value, what + L" \"" + text + L"\" holds \"%\", which the Task Scheduler would read as "
                                    L"the start of a variable (%NAME%) and replace, so that the night could run on "
                                    L"another folder or fail. Choose one without \"%\" (rename the folder, or reach it "
                                    L"through a drive letter), or run that night from a script of your own."};
    }
    return std::nullopt;
}

NightReading ReadNightArguments(const std::vector<std::wstring>& arguments) {
    NightReading reading;
    // A night always resumes: the switch is the night's own, not the user's.
    std::vector<std::wstring> run;
    for (const std::wstring& argument : arguments)
        if (SwitchName(argument) != L"resume") run.push_back(argument);
    const CommandLine line = ParseCommandLine(run);
    if (line.action == CommandLine::Action::Invalid) {
        reading.error = line.error;
        return reading;
    }
    if (line.action != CommandLine::Action::Update) {
        reading.error = L"A night needs /update and a folder.";
        return reading;
    }
    if (line.whatIf) {
        reading.error = L"/whatif has no place in a night: it only says what a run would do.";
        return reading;
    }
    Night& night = reading.night;
    night.folder = line.folder;
    night.subfolders = line.subfolders;
    night.log = line.log;
    night.timeoutSeconds = line.timeoutSeconds;
    night.restartEvery = line.restartEvery;
    night.restartMemoryMB = line.restartMemoryMB;
    night.sessions = line.sessions;
    night.shardIndex = line.shardIndex;
    night.shardCount = line.shardCount;
    night.answers = line.answers;
    night.exports = line.exports.formats;
    night.exportFolder = line.exports.folder;
    if (!line.queue.empty()) {
        if (const std::wstring why = SharedNightConnectionProblem(line.queue); !why.empty()) {
            reading.error = L"/queue: " + why;
            return reading;
        }
    }
    night.queue = line.queue;
    night.leaseSeconds = line.leaseSeconds;
    reading.ok = true;
    return reading;
}

std::wstring NightDescription(const ScheduledNight& scheduled) {
    return L"Kestrow updates the drafts in " + scheduled.night.folder +
           (scheduled.night.subfolders ? L" and its subfolders" : L"") + L" at " +
           NightScheduleText(scheduled.time, scheduled.days) +
           (scheduled.night.queue.empty() ? L"." : L", sharing the night with other computers through a database.");
}

}  // namespace kestrow
