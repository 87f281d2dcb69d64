#pragma once
// A night's task as the Task Scheduler's XML describes it. Kestrow owns one
// trigger and one action of the task, each marked with an id of its own,
// the description, the logon, and the folder noted in the registration's
// documentation (for a Task Scheduler that keeps no actions, as Wine's); a
// task that is changed keeps everything else it holds (other triggers and
// actions, conditions and settings set by hand) as it was.
#include <optional>
#include <string>

#include "schedule/Night.h"

namespace kestrow {

// The ids of the trigger and the action that Kestrow manages in a task. The
// schema types ids as xs:ID: unique in the whole definition.
inline constexpr const wchar_t* kKestrowTriggerId = L"KestrowNight";
inline constexpr const wchar_t* kKestrowActionId = L"KestrowRun";

// The command line the task runs, as the dialog shows it and as a
// hand-made task would have it: the program in quotes and the arguments.
std::wstring NightCommandLine(const std::wstring& program, const Night& night);

// A new task's definition. `program` is Kestrow.exe's full path; `today`
// ("2026-12-07") is where the trigger's schedule begins.
std::wstring NewTaskXml(const ScheduledNight& night, const std::wstring& program, const std::wstring& today);

// `existing` with Kestrow's trigger, action, description and logon made
// those of `night`: replaced where the task has them, added where not; a
// logon AsSetInTheTask is left as the task has it. None when `existing` is
// no task definition.
std::optional<std::wstring> ChangedTaskXml(const std::wstring& existing, const ScheduledNight& night,
                                           const std::wstring& program, const std::wstring& today);

// How a task's principal is logged on, as its definition says: the two
// ways Kestrow sets, and those only set by hand, which Kestrow keeps.
enum class TaskLogon {
    InteractiveToken,  // also a principal that names none
    Password,          // also InteractiveTokenOrPassword, which Windows now treats alike
    S4U,               // "do not store password"
    Group,
    ServiceAccount,  // SYSTEM, LOCAL SERVICE, NETWORK SERVICE
    Unknown,         // a logon type Kestrow does not know
};

// What a task's definition says of its night. A part the task does not hold
// (a task whose action Kestrow cannot read, a definition kept without its
// actions) is left out.
struct TaskReading {
    std::optional<Night> night;  // from Kestrow's action
    // The night's folder: from the action, or else as Kestrow noted it.
    std::optional<std::wstring> folder;
    std::optional<NightTime> time;
    std::optional<NightDays> days;
    NightLogon logon = NightLogon::WhenLoggedOn;
    TaskLogon taskLogon = TaskLogon::InteractiveToken;
    std::wstring program;  // the action's program, unquoted
};
TaskReading ReadTaskXml(const std::wstring& xml);

}  // namespace kestrow
