#pragma once
// Kestrow.exe /check: a look at the CAD system before the first night,
// printed a finding a line, with the verdict and the switches for the night,
// and as a page with /html. Its exit code says whether a night can run.
#include "check/CheckCommand.h"

namespace kestrow::win32 {

int RunCheckCommand(const CheckCommand& command);

}  // namespace kestrow::win32
