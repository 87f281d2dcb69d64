#include "schedule/NightForm.h"

#include "batch/DraftBatch.h"
#include "common/Blanks.h"
#include "schedule/TaskNames.h"

namespace kestrow {
namespace {

constexpr std::int64_t kLongestTimeoutSeconds = kLongestCallSeconds;

NightCheck Refused(NightField field, std::wstring why) {
    NightCheck check;
    check.field = field;
    check.refusal = std::move(why);
    return check;
}

std::int64_t InRange(const std::optional<std::uint32_t>& value, std::int64_t high) {
    return value && *value >= 1 && *value <= high ? static_cast<std::int64_t>(*value) : 0;
}

}  // namespace

ScheduledNight NightOfSettings(const std::wstring& folder, const StoredSettings& stored) {
    ScheduledNight scheduled;
    Night& night = scheduled.night;
    night.folder = folder;
    night.sessions = static_cast<std::int32_t>(InRange(stored.sessions, DraftBatch::kMaxSessions));
    if (night.sessions == 0) night.sessions = 1;
    night.restartEvery = InRange(stored.restartEvery, kMostDraftsPerSession);
    night.restartMemoryMB = InRange(stored.restartMemoryMB, kMostMegabytes);
    if (const std::int64_t seconds = InRange(stored.callSeconds, kLongestCallSeconds)) night.timeoutSeconds = seconds;
    for (const std::wstring& line : stored.answers)
        if (const std::optional<AnswerRule> rule = ParseAnswerRule(line)) night.answers.push_back(*rule);
    night.exports = FieldsOfStored(stored).exports;
    if (SharedNightConnectionProblem(stored.queue).empty()) night.queue = stored.queue;
    return scheduled;
}

NightFields FieldsOfNight(const ScheduledNight& scheduled) {
    const Night& night = scheduled.night;
    NightFields fields;
    fields.folder = night.folder;
    fields.subfolders = night.subfolders;
    fields.time = NightTimeText(scheduled.time);
    fields.days = scheduled.days;
    fields.log = night.log;
    fields.sessions = std::to_wstring(night.sessions);
    fields.timeout = std::to_wstring(night.timeoutSeconds);
    for (const AnswerRule& rule : night.answers)
        fields.answers += (fields.answers.empty() ? L"" : L"\r\n") + AnswerRuleText(rule);
    fields.exports = night.exports;
    fields.logon = scheduled.logon;
    fields.shared = !night.queue.empty();
    fields.kept = night;
    return fields;
}

NightCheck CheckNightFields(const NightFields& fields, const StoredSettings& stored) {
    ScheduledNight scheduled;
    Night& night = scheduled.night;
    const std::wstring folder = WithoutBlanksAround(fields.folder);
    if (folder.empty()) return Refused(NightField::Folder, L"Choose the folder whose drafts the night updates.");
    const bool sameTask = SameFolder(folder, fields.kept.folder);
    night = sameTask ? fields.kept : NightOfSettings(folder, stored).night;
    night.folder = folder;
    night.subfolders = fields.subfolders;
    const std::optional<NightTime> time = ParseNightTime(fields.time);
    if (!time) return Refused(NightField::Time, L"The time: give hours and minutes from 00:00 to 23:59, such as 02:00.");
    scheduled.time = *time;
    if ((fields.days & kEveryDay) == 0) return Refused(NightField::Days, L"Tick at least one day of the week.");
    scheduled.days = fields.days & kEveryDay;
    night.log = WithoutBlanksAround(fields.log);
    // The other task's log shown in the field would mix two nights in one log.
    if (!sameTask && !night.log.empty() && SameFolder(night.log, fields.kept.log)) night.log.clear();
    const std::optional<std::int64_t> sessions = WholeNumberField(fields.sessions, 1, DraftBatch::kMaxSessions);
    if (!sessions)
        return Refused(NightField::Sessions, L"Sessions at once: give a whole number from 1 to " +
                                                 std::to_wstring(DraftBatch::kMaxSessions) + L".");
    night.sessions = static_cast<std::int32_t>(*sessions);
    const std::optional<std::int64_t> timeout = WholeNumberField(fields.timeout, 1, kLongestTimeoutSeconds);
    if (!timeout)
        return Refused(NightField::Timeout, L"Give up a call after: give a whole number of seconds from 1 to " +
                                                std::to_wstring(kLongestTimeoutSeconds) + L".");
    night.timeoutSeconds = *timeout;
    const RuleLines rules = ReadRuleLines(fields.answers);
    if (!rules.refusal.empty()) return Refused(NightField::Answers, rules.refusal);
    night.answers = rules.rules;
    night.exports = fields.exports;
    if (!fields.shared) {
        night.queue.clear();
    } else if (night.queue.empty()) {
        night.queue = stored.queue;
        if (const std::wstring why = SharedNightConnectionProblem(night.queue); !why.empty())
            return Refused(NightField::Shared,
                           night.queue.empty()
                               ? L"Shared with other computers: name the database first, in Settings (\"Share nights "
                                 L"with other computers through a database\")."
                               : L"Shared with other computers: the database Settings names cannot be used (where it "
                                 L"is greyed there, your administrator set it): " + why);
    }
    // Kestrow's own path is looked at as the task is saved.
    if (const std::optional<ExpandedValue> expanded = ExpandedByTheTaskScheduler(night, L""))
        return Refused(expanded->value == NightValue::Log       ? NightField::Log
                       : expanded->value == NightValue::Answers ? NightField::Answers
                       : expanded->value == NightValue::Queue   ? NightField::Shared
                                                                : NightField::Folder,
                       expanded->refusal);
    // A logon set by hand belongs to the task it came from.
    scheduled.logon = sameTask || fields.logon != NightLogon::AsSetInTheTask ? fields.logon : NightLogon::WhenLoggedOn;
    NightCheck check;
    check.night = std::move(scheduled);
    return check;
}

}  // namespace kestrow
