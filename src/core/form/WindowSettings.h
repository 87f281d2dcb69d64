#pragma once
// The settings the window's batch reads from the user's registry, as the
// settings dialog shows and checks them: what its fields say becomes the
// values to store, or a refusal that names the field and its range. Nothing
// out of range is ever stored.
#include <cstdint>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "batch/CadDialog.h"
#include "exports/ExportFormats.h"

namespace kestrow {

// The ranges the batch takes, as the command line's switches have them.
constexpr std::int64_t kMostDraftsPerSession = 1000000;
constexpr std::int64_t kMostMegabytes = 1048576;
// How long a call may take: a week at most, as a night's /timeout.
constexpr std::int64_t kLongestCallSeconds = 7 * 24 * 3600;

// The values as stored: any of them may have been written by hand, out of
// range or not at all.
struct StoredSettings {
    std::optional<std::uint32_t> sessions;
    std::optional<std::uint32_t> restartEvery;     // drafts
    std::optional<std::uint32_t> restartMemoryMB;  // megabytes
    // How long a call may take, in seconds: the window asks whether to keep
    // waiting after so long, and a new night gives up (its /timeout).
    std::optional<std::uint32_t> callSeconds;
    std::vector<std::wstring> answers;             // one rule a line
    std::wstring exports;                          // "pdf,dxf"
    // The database through which nights are shared with other computers: an
    // ODBC connection string or "DSN=name", without a password; "" for none.
    std::wstring queue;
    bool operator==(const StoredSettings&) const = default;
};

// What the dialog's fields say.
struct SettingsFields {
    std::wstring sessions;
    std::wstring restartEvery;     // "" for never
    std::wstring restartMemoryMB;  // "" for never
    std::wstring callSeconds;      // "" for the window's and a night's own
    std::wstring answers;          // lines separated by "\r\n"
    std::vector<ExportFormat> exports;
    std::wstring queue;
};

enum class SettingsField { Sessions, RestartEvery, RestartMemory, CallSeconds, Answers, Queue };

struct SettingsCheck {
    std::optional<StoredSettings> values;  // to store, when every field is sound
    SettingsField field = SettingsField::Sessions;
    std::wstring refusal;  // why not, with the field's range
};

// The fields as they show the stored values; a missing count of sessions
// shows as the 1 the batch then takes.
SettingsFields FieldsOfStored(const StoredSettings& stored);
// The fields an administrator set are neither checked nor part of the
// values: the dialog shows them greyed, and they are not the user's to mend.
SettingsCheck CheckSettings(const SettingsFields& fields, const std::set<SettingsField>& setByAdministrator = {});

// Why a connection may not be kept for shared nights ("" when it may): it is
// none, or it holds a password, which nothing of Kestrow's keeps.
std::wstring SharedNightConnectionProblem(const std::wstring& connection);

// A field for a whole number from `low` to `high`, blanks around allowed.
std::optional<std::int64_t> WholeNumberField(const std::wstring& text, std::int64_t low, std::int64_t high);

// The rules of a field with one "title=button" a line; blank lines do not
// count. `refusal` names the first line that is no rule.
struct RuleLines {
    std::vector<std::wstring> lines;  // each rule's line, blanks around left out
    std::vector<AnswerRule> rules;
    std::wstring refusal;
};
RuleLines ReadRuleLines(const std::wstring& text);

}  // namespace kestrow
