#pragma once
// /update with /queue: a night that every computer running the same command
// shares through the shop's database. The first to come lists the folder;
// each then takes the next draft nobody holds as its sessions come free,
// until none is left, and every row goes to the database as well as to the
// computer's own log. /whatif says what the night holds and what this
// computer would take next; /report /queue reports the night across its
// computers.
#include "console/ConsoleOutput.h"
#include "unattended/CommandLine.h"

namespace kestrow::win32 {

int SharedNight(const CommandLine& line, ConsoleOutput& out, ConsoleOutput& err);
int SharedNightWhatIf(const CommandLine& line, ConsoleOutput& out, ConsoleOutput& err);
int SharedNightReport(const CommandLine& line, ConsoleOutput& out, ConsoleOutput& err);

}  // namespace kestrow::win32
