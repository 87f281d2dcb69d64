#pragma once
// The schedule dialog's fields, checked: what they say becomes the night to
// schedule, or a refusal that names the field and what it takes.
#include <optional>
#include <string>

#include "form/WindowSettings.h"
#include "schedule/Night.h"

namespace kestrow {

struct NightFields {
    std::wstring folder;
    bool subfolders = false;
    std::wstring time;         // "02:00"
    NightDays days = kEveryDay;
    std::wstring log;          // "" for the default
    std::wstring sessions;
    std::wstring timeout;      // seconds
    std::wstring answers;      // one rule a line
    std::vector<ExportFormat> exports;
    NightLogon logon = NightLogon::WhenLoggedOn;
    // Shared with other computers through the database the settings name
    // (or the one the night had).
    bool shared = false;
    // What the dialog shows no field for, kept from the night it was given
    // (its /shard, /exportto, renewals), and that night's folder and log.
    Night kept;
};

enum class NightField { Folder, Time, Days, Log, Sessions, Timeout, Answers, Shared };

struct NightCheck {
    std::optional<ScheduledNight> night;
    NightField field = NightField::Folder;
    std::wstring refusal;
};

// A new night: for `folder`, with what the window's batch takes from the
// stored settings (a value out of range counts as not set, as for the batch).
ScheduledNight NightOfSettings(const std::wstring& folder, const StoredSettings& stored);

// The fields of a night (a new one, or one read from its task).
NightFields FieldsOfNight(const ScheduledNight& night);
// The night the fields say. What no field shows is kept only for the folder
// it came with (the same task, saved back); a night for another folder is
// another task and starts from `stored` as a new night does, with its own
// log unless one was typed.
NightCheck CheckNightFields(const NightFields& fields, const StoredSettings& stored);

}  // namespace kestrow
