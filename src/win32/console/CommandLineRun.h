#pragma once
// Kestrow started with arguments: usage, or an unattended batch that needs
// no window and asks no question. Returns the process's exit code.
#include "unattended/CommandLine.h"

namespace kestrow::win32 {

int RunCommandLine(const CommandLine& line);

}  // namespace kestrow::win32
