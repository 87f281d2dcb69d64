#pragma once
// Kestrow's nights from the command line:
//   Kestrow.exe /schedule <HH:MM> [/days mon,tue,...] /update <folder> [the night's switches]
//   Kestrow.exe /schedule list
//   Kestrow.exe /schedule delete <name>
#include <string>
#include <vector>

#include "schedule/Night.h"

namespace kestrow {

struct ScheduleCommand {
    enum class Kind { Set, List, Delete, Invalid };
    Kind kind = Kind::Invalid;
    ScheduledNight night;  // Set: its folder and log as given, not yet full
    std::wstring taskName;  // Delete
    std::wstring error;     // Invalid
};

// Whether the arguments ask for /schedule at all.
bool AsksForSchedule(const std::vector<std::wstring>& arguments);
ScheduleCommand ParseScheduleCommand(const std::vector<std::wstring>& arguments);

std::wstring ScheduleUsageText();

}  // namespace kestrow
