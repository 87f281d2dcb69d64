#include "form/WindowSettings.h"

#include "batch/DraftBatch.h"
#include "common/Blanks.h"
#include "common/ConnectionText.h"
#include "common/NumberText.h"

namespace kestrow {
namespace {

std::wstring NumberOrEmpty(const std::optional<std::uint32_t>& value) {
    return value ? std::to_wstring(*value) : std::wstring();
}

// A field that may be left empty for "never".
bool ReadOptionalNumber(const std::wstring& text, std::int64_t high, std::optional<std::uint32_t>& value) {
    if (WithoutBlanksAround(text).empty()) {
        value.reset();
        return true;
    }
    const std::optional<std::int64_t> number = WholeNumberField(text, 1, high);
    if (number) value = static_cast<std::uint32_t>(*number);
    return number.has_value();
}

SettingsCheck Refused(SettingsField field, std::wstring why) {
    SettingsCheck check;
    check.field = field;
    check.refusal = std::move(why);
    return check;
}

}  // namespace

std::wstring SharedNightConnectionProblem(const std::wstring& connection) {
    if (const std::wstring why = ConnectionProblem(connection); !why.empty()) return why + L".";
    if (HoldsPassword(connection))
        return L"the connection holds a password, and Kestrow keeps none where others may read it (the registry, a "
               L"task, a log). Name a data source that keeps it (DSN=...), or let the database's own password file "
               L"hold it.";
    return std::wstring();
}

std::optional<std::int64_t> WholeNumberField(const std::wstring& text, std::int64_t low, std::int64_t high) {
    const std::wstring digits = WithoutBlanksAround(text);
    if (digits.empty() || digits.size() > 10) return std::nullopt;
    std::int64_t value = 0;
    for (const wchar_t c : digits) {
        if (c < L'0' || c > L'9') return std::nullopt;
        value = value * 10 + (c - L'0');
    }
    if (value < low || value > high) return std::nullopt;
    return value;
}

RuleLines ReadRuleLines(const std::wstring& text) {
    RuleLines read;
    size_t number = 0;
    for (size_t at = 0; at <= text.size();) {
        size_t end = text.find(L'\n', at);
        if (end == std::wstring::npos) end = text.size();
        std::wstring line = text.substr(at, end - at);
        if (!line.empty() && line.back() == L'\r') line.pop_back();
        at = end + 1;
        ++number;
        line = WithoutBlanksAround(line);
        if (line.empty()) continue;
        const std::optional<AnswerRule> rule = ParseAnswerRule(line);
        if (!rule) {
            read.refusal = L"Line " + std::to_wstring(number) + L" of the rules, \"" + line +
                           L"\", is no rule: write the dialog's title, \"=\" and the button to press, such as "
                           L"\"Missing references=OK\".";
            return read;
        }
        read.lines.push_back(line);
        read.rules.push_back(*rule);
    }
    return read;
}

SettingsFields FieldsOfStored(const StoredSettings& stored) {
    SettingsFields fields;
    fields.sessions = stored.sessions ? std::to_wstring(*stored.sessions) : L"1";
    fields.restartEvery = NumberOrEmpty(stored.restartEvery);
    fields.restartMemoryMB = NumberOrEmpty(stored.restartMemoryMB);
    fields.callSeconds = NumberOrEmpty(stored.callSeconds);
    for (const std::wstring& line : stored.answers) fields.answers += (fields.answers.empty() ? L"" : L"\r\n") + line;
    fields.exports = KnownExportFormats(stored.exports);
    fields.queue = stored.queue;
    return fields;
}

SettingsCheck CheckSettings(const SettingsFields& fields, const std::set<SettingsField>& setByAdministrator) {
    const auto open = [&](SettingsField field) { return setByAdministrator.count(field) == 0; };
    StoredSettings values;
    const std::optional<std::int64_t> sessions = WholeNumberField(fields.sessions, 1, DraftBatch::kMaxSessions);
    if (open(SettingsField::Sessions) && !sessions)
        return Refused(SettingsField::Sessions, L"Sessions at once: give a whole number from 1 to " +
                                                    std::to_wstring(DraftBatch::kMaxSessions) + L".");
    if (open(SettingsField::Sessions)) values.sessions = static_cast<std::uint32_t>(*sessions);
    if (open(SettingsField::RestartEvery) &&
        !ReadOptionalNumber(fields.restartEvery, kMostDraftsPerSession, values.restartEvery))
        return Refused(SettingsField::RestartEvery, L"A fresh session after so many drawings: give a whole number "
                                                    L"from 1 to " + GroupedNumber(kMostDraftsPerSession) +
                                                    L", or leave it empty for never.");
    if (open(SettingsField::RestartMemory) &&
        !ReadOptionalNumber(fields.restartMemoryMB, kMostMegabytes, values.restartMemoryMB))
        return Refused(SettingsField::RestartMemory, L"A fresh session above so many megabytes: give a whole number "
                                                     L"from 1 to " + GroupedNumber(kMostMegabytes) +
                                                     L", or leave it empty for never.");
    if (open(SettingsField::CallSeconds) &&
        !ReadOptionalNumber(fields.callSeconds, kLongestCallSeconds, values.callSeconds))
        return Refused(SettingsField::CallSeconds, L"How long a call may take: give a whole number of seconds from 1 to " +
                                                       GroupedNumber(kLongestCallSeconds) +
                                                       L", or leave it empty for 60 in the window and 600 at night.");
    RuleLines rules = open(SettingsField::Answers) ? ReadRuleLines(fields.answers) : RuleLines{};
    if (!rules.refusal.empty()) return Refused(SettingsField::Answers, rules.refusal);
    values.answers = std::move(rules.lines);
    values.exports = ExportFormatsText(fields.exports);
    values.queue = open(SettingsField::Queue) ? WithoutBlanksAround(fields.queue) : std::wstring();
    if (const std::wstring why = SharedNightConnectionProblem(values.queue); !values.queue.empty() && !why.empty())
        return Refused(SettingsField::Queue, L"Share nights with other computers through a database: " + why);
    SettingsCheck check;
    check.values = std::move(values);
    return check;
}

}  // namespace kestrow
