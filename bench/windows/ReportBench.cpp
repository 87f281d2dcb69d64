// /report under Wine through Kestrow.com: four logs of 100,000 rows each
// (written natively by scripts/bench.sh with kestrow_nightlog into the
// folder KESTROW_REPORT_LOGS names, and with a dialog for every draft into
// the one KESTROW_REPORT_DIALOG_LOGS names), the console report and the
// page, from the process's start to its end; against Kestrow.com /?, the
// same process doing nothing but start and print.
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "BenchSupport.h"
#include "TimedProcess.h"

namespace kestrow::bench {
namespace {

void TimeReport(const std::wstring& twin, const wchar_t* variable, const char* what) {
    const wchar_t* folder = _wgetenv(variable);
    if (!folder || !*folder) {
        std::printf("| /report over 4 logs of 100,000 rows%s | skipped: %ls names no folder | | |\n", what, variable);
        return;
    }
    std::wstring arguments = L"/report";
    for (int i = 1; i <= 4; ++i) arguments += L" \"" + std::wstring(folder) + L"\\ws" + std::to_wstring(i) + L".csv\"";
    arguments += L" /html \"" + std::wstring(folder) + L"\\night.html\"";
    std::vector<double> report, usage;
    SIZE_T memory = 0;
    for (int round = 0; round < 7; ++round) {
        const TimedRun run = RunTimed(twin, arguments, 50);
        if (run.exitCode > 1) {
            std::printf("| /report over 4 logs of 100,000 rows%s | failed with exit code %lu | | |\n", what,
                        run.exitCode);
            return;
        }
        report.push_back(run.seconds);
        memory = std::max(memory, run.peakPagefileUsage);
        usage.push_back(RunTimed(twin, L"/?").seconds);
    }
    std::printf("| /report over 4 logs of 100,000 rows%s with the page (median of 7; max %.2f s; %.0f MB committed "
                "at most) | %.2f s | Kestrow.com /? %.2f s | bound 2 s |\n",
                what, Percentile(report, 1.0), static_cast<double>(memory) / (1 << 20), Median(report),
                Median(usage));
}

}  // namespace

void ReportBenchmark(const std::wstring& kestrowExe) {
    const std::wstring twin = kestrowExe.substr(0, kestrowExe.size() - 4) + L".com";
    TimeReport(twin, L"KESTROW_REPORT_LOGS", "");
    TimeReport(twin, L"KESTROW_REPORT_DIALOG_LOGS", ", a dialog for every draft,");
}

}  // namespace kestrow::bench
