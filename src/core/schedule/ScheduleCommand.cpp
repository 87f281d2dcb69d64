#include "schedule/ScheduleCommand.h"

#include <cwctype>

#include "common/CommandLineWords.h"
#include "schedule/TaskNames.h"

namespace kestrow {
namespace {

std::wstring Lower(std::wstring text) {
    for (wchar_t& c : text) c = static_cast<wchar_t>(std::towlower(c));
    return text;
}

ScheduleCommand Invalid(std::wstring why) {
    ScheduleCommand command;
    command.error = std::move(why);
    return command;
}

}  // namespace

bool AsksForSchedule(const std::vector<std::wstring>& arguments) { return HasSwitch(arguments, L"schedule"); }

ScheduleCommand ParseScheduleCommand(const std::vector<std::wstring>& arguments) {
    std::vector<std::wstring> rest;
    std::wstring when, days;
    bool daysGiven = false;
    for (size_t i = 0; i < arguments.size(); ++i) {
        const std::wstring name = SwitchName(arguments[i]);
        if (name != L"schedule" && name != L"days") {
            rest.push_back(arguments[i]);
            continue;
        }
        if (i + 1 >= arguments.size() || !SwitchName(arguments[i + 1]).empty())
            return Invalid(name == L"days" ? L"/days needs the days, such as mon,tue,fri."
                                           : L"/schedule needs a time (such as 02:00), list or delete.");
        if (name == L"days") {
            if (daysGiven) return Invalid(L"/days is given twice.");
            daysGiven = true;
            days = arguments[++i];
        } else {
            if (!when.empty()) return Invalid(L"/schedule is given twice.");
            when = arguments[++i];
        }
    }
    const std::wstring verb = Lower(when);
    if (verb == L"list" || verb == L"delete") {
        if (daysGiven) return Invalid(L"/days goes with a time: /schedule 02:00 /days mon,tue /update <folder>.");
        ScheduleCommand command;
        if (verb == L"list") {
            if (!rest.empty()) return Invalid(L"/schedule list takes nothing more, not \"" + rest.front() + L"\".");
            command.kind = ScheduleCommand::Kind::List;
            return command;
        }
        if (rest.size() != 1) return Invalid(L"/schedule delete needs the name of one task, in quotes.");
        if (!IsTaskName(rest.front()))
            return Invalid(L"\"" + rest.front() + L"\" is no name of a task in the Task Scheduler's folder \\Kestrow.");
        command.kind = ScheduleCommand::Kind::Delete;
        command.taskName = rest.front();
        return command;
    }
    ScheduleCommand command;
    const std::optional<NightTime> time = ParseNightTime(when);
    if (!time) return Invalid(L"/schedule needs a time from 00:00 to 23:59 (such as 02:00), list or delete, not \"" + when + L"\".");
    command.night.time = *time;
    if (daysGiven) {
        const std::optional<NightDays> parsed = ParseNightDays(days);
        if (!parsed) return Invalid(L"/days takes days such as mon,tue,fri (or monday,...), not \"" + days + L"\".");
        command.night.days = *parsed;
    }
    const NightReading night = ReadNightArguments(rest);
    if (!night.ok) return Invalid(night.error);
    if (const std::optional<ExpandedValue> expanded = ExpandedByTheTaskScheduler(night.night, L""))
        return Invalid(expanded->refusal);
    command.night.night = night.night;
    command.kind = ScheduleCommand::Kind::Set;
    return command;
}

std::wstring ScheduleUsageText() {
    return L"  Kestrow.exe /schedule <HH:MM> [/days mon,tue,...] /update <folder> [switches of a run]\n"
           L"  Kestrow.exe /schedule list\n"
           L"  Kestrow.exe /schedule delete <name>\n"
           L"\n"
           L"  /schedule <HH:MM>    creates or changes the Task Scheduler's task (in its folder \\Kestrow) that\n"
           L"                       updates <folder> at that time every day, or on the /days given; the task\n"
           L"                       runs Kestrow.exe with the switches given, /resume and a log (by default in\n"
           L"                       %LOCALAPPDATA%\\Kestrow\\Logs), while you are logged on\n"
           L"  /schedule list       names Kestrow's tasks, their folders, next runs and last results\n"
           L"  /schedule delete <n> deletes Kestrow's task of that name\n";
}

}  // namespace kestrow
