#pragma once
// One night of Kestrow as the Task Scheduler keeps it: the switches of the
// unattended run it starts, when it starts, and how Windows logs it on.
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "batch/CadDialog.h"
#include "exports/ExportFormats.h"
#include "schedule/NightTime.h"

namespace kestrow {

// The run's switches. Paths are full: a task starts in the system folder.
struct Night {
    std::wstring folder;
    bool subfolders = false;
    std::wstring log;  // "" until the default is given
    std::int64_t timeoutSeconds = 600;
    std::int64_t restartEvery = 0;     // 0: never
    std::int64_t restartMemoryMB = 0;  // 0: never
    std::int32_t sessions = 1;
    std::int32_t shardIndex = 1;
    std::int32_t shardCount = 1;
    std::vector<AnswerRule> answers;
    std::vector<ExportFormat> exports;
    std::wstring exportFolder;  // /exportto, "" for beside each draft
    // /queue: shared with the other computers that run the same night
    // through this database (never with a password in it); "" for none.
    std::wstring queue;
    std::int64_t leaseSeconds = 300;  // /lease
};

enum class NightLogon {
    WhenLoggedOn,          // in the user's session; Windows needs no password
    WhetherLoggedOnOrNot,  // Windows keeps the user's password for it
    // As set by hand in the Task Scheduler in a way Kestrow does not offer
    // (without a stored password, for a group, as a service account): the
    // task's own logon is kept as it is.
    AsSetInTheTask,
};

struct ScheduledNight {
    Night night;
    NightTime time;
    NightDays days = kEveryDay;
    NightLogon logon = NightLogon::WhenLoggedOn;
};

// The run's arguments, one word each: /update, /log and /resume always (a
// night that was cut short goes on where it stopped), the others when they
// differ from a run's defaults.
std::vector<std::wstring> NightArguments(const Night& night);

// The arguments as the task's command line holds them, each quoted as the
// run will read it back; paths always in quotes.
std::wstring NightArgumentsText(const Night& night);

// A night's switches as the command line gives them (the same switches and
// rules as a run; /export and /exportto too): none when they are no night,
// with `error` saying why. /resume may be given or not: a night always has it.
struct NightReading {
    bool ok = false;
    Night night;
    std::wstring error;
};
NightReading ReadNightArguments(const std::vector<std::wstring>& arguments);

// The Task Scheduler replaces %NAME% in a task's program and arguments
// with the variable of that name, and offers no way to keep a "%" as it is:
// a night whose folder, log, export folder, rules or database connection
// hold one could run another folder, or fail. Which value holds one, and
// what to tell.
enum class NightValue { Program, Folder, Log, ExportFolder, Answers, Queue };
struct ExpandedValue {
    NightValue value;
    std::wstring refusal;
};
std::optional<ExpandedValue> ExpandedByTheTaskScheduler(const Night& night, const std::wstring& program);

// What a person reads about the night: "Kestrow updates the drafts in
// D:\Drawings and its subfolders at 02:00 every day."
std::wstring NightDescription(const ScheduledNight& night);

}  // namespace kestrow
