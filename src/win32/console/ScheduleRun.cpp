#include "console/ScheduleRun.h"

#include <windows.h>

#include "console/ConsoleControl.h"
#include "console/ConsoleOutput.h"
#include "scheduler/Nights.h"
#include "system/ComApartment.h"
#include "system/FullPath.h"
#include "unattended/UnattendedRun.h"

namespace kestrow::win32 {
namespace {

int List(KestrowTasks& tasks, ConsoleOutput& out) {
    const std::vector<NightRow> rows = ListNights(tasks);
    if (rows.empty()) {
        out.Line(L"Kestrow has no nights in the Task Scheduler.");
        return ExitCode::AllStored;
    }
    std::vector<std::wstring> lines;
    for (const NightRow& row : rows) {
        lines.push_back(row.name);
        lines.push_back(L"  folder:      " +
                        (row.reading.folder ? row.folder + (row.folderMissing ? L"  (not found)" : L"")
                                            : L"not known (the task names none)"));
        lines.push_back(L"  runs at:     " + (row.when.empty() ? L"not known (the task holds no time Kestrow reads)" : row.when));
        lines.push_back(L"  next run:    " + row.nextRun);
        lines.push_back(L"  last result: " + row.lastResult + (row.lastRun == L"never" ? L"" : L" (" + row.lastRun + L")"));
    }
    out.Lines(lines);
    return ExitCode::AllStored;
}

int Delete(KestrowTasks& tasks, const std::wstring& name, ConsoleOutput& out, ConsoleOutput& err) {
    if (!tasks.Delete(name)) {
        err.Line(L"Kestrow: the Task Scheduler's folder \\Kestrow holds no task named \"" + name +
                 L"\"; Kestrow /schedule list names them.");
        return ExitCode::NothingTouched;
    }
    out.Line(L"Kestrow: deleted the task " + name + L" (its log stays).");
    return ExitCode::AllStored;
}

int Set(KestrowTasks& tasks, ScheduledNight night, ConsoleOutput& out, ConsoleOutput& err) {
    Night& run = night.night;
    run.folder = FullPath(run.folder);
    if (!FolderExists(run.folder)) {
        err.Line(L"Kestrow: the folder cannot be found: " + run.folder);
        return ExitCode::NothingTouched;
    }
    if (!run.log.empty()) run.log = FullPath(run.log);
    if (!run.exportFolder.empty()) run.exportFolder = FullPath(run.exportFolder);
    const std::vector<NightRow> rows = ListNights(tasks);
    const TaskForFolder task = NightTaskFor(rows, run.folder);
    for (const NightRow& row : rows) {
        // Windows needs the password again to change such a task; the
        // command line never asks for one, and leaves the task as it is.
        if (task.exists && row.name == task.name && row.reading.logon == NightLogon::WhetherLoggedOnOrNot) {
            err.Line(L"Kestrow: the task " + task.name + L" runs whether you are logged on or not, and Windows needs "
                     L"your password to change it: change it in Kestrow's window (Schedule a night...).");
            return ExitCode::NothingTouched;
        }
        // A logon set by hand in the Task Scheduler stays as it is.
        if (task.exists && row.name == task.name && row.reading.logon == NightLogon::AsSetInTheTask)
            night.logon = NightLogon::AsSetInTheTask;
    }
    const SavedNight saved = SaveNight(tasks, rows, night, nullptr);
    out.Line(L"Kestrow: " + std::wstring(saved.changed ? L"changed" : L"created") + L" the task " + saved.name +
             L" in the Task Scheduler's folder \\Kestrow: " + NightScheduleText(night.time, night.days) +
             (night.logon == NightLogon::AsSetInTheTask ? L", logged on as set in the Task Scheduler."
                                                        : L", while you are logged on."));
    out.Line(L"It runs: " + saved.commandLine);
    return ExitCode::AllStored;
}

}  // namespace

int RunSchedule(const ScheduleCommand& command) {
    JoinParentConsole();
    ConsoleOutput out(STD_OUTPUT_HANDLE);
    ConsoleOutput err(STD_ERROR_HANDLE);
    if (command.kind == ScheduleCommand::Kind::Invalid) {
        err.Line(L"Kestrow: " + command.error);
        err.Line(HelpHint());
        return ExitCode::NothingTouched;
    }
    const ThreadApartment apartment;
    try {
        KestrowTasks tasks;
        switch (command.kind) {
            case ScheduleCommand::Kind::List: return List(tasks, out);
            case ScheduleCommand::Kind::Delete: return Delete(tasks, command.taskName, out, err);
            case ScheduleCommand::Kind::Set: return Set(tasks, command.night, out, err);
            case ScheduleCommand::Kind::Invalid: break;
        }
    } catch (const RuntimeError& error) {
        const std::wstring& why = error.Description();
        err.Line(L"Kestrow: " + why + (!why.empty() && why.back() == L'.' ? L"" : L"."));
        return ExitCode::NothingTouched;
    } catch (const std::exception&) {
        err.Line(L"Kestrow itself failed while it worked with the Task Scheduler; please report this.");
        return ExitCode::KestrowFailed;
    }
    return ExitCode::NothingTouched;
}

}  // namespace kestrow::win32
