#pragma once
// Kestrow's nights as the command line and the schedule dialog both show
// and save them: each task with its folder, schedule, runs and last result
// in words; and a night saved as the task for its folder.
#include <optional>
#include <string>
#include <vector>

#include "schedule/TaskDefinition.h"
#include "schedule/TaskNames.h"
#include "scheduler/KestrowTasks.h"

namespace kestrow::win32 {

struct NightRow {
    std::wstring name;
    TaskReading reading;            // what its definition says
    std::wstring folder;            // "" when the task does not say
    bool folderMissing = false;     // it names a folder that is not there
    std::wstring when;              // "02:00 every day", "" when unknown
    std::wstring nextRun, lastRun;  // "2026-12-08 02:00", "not known", "never"
    std::wstring lastResult;        // in words
};

std::vector<NightRow> ListNights(KestrowTasks& tasks);

// Kestrow.exe, which the nights run.
std::wstring ProgramPath();

// Where a night's log goes when none is given: one per task, in Kestrow's
// data folder under %LOCALAPPDATA%.
std::wstring DefaultNightLog(const std::wstring& taskName);

// The task that updates this folder (full path), among those listed.
TaskForFolder NightTaskFor(const std::vector<NightRow>& rows, const std::wstring& folder);

struct SavedNight {
    std::wstring name;
    bool changed = false;  // an existing task was changed, not made
    std::wstring commandLine;
};

// Saves the night as the task for its folder: its folder, log and export
// folder must be full paths; an empty log gets the default. A task's
// definition that Kestrow cannot read is left as it is (an error).
SavedNight SaveNight(KestrowTasks& tasks, const std::vector<NightRow>& rows, ScheduledNight night,
                     const Credentials* credentials);

// The command line the night's task would run, with the default log when it
// has none.
std::wstring NightCommandLineFor(const std::vector<NightRow>& rows, ScheduledNight night);

}  // namespace kestrow::win32
