#pragma once
// Kestrow.exe /schedule ...: Kestrow's nights in the Task Scheduler from the
// command line. Returns the process's exit code.
#include "schedule/ScheduleCommand.h"

namespace kestrow::win32 {

int RunSchedule(const ScheduleCommand& command);

}  // namespace kestrow::win32
