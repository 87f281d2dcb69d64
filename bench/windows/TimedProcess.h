#pragma once
// A program run to its end and timed, with the memory the process itself
// used, read while it ran (a process that is gone can no longer be asked
// under Wine).
#include <windows.h>

#include <string>

namespace kestrow::bench {

struct TimedRun {
    double seconds = 0;           // from the start to the end of the process
    DWORD exitCode = 0;
    SIZE_T peakWorkingSet = 0;    // the largest seen, 0 when not watched
    SIZE_T peakPagefileUsage = 0;
};

// Runs `exe` with `arguments`, its output to NUL; with `watchMemoryMs` > 0
// its memory is read that often, otherwise nothing wakes meanwhile.
TimedRun RunTimed(const std::wstring& exe, const std::wstring& arguments, DWORD watchMemoryMs = 0);

// The folder of kestrow_bench.exe, where the other bench programs are built.
std::wstring BenchFolder();

}  // namespace kestrow::bench
